#include "tools/render/csv.h"

namespace vantrelo {

CsvResult parseCsv(std::string_view text) {
    CsvResult result;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a byte-order mark
    std::size_t i = 0;
    int line = 1;
    while (i < text.size()) {
        CsvRow row;
        row.line = line;
        std::string field;
        bool endOfRow = false;
        while (!endOfRow) {
            field.clear();
            if (i < text.size() && text[i] == '"') {
                const int quoteLine = line;
                ++i;
                bool closed = false;
                while (i < text.size()) {
                    const char c = text[i++];
                    if (c == '"') {
                        if (i < text.size() && text[i] == '"') {
                            field += '"';
                            ++i;
                        } else {
                            closed = true;
                            break;
                        }
                    } else {
                        if (c == '\n') ++line;
                        field += c;
                    }
                }
                if (!closed) {
                    result.error = "a quoted field is not closed";
                    result.errorLine = quoteLine;
                    return result;
                }
                if (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n') {
                    result.error = "text after a closing quote";
                    result.errorLine = line;
                    return result;
                }
            } else {
                while (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n') field += text[i++];
            }
            row.fields.push_back(field);
            if (i >= text.size()) {
                endOfRow = true;
            } else if (text[i] == ',') {
                ++i;
            } else {
                if (text[i] == '\r') ++i;
                if (i < text.size() && text[i] == '\n') ++i;
                ++line;
                endOfRow = true;
            }
        }
        // A line with nothing on it is no row.
        if (!(row.fields.size() == 1 && row.fields[0].empty())) result.rows.push_back(std::move(row));
    }
    return result;
}

}  // namespace vantrelo

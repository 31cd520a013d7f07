#pragma once
// A small RFC 4180 reader: fields separated by commas, rows by CR LF or LF,
// double quotes around fields that hold commas, quotes or line breaks, and a
// doubled quote for a quote inside them.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrelo {

struct CsvRow {
    int line = 0;  // line of the file where the row starts, from 1
    std::vector<std::string> fields;
};

struct CsvResult {
    std::vector<CsvRow> rows;
    std::string error;  // empty when the whole text was read
    int errorLine = 0;
};

CsvResult parseCsv(std::string_view text);

}  // namespace vantrelo

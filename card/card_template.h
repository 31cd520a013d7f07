#pragma once
// The template record, the process-wide template list and the built-in pictures.
#include <cstdint>
#include <vector>

#include "base/text.h"

namespace vantrelo {

struct CardTemplate {
    Bytes image;  // the background: the complete bytes of a JPEG file
    std::int32_t avatarLeft = 0;
    std::int32_t avatarTop = 0;
    std::int32_t avatarWidth = 0;
    std::int32_t avatarHeight = 0;
    Colour textColour = 0;
    std::int32_t textLeft = 0;
    std::int32_t textTop = 0;  // later lines go 20 px further down each
};

// Positions 1 to count. Elements own deep copies of their bytes.
class TemplateList {
public:
    std::int32_t count() const { return static_cast<std::int32_t>(m_records.size()); }
    // The record at position 1..count; the caller checks the position first.
    const CardTemplate& at(std::int32_t position) const { return m_records[std::size_t(position - 1)]; }
    void append(const CardTemplate& record) { m_records.push_back(record); }  // a deep copy
    void clear() { m_records.clear(); }

private:
    std::vector<CardTemplate> m_records;
};

// The process-wide list: created empty by createTemplateList, null before.
TemplateList* templateList();
void createTemplateList();
// Catalogue half of loadTemplates: leaves templateList() holding the seven
// built-in templates in order. Creates the list first if it does not exist.
void loadTemplateCatalogue();
// Releases every record, then the list itself (the exit hook).
void releaseTemplates();

inline constexpr int kBuiltInTemplateCount = 7;
// The built-in pictures, compiled into the program.
Bytes builtInTemplateImage(int position);  // 1..7
Bytes defaultAvatarImage();

}  // namespace vantrelo

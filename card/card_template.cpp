#include "card/card_template.h"

#include <memory>

namespace vantrelo {
namespace embedded {
extern const unsigned char template1_jpg[], template2_jpg[], template3_jpg[], template4_jpg[], template5_jpg[],
    template6_jpg[], template7_jpg[], default_avatar_jpg[];
extern const std::size_t template1_jpg_size, template2_jpg_size, template3_jpg_size, template4_jpg_size,
    template5_jpg_size, template6_jpg_size, template7_jpg_size, default_avatar_jpg_size;
}  // namespace embedded

namespace {

std::unique_ptr<TemplateList> g_templateList;

struct Embedded {
    const unsigned char* data;
    const std::size_t* size;
};

// Blue, teal, purple, sepia, green, rose, peach.
const Embedded kBackgrounds[kBuiltInTemplateCount] = {
    {embedded::template1_jpg, &embedded::template1_jpg_size}, {embedded::template2_jpg, &embedded::template2_jpg_size},
    {embedded::template3_jpg, &embedded::template3_jpg_size}, {embedded::template4_jpg, &embedded::template4_jpg_size},
    {embedded::template5_jpg, &embedded::template5_jpg_size}, {embedded::template6_jpg, &embedded::template6_jpg_size},
    {embedded::template7_jpg, &embedded::template7_jpg_size},
};

}  // namespace

TemplateList* templateList() { return g_templateList.get(); }

void createTemplateList() { g_templateList = std::make_unique<TemplateList>(); }

Bytes builtInTemplateImage(int position) {
    if (position < 1 || position > kBuiltInTemplateCount) return {};
    const Embedded& e = kBackgrounds[position - 1];
    return Bytes(e.data, e.data + *e.size);
}

Bytes defaultAvatarImage() {
    return Bytes(embedded::default_avatar_jpg, embedded::default_avatar_jpg + embedded::default_avatar_jpg_size);
}

void loadTemplateCatalogue() {
    if (!g_templateList) createTemplateList();
    // One working record carries the layout shared by all seven templates; each
    // append stores a deep copy of it with that template's background.
    auto working = std::make_unique<CardTemplate>();
    g_templateList->clear();
    working->avatarLeft = 12;
    working->avatarTop = 32;
    working->avatarWidth = 90;
    working->avatarHeight = 90;
    working->textColour = 0xFFFFFF;
    working->textLeft = 120;
    working->textTop = 32;
    for (int position = 1; position <= kBuiltInTemplateCount; ++position) {
        working->image = builtInTemplateImage(position);
        g_templateList->append(*working);
    }
}

void releaseTemplates() { g_templateList.reset(); }

}  // namespace vantrelo

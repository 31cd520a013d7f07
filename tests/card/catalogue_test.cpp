#include <gtest/gtest.h>

#include "card/card_template.h"
#include "graphics/image_loader.h"

namespace vantrelo {
namespace {

TEST(TemplateCatalogue, StartsEmptyAndHoldsSevenAfterEveryLoad) {
    createTemplateList();
    ASSERT_NE(templateList(), nullptr);
    EXPECT_EQ(templateList()->count(), 0);
    loadTemplateCatalogue();
    EXPECT_EQ(templateList()->count(), 7);
    loadTemplateCatalogue();  // a second load replaces, it does not append
    EXPECT_EQ(templateList()->count(), 7);
    releaseTemplates();
    EXPECT_EQ(templateList(), nullptr);
}

TEST(TemplateCatalogue, SharesTheLayoutAndKeepsEachBackgroundInOrder) {
    loadTemplateCatalogue();
    const TemplateList& list = *templateList();
    for (int position = 1; position <= list.count(); ++position) {
        const CardTemplate& t = list.at(position);
        EXPECT_EQ(t.image, builtInTemplateImage(position)) << position;
        EXPECT_EQ(t.avatarLeft, 12);
        EXPECT_EQ(t.avatarTop, 32);
        EXPECT_EQ(t.avatarWidth, 90);
        EXPECT_EQ(t.avatarHeight, 90);
        EXPECT_EQ(t.textColour, 0xFFFFFFu);
        EXPECT_EQ(t.textLeft, 120);
        EXPECT_EQ(t.textTop, 32);
        for (int other = 1; other < position; ++other) EXPECT_NE(t.image, list.at(other).image) << position;
    }
    releaseTemplates();
}

TEST(TemplateCatalogue, EveryBuiltInPictureLoadsAtItsSize) {
    for (int position = 1; position <= kBuiltInTemplateCount; ++position) {
        const ImageHandle h = loadImage(builtInTemplateImage(position));
        ASSERT_NE(h, 0u) << position;
        EXPECT_EQ(findImage(h)->width, 300);
        EXPECT_EQ(findImage(h)->height, 140);
        unloadImage(h);
    }
    const ImageHandle avatar = loadImage(defaultAvatarImage());
    ASSERT_NE(avatar, 0u);
    EXPECT_EQ(findImage(avatar)->width, 90);
    EXPECT_EQ(findImage(avatar)->height, 90);
    unloadImage(avatar);
}

TEST(TemplateList, AppendStoresADeepCopy) {
    TemplateList list;
    CardTemplate working;
    working.image = {1, 2, 3};
    working.textLeft = 5;
    list.append(working);
    working.image.assign(3, 9);
    working.textLeft = 6;
    working = CardTemplate{};
    EXPECT_EQ(list.at(1).image, (Bytes{1, 2, 3}));
    EXPECT_EQ(list.at(1).textLeft, 5);
}

}  // namespace
}  // namespace vantrelo

#include <gtest/gtest.h>

#include "base/encoding.h"
#include "base/fatal.h"
#include "tests/card/card_fixtures.h"
#include "card/card_template.h"
#include "card/headless_card.h"
#include "graphics/image_loader.h"
#include "graphics/platform.h"

namespace vantrelo {
namespace {

using testing_support::makeBmp;
using testing_support::rgbAt;
using testing_support::TempFolder;

class Composer : public testing::Test {
protected:
    static void SetUpTestSuite() { loadTemplateCatalogue(); }
    static void TearDownTestSuite() { releaseTemplates(); }

    // The card for the given lines on template 1 with the default avatar.
    static Bytes card(const Text& l1, const Text& l2 = {}, const Text& l3 = {}, const Text& l4 = {},
                      const Text& avatar = {}) {
        HeadlessCard c;
        CardRequest r;
        r.lines[0] = l1;
        r.lines[1] = l2;
        r.lines[2] = l3;
        r.lines[3] = l4;
        r.avatarPath = avatar;
        return c.render(r).snapshotBmp();
    }

    // Rows of the text area (x 120..299) that hold white text pixels.
    static std::vector<int> textRows(const Canvas& preview) {
        std::vector<int> rows;
        for (int y = 0; y < preview.clientHeight(); ++y) {
            for (int x = 120; x < preview.clientWidth(); ++x) {
                if (rgbAt(preview, x, y) == 0xFFFFFF) {
                    rows.push_back(y);
                    break;
                }
            }
        }
        return rows;
    }
};

TEST(Labels, AreTheGbkBytesOfTheirTexts) {
    const char* utf8[4] = {"论坛昵称：", "常在版块：", "论坛职位：", "QQ或信箱："};
    for (int line = 1; line <= 4; ++line) {
        EXPECT_EQ(lineLabel(line), textFromUtf8(utf8[line - 1])) << line;
        EXPECT_EQ(lineLabel(line).size(), 10u);
        EXPECT_EQ(lineLabel(line).bytes().substr(8), "\xa3\xba");
    }
}

TEST(BlankRule, TrimsOnlySpacesAndFullWidthSpacesOnCharacterBoundaries) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"", ""},
        {"   ", ""},
        {"\xa1\xa1\xa1\xa1", ""},
        {" \xa1\xa1 \xa1\xa1 ", ""},
        {" a ", "a"},
        {"\t", "\t"},
        {" \r\n ", "\r\n"},
        {"\xa1\xa1x\xa1\xa1", "x"},
        // B0 A1 is one character; the A1 A1 after it is a full-width space.
        {"\xb0\xa1\xa1\xa1", "\xb0\xa1"},
        // A1 A1 straddling two characters is not a blank: C4 A1 + A1 41.
        {"\xc4\xa1\xa1\x41", "\xc4\xa1\xa1\x41"},
        // A lone final lead byte is dropped.
        {"ab\xb0", "ab"},
        {" \xb0", ""},
        // A four-byte GB18030 character is walked as two pairs.
        {"\x81\x30\x81\x30 ", "\x81\x30\x81\x30"},
    };
    for (const Case& c : cases) EXPECT_EQ(trimBlanks(Text(c.in)).bytes(), c.out) << c.in;
}

TEST(FileExists, FindsFilesAndFoldersAndMatchesWildCardsInTheLastPart) {
    TempFolder dir;
    dir.write("face.jpg", Bytes{1});
    std::filesystem::create_directories(dir.path() / "sub");
    const std::string base = dir.path().string();
    struct Case {
        std::string path;
        bool exists;
    };
    const Case cases[] = {
        {"", false},
        {base + "/face.jpg", true},
        {base + "/sub", true},
        {base + "/missing.jpg", false},
        {base + "/*.jpg", true},
        {base + "/f?ce.*", true},
        {base + "/*.gif", false},
        {base + "/[f]ace.jpg", false},  // brackets are no wild card
        {base + "/sub/", false},        // names no entry
        {base + "/nope/*", false},
    };
    for (const Case& c : cases) EXPECT_EQ(pathExists(textFromUtf8(c.path)), c.exists) << c.path;
}

TEST_F(Composer, BlankFieldsDrawNothingAndLeaveNoGap) {
    const Bytes bare = card("", "", "", "");
    for (const char* blank : {" ", "\xa1\xa1", " \xa1\xa1  \xa1\xa1"}) {
        EXPECT_EQ(card(blank, blank, blank, blank), bare) << blank;
    }
    EXPECT_NE(card("\t"), bare);  // a tab is drawn, label first

    // Lines 1 and 4 stand at y 32 and 52: the contact line drawn second looks
    // exactly like the contact line drawn first, 20 px lower.
    HeadlessCard both, fourthOnly;
    CardRequest r;
    r.lines[0] = Text("Morvidane");
    r.lines[3] = Text("12345");
    const Canvas& a = both.render(r);
    CardRequest only;
    only.lines[3] = Text("12345");
    const Canvas& b = fourthOnly.render(only);
    const std::vector<int> rows = textRows(a);
    ASSERT_FALSE(rows.empty());
    EXPECT_GE(rows.front(), 32);
    EXPECT_LT(rows.back(), 52 + 20);
    for (int y = 0; y < 20; ++y) {
        for (int x = 120; x < 300; ++x) {
            const bool textA = rgbAt(a, x, 52 + y) == 0xFFFFFF;
            const bool textB = rgbAt(b, x, 32 + y) == 0xFFFFFF;
            ASSERT_EQ(textA, textB) << x << "," << y;
        }
    }
}

TEST_F(Composer, KeepsTheTypedSpacesOfAFilledLine) {
    // The leading space moves the text right; a trimmed line would not.
    EXPECT_NE(card(" a "), card("a"));
}

TEST_F(Composer, SqueezesAnAvatarIntoItsBoxAndFallsBackOnlyForMissingPaths) {
    TempFolder dir;
    // Left half red, right half blue, 200 x 100.
    const auto avatar = dir.write("wide.jpg", makeBmp(200, 100, [](int x, int) {
                                      return x < 100 ? 0xFF0000u : 0x0000FFu;
                                  }));
    HeadlessCard c;
    CardRequest r;
    r.avatarPath = textFromUtf8(avatar.string());
    const Canvas& preview = c.render(r);
    for (int y : {32, 76, 121}) {
        EXPECT_EQ(rgbAt(preview, 12, y), 0xFF0000u);
        EXPECT_EQ(rgbAt(preview, 55, y), 0xFF0000u);
        EXPECT_EQ(rgbAt(preview, 58, y), 0x0000FFu);
        EXPECT_EQ(rgbAt(preview, 101, y), 0x0000FFu);
        EXPECT_NE(rgbAt(preview, 11, y), 0xFF0000u);
        EXPECT_NE(rgbAt(preview, 102, y), 0x0000FFu);
    }
    EXPECT_NE(rgbAt(preview, 50, 31), 0xFF0000u);
    EXPECT_NE(rgbAt(preview, 50, 122), 0xFF0000u);

    // A missing file gives the default avatar; a folder or a non-picture leaves the frame.
    EXPECT_EQ(card("", "", "", "", textFromUtf8((dir.path() / "missing.bmp").string())), card(""));
    const Bytes frameOnly = card("", "", "", "", textFromUtf8(dir.path().string()));
    EXPECT_NE(frameOnly, card(""));
    const auto junk = dir.write("junk.jpg", Bytes(64, 'x'));
    EXPECT_EQ(card("", "", "", "", textFromUtf8(junk.string())), frameOnly);
}

TEST_F(Composer, CentresThePreviewOnceAndLeavesTheWorkSurfaceWiped) {
    HeadlessCard c;
    const Canvas& preview = c.render(CardRequest{});
    EXPECT_EQ(preview.left(), 44);
    EXPECT_EQ(preview.top(), 80);
    EXPECT_EQ(preview.width(), 300);
    EXPECT_EQ(preview.height(), 140);
    EXPECT_TRUE(preview.visible());
    const Bytes first = preview.snapshotBmp();
    EXPECT_EQ(c.render(CardRequest{}).snapshotBmp(), first);

    const PixelImage& work = *c.workCanvas().backingImage();
    const std::uint32_t face = 0xFF000000u | 0xF0F0F0u;
    for (std::uint32_t p : work.pixels) ASSERT_EQ(p | 0xFF000000u, face);
}

class NarrowInputs final : public CardInputs {
public:
    std::int32_t selection() const override { return m_selection; }
    Text avatarPath() const override { return {}; }
    Text lineText(int) const override { return {}; }
    std::int32_t previewAreaClientWidth() const override { return 297; }
    std::int32_t previewAreaClientHeight() const override { return 141; }
    std::int32_t m_selection = 0;
};

TEST_F(Composer, NegativeCentringTruncatesTowardZero) {
    Canvas work(previewAreaSettings()), preview(previewAreaSettings());
    work.setBorder(CanvasBorder::None);
    preview.setBorder(CanvasBorder::None);
    NarrowInputs inputs;
    renderCard(inputs, work, preview);
    EXPECT_EQ(preview.left(), -1);  // (297 - 300) / 2 = -1.5
    EXPECT_EQ(preview.top(), 0);    // (141 - 140) / 2 = 0.5
}

void presentRaw(const char* text) { std::fputs(text, stderr); }

TEST_F(Composer, ASelectionOutsideTheListStopsBeforeDrawing) {
    // 数组成员引用下标必须大于等于1 / 数组成员引用下标超出定义范围, as raw GBK on stderr.
    const char* below = "\xb1\xd8\xd0\xeb\xb4\xf3\xd3\xda\xb5\xc8\xd3\xda\x31";
    const char* above = "\xb3\xac\xb3\xf6\xb6\xa8\xd2\xe5\xb7\xb6\xce\xa7";
    for (auto [selection, code, tail] : {std::tuple{-1, 4, below}, std::tuple{7, 1, above}}) {
        EXPECT_EXIT(
            {
                setFatalPresenter(presentRaw);
                Canvas work;
                Canvas preview;
                NarrowInputs inputs;
                inputs.m_selection = selection;
                renderCard(inputs, work, preview);
            },
            testing::ExitedWithCode(255), std::string("\xa3\xba") + std::to_string(code) + "\r\n\r\n.*" + tail);
    }
}

}  // namespace
}  // namespace vantrelo

#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "base/encoding.h"
#include "card/card_template.h"
#include "card/headless_card.h"
#include "graphics/image_loader.h"

namespace vantrelo {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class Renderer : public testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("vantrelo-render-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    Outcome run(const std::vector<std::string>& args) const {
        std::string cmd = quoted(std::string(VANTRELO_BIN_DIR) + "/vantrelo-render");
        for (const auto& a : args) cmd += " " + quoted(a);
        cmd += " >" + quoted((m_dir / "stdout").string()) + " 2>" + quoted((m_dir / "stderr").string());
        Outcome r;
        const int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = readFile(m_dir / "stdout");
        r.err = readFile(m_dir / "stderr");
        return r;
    }
    fs::path path(const std::string& name) const { return m_dir / name; }
    void write(const std::string& name, const std::string& data) const {
        std::ofstream(m_dir / name, std::ios::binary) << data;
    }

    fs::path m_dir;
};

// The card the window's composer draws for the same values, as BMP bytes.
std::string composedInProcess(const CardRequest& request) {
    loadTemplateCatalogue();
    HeadlessCard card;
    const Bytes bmp = card.render(request).snapshotBmp();
    return std::string(bmp.begin(), bmp.end());
}

// RGB rows of a PNG file.
std::vector<std::uint8_t> decodePng(const fs::path& p, int& width, int& height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    std::vector<std::uint8_t> rgb;
    if (!png_image_begin_read_from_file(&image, p.c_str())) return rgb;
    image.format = PNG_FORMAT_RGB;
    rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) rgb.clear();
    width = int(image.width);
    height = int(image.height);
    return rgb;
}

TEST_F(Renderer, CardEqualsTheComposersCardInEveryFormat) {
    const Outcome r = run({"card", "--template", "3", "--nickname", "\xe8\xae\xba\xe5\x9d\x9b Morvidane", "--contact",
                       "12345", "--output", path("card.bmp").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    CardRequest request;
    request.templatePosition = 3;
    request.lines[0] = textFromUtf8("\xe8\xae\xba\xe5\x9d\x9b Morvidane");
    request.lines[3] = Text("12345");
    const std::string bmp = readFile(path("card.bmp"));
    EXPECT_EQ(bmp, composedInProcess(request));
    EXPECT_EQ(bmp.size(), 54u + 900u * 140u);

    ASSERT_EQ(run({"card", "--template", "3", "--nickname", "\xe8\xae\xba\xe5\x9d\x9b Morvidane", "--contact", "12345",
                   "--output", path("card.png").string()})
                  .status,
              0);
    int w = 0, h = 0;
    const std::vector<std::uint8_t> rgb = decodePng(path("card.png"), w, h);
    ASSERT_EQ(w, 300);
    ASSERT_EQ(h, 140);
    // The BMP stores the bottom row first, blue-green-red.
    for (int y = 0; y < 140; y += 7) {
        for (int x = 0; x < 300; x += 3) {
            const std::size_t b = 54 + std::size_t(139 - y) * 900 + std::size_t(x) * 3;
            const std::size_t p = (std::size_t(y) * 300 + std::size_t(x)) * 3;
            ASSERT_EQ(std::uint8_t(bmp[b + 2]), rgb[p]) << x << "," << y;
            ASSERT_EQ(std::uint8_t(bmp[b + 1]), rgb[p + 1]);
            ASSERT_EQ(std::uint8_t(bmp[b]), rgb[p + 2]);
        }
    }

    ASSERT_EQ(run({"card", "--output", path("card.JPG").string()}).status, 0);
    const std::string jpeg = readFile(path("card.JPG"));
    EXPECT_EQ(jpeg.substr(0, 2), "\xff\xd8");
    EXPECT_GT(jpeg.size(), 8000u);
    EXPECT_LT(jpeg.size(), 30000u);
    const ImageHandle h2 = loadImage(textFromUtf8(path("card.JPG").string()));
    ASSERT_NE(h2, 0u);
    EXPECT_EQ(findImage(h2)->width, 300);
    unloadImage(h2);
}

TEST_F(Renderer, UsageErrorsExitTwoWithAReasonAndTheUsage) {
    const std::string out = path("x.bmp").string();
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"draw"},
        {"card"},
        {"card", "--colour", "red", "--output", out},
        {"card", "--output"},
        {"card", "--template", "0", "--output", out},
        {"card", "--template", "8", "--output", out},
        {"card", "--template", "2x", "--output", out},
        {"convert", "only-one"},
        {"batch", "rows.csv"},
    };
    for (const auto& args : cases) {
        const Outcome r = run(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_NE(r.err.find("vantrelo-render: "), std::string::npos);
        EXPECT_NE(r.err.find("usage:"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(out));
    const Outcome help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage:"), std::string::npos);
    EXPECT_EQ(run({"--version"}).out, "vantrelo-render 1.0.0.0\n");
}

TEST_F(Renderer, AnUnwritableOutputFailsWithoutLeavingAFile) {
    fs::create_directories(path("taken.bmp"));
    for (const fs::path& target : {path("missing/card.bmp"), path("taken.bmp")}) {
        const Outcome r = run({"card", "--output", target.string()});
        EXPECT_EQ(r.status, 1) << target;
        EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(path("missing")));
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), {}), 3);  // taken.bmp, stdout, stderr
}

TEST_F(Renderer, AnAvatarThatIsNoPictureShowsTheFrameAndWarns) {
    write("notes.jpg", "just text, not a picture");
    const Outcome r = run({"card", "--avatar", path("notes.jpg").string(), "--output", path("card.bmp").string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("warning"), std::string::npos);
    CardRequest request;
    request.avatarPath = textFromUtf8(path("notes.jpg").string());
    EXPECT_EQ(readFile(path("card.bmp")), composedInProcess(request));
    EXPECT_NE(readFile(path("card.bmp")), composedInProcess(CardRequest{}));
}

TEST_F(Renderer, ConvertWritesThePictureAtItsNaturalSize) {
    const std::string source = std::string(VANTRELO_TESTDATA_DIR) + "/bmp/bmpsuite/g/pal8.bmp";
    const Outcome r = run({"convert", source, path("out.bmp").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const ImageHandle h = loadImage(textFromUtf8(path("out.bmp").string()));
    ASSERT_NE(h, 0u);
    EXPECT_EQ(findImage(h)->width, 127);
    EXPECT_EQ(findImage(h)->height, 64);
    unloadImage(h);

    write("five.bin", "BM\x01\x02\x03");
    const Outcome bad = run({"convert", path("five.bin").string(), path("no.bmp").string()});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, "cannot load picture: " + path("five.bin").string() + "\n");
    EXPECT_FALSE(fs::exists(path("no.bmp")));
}

TEST_F(Renderer, BatchMakesEveryGoodRowAndReportsTheBadOnes) {
    fs::create_directories(path("faces"));
    // The default avatar, as a file next to the CSV.
    const Bytes avatar = defaultAvatarImage();
    write("faces/me.jpg", std::string(avatar.begin(), avatar.end()));
    write("faces/broken.jpg", "nothing");
    write("rows.csv",
          "file,template,nickname,board,post,contact,avatar\r\n"
          "alice,2,Alice,\"Board, with comma\",\"say \"\"hi\"\"\",1,faces/me.jpg\r\n"  // line 2
          ",5,\"two\nlines\",,,,\r\n"                                                 // line 3, file named 2
          "bad-template,9,x,,,,\r\n"                                                  // line 5
          "../escape,1,x,,,,\r\n"                                                     // line 6
          "/abs/card,1,x,,,,\r\n"                                                     // line 7
          "alice,1,again,,,,\r\n"                                                     // line 8
          "broken,1,x,,,,faces/broken.jpg\r\n"                                        // line 9
          "pic.png,3,Png,,,,\r\n");                                                   // line 10
    const Outcome r = run({"batch", path("rows.csv").string(), "--out-dir", path("out/cards").string(), "--jobs", "2"});
    EXPECT_EQ(r.status, 1);
    for (const char* expected : {"line 5: unknown template", "line 6: file name", "line 7: file name",
                                 "line 8: file name \"alice.bmp\" is used", "line 9: avatar does not load"}) {
        EXPECT_NE(r.err.find(expected), std::string::npos) << expected << "\n" << r.err;
    }
    EXPECT_NE(r.err.find("3 of 8 cards made"), std::string::npos) << r.err;

    // Each batch card equals the single card for the same values, byte for byte.
    CardRequest alice;
    alice.templatePosition = 2;
    alice.lines[0] = Text("Alice");
    alice.lines[1] = Text("Board, with comma");
    alice.lines[2] = Text("say \"hi\"");
    alice.lines[3] = Text("1");
    alice.avatarPath = textFromUtf8(path("faces/me.jpg").string());
    EXPECT_EQ(readFile(path("out/cards/alice.bmp")), composedInProcess(alice));
    CardRequest second;
    second.templatePosition = 5;
    second.lines[0] = Text("two\nlines");
    EXPECT_EQ(readFile(path("out/cards/2.bmp")), composedInProcess(second));
    EXPECT_EQ(readFile(path("out/cards/pic.png")).substr(1, 3), "PNG");
    EXPECT_FALSE(fs::exists(path("out/escape.bmp")));
    EXPECT_EQ(std::distance(fs::directory_iterator(path("out/cards")), {}), 3);
}

TEST_F(Renderer, BatchFormatOptionAndUnwritableOutputFolder) {
    write("rows.csv", "nickname\nA\nB\n");
    const Outcome ok = run({"batch", path("rows.csv").string(), "--out-dir", path("out").string(), "--format", "jpg"});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(readFile(path("out/1.jpg")).substr(0, 2), "\xff\xd8");
    EXPECT_TRUE(fs::exists(path("out/2.jpg")));

    write("plain-file", "");
    const Outcome bad = run({"batch", path("rows.csv").string(), "--out-dir", path("plain-file").string()});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("cannot write into"), std::string::npos) << bad.err;
}

}  // namespace
}  // namespace vantrelo

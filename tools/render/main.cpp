// vantrelo-render: the card composer without a window.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/encoding.h"
#include "base/fatal.h"
#include "base/file_write.h"
#include "card/card_template.h"
#include "card/headless_card.h"
#include "graphics/image_loader.h"
#include "tools/render/batch.h"

using namespace vantrelo;

namespace {

constexpr const char kVersion[] = "vantrelo-render 1.0.0.0";

constexpr const char kUsage[] =
    "usage: vantrelo-render card [--template N] [--nickname TEXT] [--board TEXT] [--post TEXT]\n"
    "                            [--contact TEXT] [--avatar PATH] --output FILE\n"
    "       vantrelo-render convert INPUT OUTPUT\n"
    "       vantrelo-render batch FILE.csv --out-dir DIR [--format bmp|png|jpg] [--jobs N]\n"
    "       vantrelo-render --help | --version\n"
    "The output format follows the file name: .png PNG, .jpg/.jpeg JPEG (quality 90),\n"
    "anything else a 24-bit BMP. Texts are UTF-8.\n";

int usageError(const std::string& reason) {
    std::fprintf(stderr, "vantrelo-render: %s\n%s", reason.c_str(), kUsage);
    return 2;
}

int writeOutput(const std::string& path, const Bytes& data) {
    if (data.empty()) {
        std::fprintf(stderr, "vantrelo-render: nothing to write to %s\n", path.c_str());
        return 1;
    }
    const WriteResult r = writeFileReplacing(path, std::span<const Bytes>(&data, 1), InPlaceFallback::Forbidden);
    if (!r.ok) {
        std::fprintf(stderr, "vantrelo-render: cannot write %s: %s\n", path.c_str(), std::strerror(r.error));
        return 1;
    }
    return 0;
}

int runCard(const std::vector<std::string>& args) {
    CardRequest request;
    std::optional<std::string> output;
    const char* const lineOptions[4] = {"--nickname", "--board", "--post", "--contact"};
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size()) return std::nullopt;
            return args[++i];
        };
        int line = -1;
        for (int l = 0; l < 4; ++l) {
            if (a == lineOptions[l]) line = l;
        }
        if (line >= 0 || a == "--template" || a == "--avatar" || a == "--output") {
            const auto v = value();
            if (!v) return usageError("missing value for " + a);
            if (line >= 0) {
                request.lines[line] = textFromUtf8(*v);
            } else if (a == "--avatar") {
                request.avatarPath = textFromUtf8(*v);
            } else if (a == "--output") {
                output = *v;
            } else {
                char* end = nullptr;
                const long n = std::strtol(v->c_str(), &end, 10);
                if (v->empty() || *end != '\0' || n < 1 || n > kBuiltInTemplateCount) {
                    return usageError("template must be 1 to " + std::to_string(kBuiltInTemplateCount) + ": " + *v);
                }
                request.templatePosition = std::int32_t(n);
            }
        } else {
            return usageError("unknown option " + a);
        }
    }
    if (!output) return usageError("--output is required");

    loadTemplateCatalogue();
    HeadlessCard card;
    const Canvas& preview = card.render(request);
    if (!request.avatarPath.empty() && pathExists(request.avatarPath)) {
        const ImageHandle probe = loadImage(request.avatarPath);
        if (probe == 0) {
            std::fprintf(stderr, "vantrelo-render: warning: avatar does not load as a picture: %s\n",
                         textToUtf8(request.avatarPath).c_str());
        }
        unloadImage(probe);
    }
    const Text outputName = textFromUtf8(*output);
    return writeOutput(*output, encodeCard(preview, cardFileFormatForName(outputName)));
}

int runConvert(const std::vector<std::string>& args) {
    if (args.size() != 2) return usageError("convert takes INPUT and OUTPUT");
    const ImageHandle picture = loadImage(textFromUtf8(args[0]));
    if (picture == 0) {
        std::fprintf(stderr, "cannot load picture: %s\n", args[0].c_str());
        return 1;
    }
    CanvasSettings settings;
    settings.backgroundColour = 0xFFFFFF;
    settings.border = CanvasBorder::None;
    Canvas canvas(settings);
    canvas.setWidth(canvas.imageWidth(picture));
    canvas.setHeight(canvas.imageHeight(picture));
    canvas.drawImage(picture, 0, 0);
    unloadImage(picture);
    return writeOutput(args[1], encodeCard(canvas, cardFileFormatForName(textFromUtf8(args[1]))));
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usageError("no command given");
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "--help" || command == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "--version") {
        std::puts(kVersion);
        return 0;
    }
    if (command == "card") return runCard(args);
    if (command == "convert") return runConvert(args);
    if (command == "batch") return runBatch(args);
    return usageError("unknown command " + command);
}

#include "card/composer.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cmath>
#include <memory>

#include "base/encoding.h"
#include "base/fatal.h"
#include "card/avatar_cache.h"
#include "card/card_template.h"
#include "graphics/image_loader.h"

namespace vantrelo {
namespace {

// 论坛昵称：, 常在版块：, 论坛职位：, QQ或信箱：
const Text kLabels[4] = {
    Text("\xc2\xdb\xcc\xb3\xea\xc7\xb3\xc6\xa3\xba"),
    Text("\xb3\xa3\xd4\xda\xb0\xe6\xbf\xe9\xa3\xba"),
    Text("\xc2\xdb\xcc\xb3\xd6\xb0\xce\xbb\xa3\xba"),
    Text("\x51\x51\xbb\xf2\xd0\xc5\xcf\xe4\xa3\xba"),
};
// 数组成员引用下标必须大于等于1
const char kIndexBelowOne[] =
    "\xca\xfd\xd7\xe9\xb3\xc9\xd4\xb1\xd2\xfd\xd3\xc3\xcf\xc2\xb1\xea\xb1\xd8\xd0\xeb\xb4\xf3\xd3\xda\xb5\xc8\xd3\xda\x31";
// 数组成员引用下标超出定义范围
const char kIndexAboveCount[] =
    "\xca\xfd\xd7\xe9\xb3\xc9\xd4\xb1\xd2\xfd\xd3\xc3\xcf\xc2\xb1\xea\xb3\xac\xb3\xf6\xb6\xa8\xd2\xe5\xb7\xb6\xce\xa7";

constexpr std::int32_t kLineStep = 20;

bool isHighByte(unsigned char b) { return b >= 0x80; }

// A directory search matches * and ? only; everything else stands for itself.
bool wildcardMatch(const char* pattern, const char* name) {
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*name) {
        if (*pattern == '?' || (*pattern != '*' && *pattern == *name)) {
            ++pattern;
            ++name;
        } else if (*pattern == '*') {
            star = pattern++;
            resume = name;
        } else if (star) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == '\0';
}

}  // namespace

const Text& lineLabel(int line) { return kLabels[line - 1]; }

Text trimBlanks(const Text& text) {
    const std::string& s = text.bytes();
    const std::size_t n = s.size();
    auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    auto fullWidthSpaceAt = [&](std::size_t i) { return i + 1 < n && byteAt(i) == 0xA1 && byteAt(i + 1) == 0xA1; };

    std::size_t begin = 0;
    while (begin < n) {
        if (byteAt(begin) == 0x20) {
            begin += 1;
        } else if (fullWidthSpaceAt(begin)) {
            begin += 2;
        } else {
            break;
        }
    }
    // Walk forward character by character so that the second byte of a
    // two-byte character is never taken for a blank; remember where the last
    // non-blank character ends.
    std::size_t end = begin;
    std::size_t i = begin;
    while (i < n) {
        if (isHighByte(byteAt(i))) {
            if (i + 1 >= n) break;  // a lone final lead byte is dropped
            if (!fullWidthSpaceAt(i)) end = i + 2;
            i += 2;
        } else {
            if (byteAt(i) != 0x20) end = i + 1;
            i += 1;
        }
    }
    return Text(s.substr(begin, end - begin));
}

bool pathExists(const Text& path) {
    if (path.empty()) return false;
    const std::string utf8 = textToUtf8(path);
    const std::size_t slash = utf8.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : utf8.substr(0, slash));
    const std::string last = slash == std::string::npos ? utf8 : utf8.substr(slash + 1);
    if (last.empty()) return false;  // a search for "folder/" names no entry
    if (last.find_first_of("*?") == std::string::npos) {
        struct stat st {};
        return lstat(utf8.c_str(), &st) == 0;
    }
    DIR* dir = opendir(folder.c_str());
    if (!dir) return false;
    bool found = false;
    while (const dirent* entry = readdir(dir)) {
        if (wildcardMatch(last.c_str(), entry->d_name)) {
            found = true;
            break;
        }
    }
    closedir(dir);
    return found;
}

void renderCard(const CardInputs& inputs, Canvas& work, Canvas& preview) {
    // 1. The template at selection + 1, checked before anything is drawn.
    const std::int64_t position = std::int64_t(inputs.selection()) + 1;
    const TemplateList* list = templateList();
    const std::int32_t count = list ? list->count() : 0;
    if (position < 1) fatalStop(Text(kIndexBelowOne), 4);
    if (position > count) fatalStop(Text(kIndexAboveCount), 1);
    const CardTemplate record = list->at(std::int32_t(position));

    // 2. The background sets the card's size.
    ImageHandle background = loadImage(record.image);
    work.setWidth(work.imageWidth(background));
    work.setHeight(work.imageHeight(background));
    work.drawImage(background, 0, 0);
    unloadImage(background);

    // 3. The avatar, squeezed or stretched into its box. A path that names
    // something that does not load leaves the template's frame showing.
    const Text avatarPath = inputs.avatarPath();
    static const Bytes defaultAvatar = defaultAvatarImage();
    ImageHandle avatar = pathExists(avatarPath)
                             ? avatarCache().load(avatarPath, record.avatarWidth, record.avatarHeight)
                             : loadImage(defaultAvatar);
    work.drawImage(avatar, record.avatarLeft, record.avatarTop, record.avatarWidth, record.avatarHeight, 1);
    unloadImage(avatar);

    // 4. and 5. The non-blank lines, 20 px apart from the top whatever is left out.
    work.setTextColour(record.textColour);
    std::int32_t offset = 0;
    for (int line = 1; line <= 4; ++line) {
        if (trimBlanks(inputs.lineText(line)).empty()) continue;
        work.writeText(record.textLeft, std::int32_t(std::trunc(double(record.textTop) + offset)),
                       lineLabel(line) + inputs.lineText(line));
        offset += kLineStep;
    }

    // 6. Size and centre the preview only when the card's size differs.
    if (preview.width() != work.width() || preview.height() != work.height()) {
        preview.setWidth(work.width());
        preview.setHeight(work.height());
        preview.setLeft(std::int32_t(std::trunc((double(inputs.previewAreaClientWidth()) - preview.width()) / 2.0)));
        preview.setTop(std::int32_t(std::trunc((double(inputs.previewAreaClientHeight()) - preview.height()) / 2.0)));
    }
    // 7. and 8. Show and publish.
    if (!preview.visible()) preview.setVisible(true);
    CopyArgs publish;
    publish.sourceX = 0;
    publish.sourceY = 0;
    publish.destination = &preview;
    publish.destX = 0;
    publish.destY = 0;
    publish.mode = 1;
    work.copyTo(publish);
    // 9. Leave the work surface wiped.
    work.clear();
}

}  // namespace vantrelo

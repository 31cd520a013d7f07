#include "shell/window_description.h"

#include <set>

namespace vantrelo::embedded {
extern const unsigned char preview_checkerboard_jpg[];
extern const std::size_t preview_checkerboard_jpg_size;
}  // namespace vantrelo::embedded

namespace vantrelo {
namespace {

// The texts of the main window.
constexpr const char* kCaption = "Vantrelo v1.01";
constexpr const char* kSettingsHeading = "\xc3\xfb\xc6\xac\xc9\xe8\xd6\xc3"; /* 名片设置 */
constexpr const char* kAboutHeading = "\xb9\xd8\xd3\xda\xb1\xbe\xb3\xcc\xd0\xf2"; /* 关于本程序 */
constexpr const char* kRowCaptions =
    "\xc2\xdb\xcc\xb3\xea\xc7\xb3\xc6\xa3\xba\r\n\r\n"      /* 论坛昵称： */
    "\xb3\xa3\xd4\xda\xb0\xe6\xbf\xe9\xa3\xba\r\n\r\n"      /* 常在版块： */
    "\xc2\xdb\xcc\xb3\xd6\xb0\xce\xbb\xa3\xba\r\n\r\n"      /* 论坛职位： */
    "QQ\xbb\xf2\xd0\xc5\xcf\xe4\xa3\xba\r\n\r\n"            /* QQ或信箱： */
    "\xc7\xa9\xc3\xfb\xc4\xa3\xb0\xe6\xa3\xba\r\n\r\n"      /* 签名模版： */
    "\xcd\xb7\xcf\xf1\xcd\xbc\xc6\xac\xa3\xba";             /* 头像图片： */
constexpr const char* kNameAndMaker =
    "Vantrelo v1.01\r\n\r\n"
    "\xc9\xe8\xbc\xc6\xd6\xc6\xd7\xf7\xa3\xbaMorvidane\r\n\r\n" /* 设计制作：Morvidane */
    "\xcd\xf8\xd5\xbe\xa3\xba";                                 /* 网站： */
constexpr const char* kDescription =
    "   Vantrelo\xca\xc7\xd2\xbb\xbf\xee\xca\xca\xba\xcf\xbc\xf2\r\n\r\n" /* 是一款适合简 */
    "\xd2\xd7\xb5\xc4\xc7\xa9\xc3\xfb\xcd\xbc\xc6\xac\xc9\xfa\xb3\xc9\xb9\xa4\xbe\xdf,"
    "\xcb\xfc\xbf\xc9\xd2\xd4\xb0\xef\xd6\xfa\xc4\xfa\r\n\r\n" /* 易的签名图片生成工具,它可以帮助您 */
    "\xb4\xf2\xd4\xec\xd2\xbb\xbf\xee\xb6\xc0\xd2\xbb\xce\xde\xb6\xfe\xb5\xc4\xc7\xa9\xc3\xfb,"
    "\xc4\xe3\xd2\xb2\xbf\xc9\xd2\xd4\xc9\xcf\r\n\r\n" /* 打造一款独一无二的签名,你也可以上 */
    "\xb4\xab\xd7\xd4\xbc\xba\xb5\xc4\xd5\xd5\xc6\xac\xc0\xb4\xd6\xc6\xd7\xf7\xc7\xa9\xc3\xfb,"
    "\xc8\xbb\xba\xf3\xb1\xa3\xb4\xe6\xb5\xbd\r\n\r\n" /* 传自己的照片来制作签名,然后保存到 */
    "\xb5\xe7\xc4\xd4\xc0\xef\xc9\xcf\xb4\xab\xc2\xdb\xcc\xb3\xa1\xa3"; /* 电脑里上传论坛。 */
constexpr const char* kForumPost = "\xb9\xdc\xc0\xed\xd4\xb1"; /* 管理员 */
constexpr const char* kChooseAvatar = "\xd1\xa1\xd4\xf1\xcd\xb7\xcf\xf1"; /* 选择头像 */
constexpr const char* kMakeCard = "\xd6\xc6\xd7\xf7\xc3\xfb\xc6\xac"; /* 制作名片 */

bool g_damaged = false;
bool g_read = false;
WindowDescription g_main;

ControlDescription control(const char* name, ControlKind kind, const char* parent, std::int32_t left,
                           std::int32_t top, std::int32_t width, std::int32_t height, int tab = -1,
                           const char* text = "") {
    ControlDescription d;
    d.name = name;
    d.kind = kind;
    d.parent = parent;
    d.left = left;
    d.top = top;
    d.width = width;
    d.height = height;
    d.tabIndex = tab;
    d.text = text;
    return d;
}

ControlDescription label(const char* name, const char* parent, std::int32_t left, std::int32_t top,
                         std::int32_t width, std::int32_t height, const char* text, bool heading) {
    ControlDescription d = control(name, ControlKind::Label, parent, left, top, width, height, -1, text);
    if (heading) {
        d.font = FontRole::Heading;
        d.alignment = LabelAlignment::Centre;
        d.lines = LabelLines::SingleLine;
        d.background = LabelBackground::Gradient;
    }
    return d;
}

WindowDescription buildMainWindow(Bytes checkerboard) {
    using namespace names;
    WindowDescription w;
    w.name = kMainWindow;
    w.caption = kCaption;
    w.width = 640;
    w.height = 480;

    ControlDescription preview = control(kPreviewArea, ControlKind::Canvas, "", 8, 8, 392, 304);
    preview.canvas.left = 8;
    preview.canvas.top = 8;
    preview.canvas.width = 392;
    preview.canvas.height = 304;
    preview.canvas.visible = true;
    preview.canvas.border = CanvasBorder::Sunken;
    preview.canvas.backgroundColour = kColourMarker;
    preview.canvas.backgroundPicture = std::move(checkerboard);
    preview.canvas.pictureMode = PictureMode::Tiled;
    preview.canvas.keepsImage = true;
    preview.canvas.scaleMode = 0;
    preview.canvas.textColour = 0;
    preview.canvas.textBackground = kColourMarker;
    preview.canvas.font = std::nullopt;

    ControlDescription link = control(kHyperlink, ControlKind::Hyperlink, kAboutPanel, 48, 81, 104, 16, -1, kMakerHost);
    link.font = FontRole::Link;
    link.alignment = LabelAlignment::Centre;
    link.lines = LabelLines::SingleLine;
    link.target = kMakerUrl;

    w.controls = {
        preview,
        control(kSettingsPanel, ControlKind::Panel, "", 407, 8, 220, 264),
        control(kAboutPanel, ControlKind::Panel, "", 408, 286, 220, 106),
        control(kFileDialog, ControlKind::FileDialog, "", 0, 0, 0, 0),
        label(kLabel2, kSettingsPanel, 1, 1, 218, 18, kSettingsHeading, true),
        label(kLabel1, kSettingsPanel, 4, 28, 69, 132, kRowCaptions, false),
        control(kEdit1, ControlKind::EditBox, kSettingsPanel, 65, 24, 150, 20, 0, "Morvidane"),
        control(kEdit2, ControlKind::EditBox, kSettingsPanel, 65, 48, 150, 20, 1, kMakerHost),
        control(kEdit3, ControlKind::EditBox, kSettingsPanel, 65, 72, 150, 20, 2, kForumPost),
        control(kEdit4, ControlKind::EditBox, kSettingsPanel, 65, 96, 150, 20, 3, kMakerMail),
        control(kChooser, ControlKind::DropDownList, kSettingsPanel, 65, 120, 150, 20, 4),
        control(kEdit5, ControlKind::EditBox, kSettingsPanel, 65, 144, 150, 20, 5, ""),
        control(kAvatarButton, ControlKind::PushButton, kSettingsPanel, 65, 171, 72, 30, 6, kChooseAvatar),
        control(kSaveButton, ControlKind::PushButton, kSettingsPanel, 143, 171, 72, 30, 7, kMakeCard),
        label(kLabel5, kSettingsPanel, 8, 216, 209, 120, kDescription, false),
        label(kLabel3, kAboutPanel, -7, 1, 218, 18, kAboutHeading, true),
        label(kLabel4, kAboutPanel, 4, 36, 204, 62, kNameAndMaker, false),
        link,
    };
    w.stacking = {
        {"", {kPreviewArea, kAboutPanel, kSettingsPanel}},
        {kSettingsPanel,
         {kLabel5, kAvatarButton, kEdit5, kChooser, kSaveButton, kEdit4, kEdit3, kEdit2, kEdit1, kLabel2, kLabel1}},
        {kAboutPanel, {kHyperlink, kLabel3, kLabel4}},
    };
    return w;
}

// A description is usable when its names are unique, every parent is a
// container listed before its children, and every stacking entry names a
// child of that parent.
bool consistent(const WindowDescription& w) {
    std::set<std::string> seen;
    std::set<std::string> containers{""};
    for (const ControlDescription& c : w.controls) {
        if (c.name.empty() || !seen.insert(c.name.bytes()).second) return false;
        if (!containers.count(c.parent.bytes())) return false;
        if (c.kind == ControlKind::Panel) containers.insert(c.name.bytes());
        if (c.kind == ControlKind::Canvas && c.canvas.backgroundPicture.empty() && &c == &w.controls.front())
            return false;  // the preview area's picture is part of the description
    }
    for (const StackingOrder& s : w.stacking) {
        for (const Text& name : s.topFirst) {
            bool found = false;
            for (const ControlDescription& c : w.controls)
                if (c.name == name && c.parent == s.parent) found = true;
            if (!found) return false;
        }
    }
    return true;
}

}  // namespace

bool readWindowDescriptions() {
    g_read = false;
    if (g_damaged) return false;
    Bytes picture(embedded::preview_checkerboard_jpg,
                  embedded::preview_checkerboard_jpg + embedded::preview_checkerboard_jpg_size);
    WindowDescription main = buildMainWindow(std::move(picture));
    if (!consistent(main)) return false;
    g_main = std::move(main);
    g_read = true;
    return true;
}

const WindowDescription* mainWindowDescription() { return g_read ? &g_main : nullptr; }

void setWindowDescriptionsDamagedForTesting(bool damaged) { g_damaged = damaged; }

}  // namespace vantrelo

#pragma once
// The descriptions of the program's windows: for each window its own settings
// and, for each control, the stored settings it is built from. They are data
// inside the program, read once at start-up; a window keeps them unchanged for
// its whole life (copies of controls are made from them).
#include <cstdint>
#include <optional>
#include <vector>

#include "base/text.h"
#include "graphics/canvas.h"

namespace vantrelo {

enum class ControlKind {
    Window,
    Canvas,
    Panel,       // framed panel: a container
    Label,
    EditBox,
    DropDownList,
    PushButton,
    Hyperlink,
    FileDialog,  // a component: no window of its own
};

// The fonts of the description. Default: the default GUI font.
enum class FontRole { Default, Heading, Link };

enum class LabelAlignment { Left, Centre };
enum class LabelLines { WordWrap, SingleLine };
enum class LabelBackground { Face, Gradient };

struct ControlDescription {
    Text name;
    ControlKind kind = ControlKind::Label;
    Text parent;  // empty: the window itself
    std::int32_t left = 0, top = 0, width = 0, height = 0;
    int tabIndex = -1;  // -1: not a tab stop
    bool visible = true;
    bool enabled = true;
    Text text;
    FontRole font = FontRole::Default;
    // Labels.
    LabelAlignment alignment = LabelAlignment::Left;
    LabelLines lines = LabelLines::WordWrap;
    LabelBackground background = LabelBackground::Face;
    // Hyperlink: where a click goes.
    Text target;
    // Canvas: all its stored settings (geometry repeated from above).
    CanvasSettings canvas;
};

struct StackingOrder {
    Text parent;                // empty: the window
    std::vector<Text> topFirst; // the first is on top
};

struct WindowDescription {
    Text name;
    Text caption;
    std::int32_t width = 0, height = 0;  // outer size, frame included
    std::vector<ControlDescription> controls;  // in creation order, parents first
    std::vector<StackingOrder> stacking;
};

// Reads the descriptions of all windows of the program; false when they
// cannot be read (the caller stops). Reading again is harmless.
bool readWindowDescriptions();
// The main window's description, once read; nullptr before or after a failed read.
const WindowDescription* mainWindowDescription();
// Only for tests: makes the next read fail as if the data were damaged.
void setWindowDescriptionsDamagedForTesting(bool damaged);

// Names of the main window's controls, as used in code.
namespace names {
inline constexpr const char* kMainWindow = "\xd6\xf7\xb4\xb0\xbf\xda"; /* 主窗口 */
inline constexpr const char* kPreviewArea = "\xbb\xad\xb0\xe5" "1"; /* 画板1 */
inline constexpr const char* kSettingsPanel = "\xcd\xe2\xd0\xce\xbf\xf2" "1"; /* 外形框1 */
inline constexpr const char* kAboutPanel = "\xcd\xe2\xd0\xce\xbf\xf2" "2"; /* 外形框2 */
inline constexpr const char* kFileDialog = "\xcd\xa8\xd3\xc3\xb6\xd4\xbb\xb0\xbf\xf2" "1"; /* 通用对话框1 */
inline constexpr const char* kLabel1 = "\xb1\xea\xc7\xa9" "1"; /* 标签1 */
inline constexpr const char* kLabel2 = "\xb1\xea\xc7\xa9" "2"; /* 标签2 */
inline constexpr const char* kLabel3 = "\xb1\xea\xc7\xa9" "3"; /* 标签3 */
inline constexpr const char* kLabel4 = "\xb1\xea\xc7\xa9" "4"; /* 标签4 */
inline constexpr const char* kLabel5 = "\xb1\xea\xc7\xa9" "5"; /* 标签5 */
inline constexpr const char* kEdit1 = "\xb1\xe0\xbc\xad\xbf\xf2" "1"; /* 编辑框1 */
inline constexpr const char* kEdit2 = "\xb1\xe0\xbc\xad\xbf\xf2" "2"; /* 编辑框2 */
inline constexpr const char* kEdit3 = "\xb1\xe0\xbc\xad\xbf\xf2" "3"; /* 编辑框3 */
inline constexpr const char* kEdit4 = "\xb1\xe0\xbc\xad\xbf\xf2" "4"; /* 编辑框4 */
inline constexpr const char* kEdit5 = "\xb1\xe0\xbc\xad\xbf\xf2" "5"; /* 编辑框5 */
inline constexpr const char* kChooser = "\xd7\xe9\xba\xcf\xbf\xf2" "1"; /* 组合框1 */
inline constexpr const char* kSaveButton = "\xb0\xb4\xc5\xa5" "1"; /* 按钮1 */
inline constexpr const char* kAvatarButton = "\xb0\xb4\xc5\xa5" "2"; /* 按钮2 */
inline constexpr const char* kHyperlink = "\xb3\xac\xbc\xb6\xc1\xb4\xbd\xd3\xbf\xf2" "1"; /* 超级链接框1 */
}  // namespace names

// The maker's addresses.
inline constexpr const char* kMakerHost = "www.morvidane.example";
inline constexpr const char* kMakerUrl = "http://www.morvidane.example/";
inline constexpr const char* kMakerMail = "morvidane@morvidane.example";

}  // namespace vantrelo

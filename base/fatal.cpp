#include "base/fatal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/encoding.h"

namespace vantrelo {
namespace {

FatalPresenter g_presenter = presentFatalOnStderr;
ExitHook g_exitHook = nullptr;
CleanupHook g_cleanupHook = nullptr;

// 运行时出错!\r\n\r\n
constexpr const char kStopHeading[] = "\xd4\xcb\xd0\xd0\xca\xb1\xb3\xf6\xb4\xed\x21\r\n\r\n";
// 错误代码：
constexpr const char kCodeLabel[] = "\xb4\xed\xce\xf3\xb4\xfa\xc2\xeb\xa3\xba";
// 错误信息：
constexpr const char kMessageLabel[] = "\xb4\xed\xce\xf3\xd0\xc5\xcf\xa2\xa3\xba";
// 分配 ... 字节内存失败!
constexpr const char kAllocPrefix[] = "\xb7\xd6\xc5\xe4\x20";
constexpr const char kAllocSuffix[] = "\x20\xd7\xd6\xbd\xda\xc4\xda\xb4\xe6\xca\xa7\xb0\xdc\x21";

[[noreturn]] void stopWithText(const char* boxText) {
    g_presenter(boxText);
    g_exitHook = nullptr;  // the exit hook never runs after a stop
    if (g_cleanupHook) g_cleanupHook();
    std::fflush(nullptr);
    std::_Exit(-1);
}

}  // namespace

void presentFatalOnStderr(const char* gbkText) {
    // Conversion allocates; when memory is exhausted the raw bytes still go out.
    std::fputs(gbkText, stderr);
    std::fputc('\n', stderr);
}

void setFatalPresenter(FatalPresenter presenter) { g_presenter = presenter ? presenter : presentFatalOnStderr; }

void setExitHook(ExitHook hook) { g_exitHook = hook; }
ExitHook exitHook() { return g_exitHook; }
void runExitHook() {
    ExitHook hook = g_exitHook;
    g_exitHook = nullptr;
    if (hook) hook();
}

void setCleanupHook(CleanupHook hook) { g_cleanupHook = hook; }

std::string composeFatalText(const Text& message, std::int32_t code) {
    std::string text = kStopHeading;
    if (code != 0) {
        text += kCodeLabel;
        text += std::to_string(code);
        text += "\r\n\r\n";
    }
    if (!message.empty()) {
        text += kMessageLabel;
        text += message.bytes();
        text += "\r\n";
    }
    return text;
}

void fatalStop(const Text& message, std::int32_t code) {
    const std::string text = composeFatalText(message, code);
    stopWithText(text.c_str());
}

void fatalOutOfMemory(std::size_t requested) {
    // Built in a static buffer: the heap has just failed.
    static char box[256];
    std::snprintf(box, sizeof box, "%s%s%s%lld%s\r\n", kStopHeading, kMessageLabel, kAllocPrefix,
                  static_cast<long long>(requested), kAllocSuffix);
    stopWithText(box);
}

}  // namespace vantrelo

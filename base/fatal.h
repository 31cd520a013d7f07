#pragma once
// The one way an unrecoverable condition ends the program, and the exit hook
// that a normal exit runs once.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/text.h"

namespace vantrelo {

// Shows the composed box text (GBK) to the user and returns once it is dismissed.
using FatalPresenter = void (*)(const char* gbkText);

// The presenter a headless program uses until another is installed: the text,
// converted to UTF-8, on stderr.
void presentFatalOnStderr(const char* gbkText);
void setFatalPresenter(FatalPresenter presenter);

// Runs when the process ends normally; setting it again replaces the earlier one.
using ExitHook = void (*)();
void setExitHook(ExitHook hook);
ExitHook exitHook();
// Runs the hook once and empties the slot.
void runExitHook();

// Clean-up that both a normal exit and a stop run after the hook (the GUI's
// platform layer puts its uninitialisation here).
using CleanupHook = void (*)();
void setCleanupHook(CleanupHook hook);

// "运行时出错!\r\n\r\n", then "错误代码：<code>\r\n\r\n" when code != 0, then
// "错误信息：<message>\r\n" when the message is not empty.
std::string composeFatalText(const Text& message, std::int32_t code);

// Shows the stop box, empties the exit hook without running it, runs the
// clean-up and ends the process with status -1.
[[noreturn]] void fatalStop(const Text& message, std::int32_t code);

// The memory rule: "分配 <size> 字节内存失败!" with code 0. Composes its text
// without allocating.
[[noreturn]] void fatalOutOfMemory(std::size_t requested);

}  // namespace vantrelo

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/fatal.h"

namespace vantrelo {
namespace {

// 运行时出错!\r\n\r\n
const std::string kHeading = "\xd4\xcb\xd0\xd0\xca\xb1\xb3\xf6\xb4\xed\x21\r\n\r\n";
const std::string kCodeLabel = "\xb4\xed\xce\xf3\xb4\xfa\xc2\xeb\xa3\xba";     // 错误代码：
const std::string kMessageLabel = "\xb4\xed\xce\xf3\xd0\xc5\xcf\xa2\xa3\xba";  // 错误信息：

TEST(FatalText, ShowsTheCodeAndMessagePartsOnlyWhenGiven) {
    const Text message("\xca\xfd\xd7\xe9");  // 数组
    struct Case {
        Text message;
        std::int32_t code;
        std::string expected;
    };
    const Case cases[] = {
        {message, 4, kHeading + kCodeLabel + "4\r\n\r\n" + kMessageLabel + message.bytes() + "\r\n"},
        {message, 0, kHeading + kMessageLabel + message.bytes() + "\r\n"},
        {Text(), -7, kHeading + kCodeLabel + "-7\r\n\r\n"},
        {Text(), 0, kHeading},
    };
    for (const Case& c : cases) EXPECT_EQ(composeFatalText(c.message, c.code), c.expected) << c.code;
}

// Writes the box text as hex so the death tests can match GBK bytes.
void presentAsHex(const char* text) {
    for (const char* p = text; *p; ++p) std::fprintf(stderr, "%02x", static_cast<unsigned char>(*p));
    std::fprintf(stderr, "\n");
}

std::string hex(const std::string& bytes) {
    std::string out;
    char buf[3];
    for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, "%02x", c);
        out += buf;
    }
    return out;
}

bool g_hookRan = false;
void markHookRan() {
    g_hookRan = true;
    std::fprintf(stderr, "exit hook ran\n");
}

TEST(FatalStop, EndsWithStatusMinusOneWithoutRunningTheExitHook) {
    const std::string expected = hex(composeFatalText(Text("x"), 4));
    EXPECT_EXIT(
        {
            setFatalPresenter(presentAsHex);
            setExitHook(markHookRan);
            fatalStop(Text("x"), 4);
        },
        testing::ExitedWithCode(255), "^" + expected + "\n$");
}

TEST(MemoryRule, FailedRequestStopsWithItsSizeAndNoCode) {
    // 分配 123 字节内存失败!
    const std::string line = "\xb7\xd6\xc5\xe4 123 \xd7\xd6\xbd\xda\xc4\xda\xb4\xe6\xca\xa7\xb0\xdc!";
    EXPECT_EXIT(
        {
            setFatalPresenter(presentAsHex);
            fatalOutOfMemory(123);
        },
        testing::ExitedWithCode(255), "^" + hex(kHeading + kMessageLabel + line + "\r\n") + "\n$");
}

#if !defined(__SANITIZE_ADDRESS__)
TEST(MemoryRule, OperatorNewThatCannotBeMetStopsTheProgram) {
    // The sanitizer's allocator reports such a request itself, so this runs in
    // the plain build only.
    volatile std::size_t huge = std::size_t(1) << 60;
    EXPECT_EXIT(
        {
            setFatalPresenter(presentAsHex);
            char* p = new char[huge];
            p[0] = 1;
        },
        testing::ExitedWithCode(255), hex(" " + std::to_string(std::size_t(1) << 60) + " "));
}
#endif

TEST(ExitHook, RunsOnceAndEmptiesTheSlot) {
    static int runs = 0;
    setExitHook([] { ++runs; });
    runExitHook();
    runExitHook();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(exitHook(), nullptr);
}

}  // namespace
}  // namespace vantrelo

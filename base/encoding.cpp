#include "base/encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace vantrelo {
namespace {

// One converter per direction and thread; opening one costs far more than a
// short conversion, and the preview converts on every keystroke.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter() {
        if (m_cd != reinterpret_cast<iconv_t>(-1)) iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts `in`; an input sequence the codec rejects is replaced by
    // `replacement` (already in the target encoding) and skipped one byte at a time.
    std::string run(std::string_view in, std::string_view replacement) {
        std::string out;
        if (m_cd == reinterpret_cast<iconv_t>(-1)) return out;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        out.resize(in.size() * 4 + 16);
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        std::size_t used = 0;
        while (srcLeft > 0) {
            char* dst = out.data() + used;
            std::size_t dstLeft = out.size() - used;
            const std::size_t r = iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
            used = out.size() - dstLeft;
            if (r != static_cast<std::size_t>(-1)) break;
            if (errno == E2BIG) {
                out.resize(out.size() * 2);
            } else {  // EILSEQ or EINVAL: a bad or cut-off sequence
                if (out.size() - used < replacement.size()) out.resize(out.size() * 2 + replacement.size());
                std::memcpy(out.data() + used, replacement.data(), replacement.size());
                used += replacement.size();
                ++src;
                --srcLeft;
                iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
            }
        }
        out.resize(used);
        return out;
    }

private:
    iconv_t m_cd;
};

Converter& toGb18030() {
    thread_local Converter c("GB18030", "UTF-8");
    return c;
}
Converter& fromGb18030ToUtf8() {
    thread_local Converter c("UTF-8", "GB18030");
    return c;
}
Converter& fromGb18030ToUcs4() {
    thread_local Converter c("UCS-4LE", "GB18030");
    return c;
}

// U+FFFD in each target encoding.
constexpr std::string_view kReplacementGb18030{"\x84\x31\xA4\x37", 4};
constexpr std::string_view kReplacementUtf8{"\xEF\xBF\xBD", 3};
constexpr std::string_view kReplacementUcs4{"\xFD\xFF\x00\x00", 4};

}  // namespace

Text textFromUtf8(std::string_view utf8) {
    std::string out = toGb18030().run(utf8, kReplacementGb18030);
    // A Text is NUL-terminated: an embedded NUL ends it.
    if (auto nul = out.find('\0'); nul != std::string::npos) out.resize(nul);
    return Text(std::move(out));
}

std::string textToUtf8(const Text& text) { return fromGb18030ToUtf8().run(text.bytes(), kReplacementUtf8); }

std::u32string textToCodePoints(const Text& text) {
    const std::string raw = fromGb18030ToUcs4().run(text.bytes(), kReplacementUcs4);
    std::u32string out(raw.size() / 4, U'\0');
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto* b = reinterpret_cast<const unsigned char*>(raw.data() + i * 4);
        out[i] = char32_t(b[0]) | (char32_t(b[1]) << 8) | (char32_t(b[2]) << 16) | (char32_t(b[3]) << 24);
    }
    return out;
}

}  // namespace vantrelo

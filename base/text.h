#pragma once
// The shared value types: Text (GBK bytes), Bytes, Colour.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantrelo {

// A counted block of bytes: encoded pictures, the saved card.
using Bytes = std::vector<std::uint8_t>;

// 0x00BBGGRR, red in the low byte.
using Colour = std::uint32_t;
// Not a colour: as a background colour the platform's face colour, as a text
// background "transparent".
inline constexpr Colour kColourMarker = 0xFF000000u;

constexpr Colour rgbColour(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return Colour(r) | (Colour(g) << 8) | (Colour(b) << 16);
}
constexpr std::uint8_t redOf(Colour c) { return std::uint8_t(c & 0xFF); }
constexpr std::uint8_t greenOf(Colour c) { return std::uint8_t((c >> 8) & 0xFF); }
constexpr std::uint8_t blueOf(Colour c) { return std::uint8_t((c >> 16) & 0xFF); }

// A byte string in GBK (code page 936). An absent text is the empty text.
// Comparison is byte-wise on unsigned bytes and knows nothing of characters.
class Text {
public:
    Text() = default;
    Text(const char* bytes) : m_bytes(bytes ? bytes : "") {}  // NOLINT: implicit on purpose
    explicit Text(std::string bytes) : m_bytes(std::move(bytes)) {}
    explicit Text(std::string_view bytes) : m_bytes(bytes) {}

    // Signed decimal, no padding or grouping.
    static Text number(std::int64_t value);

    const std::string& bytes() const { return m_bytes; }
    const char* c_str() const { return m_bytes.c_str(); }
    std::size_t size() const { return m_bytes.size(); }
    bool empty() const { return m_bytes.empty(); }
    unsigned char at(std::size_t i) const { return static_cast<unsigned char>(m_bytes[i]); }

    // -1, 0 or +1, as the C library's string comparison orders them.
    int compare(const Text& other) const;

    friend Text operator+(const Text& a, const Text& b) { return Text(a.m_bytes + b.m_bytes); }
    Text& operator+=(const Text& b) {
        m_bytes += b.m_bytes;
        return *this;
    }
    friend bool operator==(const Text& a, const Text& b) { return a.m_bytes == b.m_bytes; }

private:
    std::string m_bytes;
};

}  // namespace vantrelo

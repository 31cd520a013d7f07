#pragma once
// Small helpers shared by the card tests.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "base/text.h"
#include "graphics/canvas.h"

namespace vantrelo::testing_support {

// A 24-bit BMP whose pixel (x, y) is colourAt(x, y) as 0xRRGGBB.
inline Bytes makeBmp(int width, int height, const std::function<std::uint32_t(int, int)>& colourAt) {
    const int row = (width * 3 + 3) / 4 * 4;
    const std::uint32_t fileSize = 54 + std::uint32_t(row) * height;
    Bytes b(fileSize, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = std::uint8_t(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, fileSize);
    put32(10, 54);
    put32(14, 40);
    put32(18, std::uint32_t(width));
    put32(22, std::uint32_t(height));
    b[26] = 1;
    b[28] = 24;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = b.data() + 54 + std::size_t(height - 1 - y) * row;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = colourAt(x, y);
            p[x * 3 + 0] = std::uint8_t(c);
            p[x * 3 + 1] = std::uint8_t(c >> 8);
            p[x * 3 + 2] = std::uint8_t(c >> 16);
        }
    }
    return b;
}

class TempFolder {
public:
    TempFolder() {
        static int serial = 0;
        m_path = std::filesystem::temp_directory_path() /
                 ("vantrelo-card-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~TempFolder() { std::filesystem::remove_all(m_path); }
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path write(const std::string& name, const Bytes& data) const {
        const auto p = m_path / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
        return p;
    }

private:
    std::filesystem::path m_path;
};

// 0xRRGGBB of a backing-image pixel.
inline std::uint32_t rgbAt(const Canvas& c, int x, int y) { return c.backingImage()->at(x, y) & 0xFFFFFF; }

}  // namespace vantrelo::testing_support

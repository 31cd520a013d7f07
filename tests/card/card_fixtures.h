#pragma once
// Small helpers shared by the card tests.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "base/text.h"
#include "graphics/bmp_writer.h"
#include "graphics/canvas.h"

namespace vantrelo::testing_support {

// A 24-bit BMP whose pixel (x, y) is colourAt(x, y) as 0xRRGGBB.
inline Bytes makeBmp(int width, int height, const std::function<std::uint32_t(int, int)>& colourAt) {
    PixelImage picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.resize(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) picture.pixels[std::size_t(y) * width + x] = 0xFF000000u | colourAt(x, y);
    return encodeBmp24(picture);
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

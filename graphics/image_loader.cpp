// loadImage: the kind from the first six bytes, one decoder per kind, and the
// set of live handles.
#include "graphics/image_loader.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>

#include "base/encoding.h"
#include "graphics/limits.h"

namespace vantrelo {

namespace {

constexpr std::size_t kSniffBytes = 6;
// Bytes carry a 32-bit signed length; no accepted picture needs a larger file.
constexpr std::uint64_t kMaxFileBytes = 0x7FFFFFFF;
// Above this a file is mapped instead of copied: the largest pictures the
// limits allow are raw bitmaps of hundreds of megabytes.
constexpr std::uint64_t kMapThreshold = 16u << 20;

bool isBmp(ByteSpan h) { return h[0] == 0x42 && h[1] == 0x4D; }
bool isJpeg(ByteSpan h) { return h[0] == 0xFF && h[1] == 0xD8; }
bool isIconOf(ByteSpan h, std::uint8_t type) {
    return h[0] == 0 && h[1] == 0 && h[2] == type && h[3] == 0 && (h[4] | h[5]) != 0;
}
bool isIcon(ByteSpan h) { return isIconOf(h, 1); }
bool isCursor(ByteSpan h) { return isIconOf(h, 2); }
bool isGif(ByteSpan h) {
    return std::memcmp(h.data(), "GIF87a", 6) == 0 || std::memcmp(h.data(), "GIF89a", 6) == 0;
}
bool isPcx8(ByteSpan h) { return h[0] == 0x0A && h[1] <= 5 && h[2] == 0x01 && h[3] == 0x08; }
bool isPcx1(ByteSpan h) { return h[0] == 0x0A && h[1] == 0x03 && h[2] == 0x01 && h[3] == 0x01; }

bool viaJpeg(ByteSpan d, Image& out, const DecodeOptions& o) { return decodeJpeg(d, out, o); }
bool viaBmp(ByteSpan d, Image& out, const DecodeOptions& o) { return decodeBmp(d, out, o); }
bool viaIcon(ByteSpan d, Image& out, const DecodeOptions&) { return decodeIcon(d, out); }
bool viaGif(ByteSpan d, Image& out, const DecodeOptions&) { return decodeGif(d, out); }
bool viaPcx(ByteSpan d, Image& out, const DecodeOptions&) { return decodePcx(d, out); }

struct KindEntry {
    ImageKind kind;
    bool (*matches)(ByteSpan head);
    bool (*decode)(ByteSpan data, Image& out, const DecodeOptions& options);
};

// Tried in this order; the first whose signature matches decides the kind.
constexpr KindEntry kKinds[] = {
    {ImageKind::Bmp, isBmp, viaBmp},     {ImageKind::Jpeg, isJpeg, viaJpeg},
    {ImageKind::Icon, isIcon, viaIcon},  {ImageKind::Cursor, isCursor, viaIcon},
    {ImageKind::Gif, isGif, viaGif},     {ImageKind::Pcx8, isPcx8, viaPcx},
    {ImageKind::Pcx1, isPcx1, viaPcx},
};

const KindEntry* entryFor(ByteSpan data) {
    if (data.size() < kSniffBytes) return nullptr;
    const ByteSpan head = data.first(kSniffBytes);
    for (const KindEntry& entry : kKinds) {
        if (entry.matches(head)) return &entry;
    }
    return nullptr;
}

class LiveImages {
public:
    ImageHandle add(std::unique_ptr<Image> image) {
        ImageHandle handle = m_next;
        while (handle == 0 || m_images.count(handle) != 0) ++handle;  // 0 names no picture
        m_next = handle + 1;
        m_images.emplace(handle, std::move(image));
        return handle;
    }
    void remove(ImageHandle handle) { m_images.erase(handle); }
    const Image* find(ImageHandle handle) const {
        const auto it = m_images.find(handle);
        return it == m_images.end() ? nullptr : it->second.get();
    }
    std::size_t size() const { return m_images.size(); }

private:
    std::unordered_map<ImageHandle, std::unique_ptr<Image>> m_images;
    ImageHandle m_next = 1;
};

LiveImages& liveImages() {
    static LiveImages images;
    return images;
}

// The contents of a regular file: copied when small, mapped when large.
class FileContents {
public:
    FileContents() = default;
    FileContents(const FileContents&) = delete;
    FileContents& operator=(const FileContents&) = delete;
    ~FileContents() {
        if (m_mapping != nullptr) munmap(m_mapping, m_mappedBytes);
    }

    bool open(const std::string& path) {
        // Non-blocking so that a FIFO named as a picture cannot hang the open;
        // it has no effect on regular files.
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) return false;
        const bool read = readFrom(fd);
        ::close(fd);
        return read;
    }

    const struct stat& info() const { return m_info; }

    ByteSpan bytes() const {
        if (m_mapping != nullptr) return {static_cast<const std::uint8_t*>(m_mapping), m_mappedBytes};
        return m_copy;
    }

private:
    bool readFrom(int fd) {
        struct stat info {};
        if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;  // folders, devices, pipes
        m_info = info;
        if (info.st_size <= 0 || std::uint64_t(info.st_size) > kMaxFileBytes) return false;
        const std::size_t size = std::size_t(info.st_size);
        if (size >= kMapThreshold) {
            void* mapping = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
            if (mapping == MAP_FAILED) return false;
            m_mapping = mapping;
            m_mappedBytes = size;
            return true;
        }
        m_copy.resize(size);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t got = ::read(fd, m_copy.data() + done, size - done);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return false;
            if (got == 0) break;  // the file shrank meanwhile: keep what is there
            done += std::size_t(got);
        }
        m_copy.resize(done);
        return done > 0;
    }

    Bytes m_copy;
    struct stat m_info {};
    void* m_mapping = nullptr;
    std::size_t m_mappedBytes = 0;
};

// A decoder's result must be a whole picture before it gets a handle.
bool wellFormed(const Image& image) {
    if (!imageSizeAllowed(image.width, image.height)) return false;
    const std::size_t pixels = std::size_t(image.width) * std::size_t(image.height);
    return image.rgb.size() == pixels * 3 && (image.alpha.empty() || image.alpha.size() == pixels);
}

// The file-system name of a Text path; empty for an empty path or one whose
// embedded NUL would silently name a different file.
std::string systemPathOf(const Text& path) {
    if (path.empty()) return {};
    std::string systemPath = textToUtf8(path);
    if (systemPath.find('\0') != std::string::npos) return {};
    return systemPath;
}

FileIdentity identityOf(const struct stat& info) {
    FileIdentity id;
    id.device = std::uint64_t(info.st_dev);
    id.inode = std::uint64_t(info.st_ino);
    id.size = std::int64_t(info.st_size);
    id.modifiedNs = std::int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    id.changedNs = std::int64_t(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    return id;
}

ImageHandle loadFrom(ByteSpan data) {
    auto image = std::make_unique<Image>();
    if (!decodeImage(data, *image)) return 0;
    return liveImages().add(std::move(image));
}

}  // namespace

std::optional<ImageKind> sniffImageKind(ByteSpan data) {
    const KindEntry* entry = entryFor(data);
    if (entry == nullptr) return std::nullopt;
    return entry->kind;
}

bool decodeImage(ByteSpan data, Image& out, const DecodeOptions& options) {
    const KindEntry* entry = entryFor(data);
    if (entry == nullptr) return false;
    Image image;
    if (!entry->decode(data, image, options) || !wellFormed(image)) return false;
    // The decoder tells icon from cursor and the two PCX kinds by the same
    // bytes the signature looked at; anything else would be a decoder fault.
    if (image.kind != entry->kind) return false;
    out = std::move(image);
    return true;
}

ImageHandle loadImage(const Bytes& data) {
    if (data.empty()) return 0;
    return loadFrom(data);
}

ImageHandle loadImage(const Text& path) {
    auto image = std::make_unique<Image>();
    if (!decodeFile(path, *image)) return 0;
    return liveImages().add(std::move(image));
}

bool decodeFile(const Text& path, Image& out, const DecodeOptions& options, FileIdentity* identity) {
    const std::string systemPath = systemPathOf(path);
    if (systemPath.empty()) return false;
    FileContents contents;
    if (!contents.open(systemPath)) return false;
    if (identity) *identity = identityOf(contents.info());
    return decodeImage(contents.bytes(), out, options);
}

std::optional<FileIdentity> fileIdentity(const Text& path) {
    const std::string systemPath = systemPathOf(path);
    struct stat info {};
    if (systemPath.empty() || ::stat(systemPath.c_str(), &info) != 0) return std::nullopt;
    return identityOf(info);
}

ImageHandle adoptImage(Image image) {
    if (!wellFormed(image)) return 0;
    return liveImages().add(std::make_unique<Image>(std::move(image)));
}

void unloadImage(ImageHandle handle) { liveImages().remove(handle); }

const Image* findImage(ImageHandle handle) { return liveImages().find(handle); }

std::size_t liveImageCount() { return liveImages().size(); }

}  // namespace vantrelo

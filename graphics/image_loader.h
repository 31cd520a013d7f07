#pragma once
// loadImage / unloadImage and the set of live handles. Every failure gives the
// handle 0 and shows nothing.
#include <cstdint>
#include <optional>

#include "base/text.h"
#include "graphics/decoders/decoders.h"
#include "graphics/image.h"

namespace vantrelo {

using ImageHandle = std::uint32_t;  // 0 names no picture

// The kind a picture's first six bytes announce, in the order the loader tries them.
std::optional<ImageKind> sniffImageKind(ByteSpan data);

// Decodes data of any supported kind into `out`; false when it is no picture.
bool decodeImage(ByteSpan data, Image& out, const DecodeOptions& options = {});

ImageHandle loadImage(const Bytes& data);
ImageHandle loadImage(const Text& path);
void unloadImage(ImageHandle handle);

// The live picture named by handle, or nullptr when the handle is not live.
const Image* findImage(ImageHandle handle);

// Number of live handles (for tests: at rest none is loaded).
std::size_t liveImageCount();

// Adds an already decoded picture to the live set; 0 when it is not a whole picture.
ImageHandle adoptImage(Image image);

// What tells one version of a file from another: a replaced or rewritten file
// differs in at least one of these.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the file at path as it is now; nothing when it cannot be read.
std::optional<FileIdentity> fileIdentity(const Text& path);

// Opens and decodes the picture file at path the way loadImage does, passing
// options to the decoder; identity, when given, receives the identity of the
// file that was read.
bool decodeFile(const Text& path, Image& out, const DecodeOptions& options = {}, FileIdentity* identity = nullptr);

}  // namespace vantrelo

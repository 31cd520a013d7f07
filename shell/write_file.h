#pragma once
// Writing the saved card to disk so that a failed save never costs the user a
// file: the data goes to a new file beside the chosen one and replaces it only
// when all of it is on disk.
#include <initializer_list>
#include <span>

#include "base/file_write.h"
#include "base/text.h"

namespace vantrelo {

// Errors of writeFile besides errno values (WriteResult::error).
inline constexpr int kWriteErrorNoData = -1;     // the blocks hold no bytes at all
inline constexpr int kWriteErrorNotAFile = -2;   // the name is that of a device, a pipe or the like

// Writes the blocks one after another (empty blocks are skipped) to the file at
// path (GBK), creating it or replacing it whole. An empty path, or blocks that
// hold no bytes at all, fail and touch nothing. A write that fails leaves an
// existing file as it was and creates none. A replaced file keeps its
// permissions (and, where allowed, its owner); a symbolic link is followed and
// the file it names is replaced. When the folder takes no new files but the
// existing file may be written, the file is rewritten in place, with the old
// contents put back should that fail.
WriteResult writeFile(const Text& path, std::span<const Bytes> blocks);
inline WriteResult writeFile(const Text& path, std::initializer_list<Bytes> blocks) {
    return writeFile(path, std::span<const Bytes>(blocks.begin(), blocks.size()));
}

// Why a write failed, in words for the user (GBK).
Text writeErrorText(int error);

}  // namespace vantrelo

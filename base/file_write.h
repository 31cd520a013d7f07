#pragma once
// Writing a whole file so that a failure never leaves a half-written or emptied
// file behind: the data goes to a new temporary file in the same folder, which
// replaces the target only once all of it is written and closed.
#include <span>
#include <string>

#include "base/text.h"

namespace vantrelo {

struct WriteResult {
    bool ok = false;
    int error = 0;  // errno of the step that failed
};

enum class InPlaceFallback { Allowed, Forbidden };
// Each file is flushed to the disk before it replaces the old one, unless the
// caller writes many and flushes them all at once at the end (syncFolder).
enum class FlushEach { Yes, No };

// path is a file-system path (UTF-8). When no temporary file can be made in the
// folder and the fallback is allowed, the file is written in place.
WriteResult writeFileReplacing(const std::string& path, std::span<const Bytes> blocks,
                               InPlaceFallback fallback = InPlaceFallback::Allowed, FlushEach flush = FlushEach::Yes);

// Flushes everything written to the file system that holds folder.
bool syncFolder(const std::string& folder);

}  // namespace vantrelo

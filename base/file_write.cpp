#include "base/file_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace vantrelo {
namespace {

bool writeAll(int fd, std::span<const Bytes> blocks, int& error) {
    for (const Bytes& block : blocks) {
        std::size_t done = 0;
        while (done < block.size()) {
            const ssize_t n = ::write(fd, block.data() + done, block.size() - done);
            if (n < 0) {
                if (errno == EINTR) continue;
                error = errno;
                return false;
            }
            done += std::size_t(n);
        }
    }
    return true;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

WriteResult writeFileReplacing(const std::string& path, std::span<const Bytes> blocks, InPlaceFallback fallback,
                               FlushEach flush) {
    WriteResult result;
    if (path.empty()) {
        result.error = ENOENT;
        return result;
    }
    struct stat target {};
    const bool targetExists = ::stat(path.c_str(), &target) == 0;
    if (targetExists && S_ISDIR(target.st_mode)) {
        result.error = EISDIR;
        return result;
    }

    std::string temp = folderOf(path) + "/.vantrelo-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        const int mkstempError = errno;
        if (fallback == InPlaceFallback::Forbidden || mkstempError == ENOENT || mkstempError == ENOTDIR) {
            result.error = mkstempError;
            return result;
        }
        // The folder does not let us create files; the target itself may still be writable.
        const int direct = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (direct < 0) {
            result.error = errno;
            return result;
        }
        const bool written = writeAll(direct, blocks, result.error);
        if (::close(direct) != 0 && written) result.error = errno;
        result.ok = written && result.error == 0;
        return result;
    }
    // A new card gets the usual permissions; a replaced file keeps its own.
    if (targetExists) {
        ::fchmod(fd, target.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    bool ok = writeAll(fd, blocks, result.error);
    if (ok && flush == FlushEach::Yes && ::fsync(fd) != 0) {
        result.error = errno;
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        result.error = errno;
        ok = false;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        result.error = errno;
        ok = false;
    }
    if (!ok) ::unlink(temp.c_str());
    result.ok = ok;
    return result;
}

bool syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::syncfs(fd) == 0;
    ::close(fd);
    return ok;
}

}  // namespace vantrelo

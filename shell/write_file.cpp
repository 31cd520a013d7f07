#include "shell/write_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/encoding.h"

namespace vantrelo {
namespace {

bool writeAll(int fd, const std::uint8_t* data, std::size_t size, off_t offset) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        size -= std::size_t(n);
        offset += n;
    }
    return true;
}

bool writeBlocks(int fd, std::span<const Bytes> blocks) {
    off_t offset = 0;
    for (const Bytes& block : blocks) {
        if (block.empty()) continue;
        if (!writeAll(fd, block.data(), block.size(), offset)) return false;
        offset += off_t(block.size());
    }
    return true;
}

bool readAll(int fd, std::vector<std::uint8_t>& out, std::size_t size) {
    out.resize(size);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, out.data() + got, size - got, off_t(got));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;  // shorter than fstat said: keep what is there
        got += std::size_t(n);
    }
    out.resize(got);
    return true;
}

// For a folder that takes no new files: writes over the existing file, first
// making room for the new contents so that a full disk is found before a byte
// of the old ones is lost, and putting the old contents back if writing fails.
WriteResult writeInPlace(const std::string& name, std::span<const Bytes> blocks, std::size_t total) {
    const int fd = ::open(name.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return {false, errno};
    struct stat st {};
    std::vector<std::uint8_t> old;
    if (::fstat(fd, &st) != 0 || !readAll(fd, old, std::size_t(st.st_size))) {
        const int e = errno;
        ::close(fd);
        return {false, e};
    }
    if (total > old.size()) {
        const int e = ::posix_fallocate(fd, 0, off_t(total));
        if (e != 0 && e != EOPNOTSUPP && e != EINVAL) {
            (void)::ftruncate(fd, off_t(old.size()));
            ::close(fd);
            return {false, e};
        }
    }
    if (!writeBlocks(fd, blocks) || ::ftruncate(fd, off_t(total)) != 0 || ::fsync(fd) != 0) {
        const int e = errno;
        (void)writeAll(fd, old.data(), old.size(), 0);
        (void)::ftruncate(fd, off_t(old.size()));
        (void)::fsync(fd);
        ::close(fd);
        return {false, e};
    }
    if (::close(fd) != 0) return {false, errno};
    return {true, 0};
}

}  // namespace

WriteResult writeFile(const Text& path, std::span<const Bytes> blocks) {
    if (path.empty()) return {false, ENOENT};
    std::size_t total = 0;
    for (const Bytes& block : blocks) total += block.size();
    if (total == 0) return {false, kWriteErrorNoData};

    std::string name = textToUtf8(path);
    if (name.find('\0') != std::string::npos) return {false, EINVAL};

    // A link is followed, so the file it names gets the card and the link stays.
    struct stat st {};
    if (::lstat(name.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(name.c_str(), nullptr)) {
            name = real;
            std::free(real);
        }
    }
    bool exists = false;
    if (::stat(name.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return {false, EISDIR};
        if (!S_ISREG(st.st_mode)) return {false, kWriteErrorNotAFile};
        exists = true;
    } else if (errno != ENOENT) {
        return {false, errno};
    }

    if (!name.empty() && name.back() == '/') return {false, EISDIR};

    WriteResult result = writeFileReplacing(name, blocks, InPlaceFallback::Forbidden);
    // The folder takes no new file (or will not let the old one be replaced),
    // but the file itself may still be writable.
    if (!result.ok && exists && (result.error == EACCES || result.error == EPERM))
        result = writeInPlace(name, blocks, total);
    return result;
}

Text writeErrorText(int error) {
    switch (error) {
    case 0:
        return Text();
    case kWriteErrorNoData:
        return Text("\xC3\xBB\xD3\xD0\xBF\xC9\xB1\xA3\xB4\xE6\xB5\xC4\xCD\xBC\xCF\xF1");  // 没有可保存的图像
    case kWriteErrorNotAFile:
        return Text("\xB2\xBB\xCA\xC7\xC6\xD5\xCD\xA8\xCE\xC4\xBC\xFE");  // 不是普通文件
    case EACCES:
    case EPERM:
        return Text("\xC3\xBB\xD3\xD0\xD0\xB4\xC8\xEB\xC8\xA8\xCF\xDE");  // 没有写入权限
    case ENOENT:
    case ENOTDIR:
        return Text("\xCE\xC4\xBC\xFE\xBC\xD0\xB2\xBB\xB4\xE6\xD4\xDA");  // 文件夹不存在
    case ENOSPC:
    case EDQUOT:
        return Text("\xB4\xC5\xC5\xCC\xBF\xD5\xBC\xE4\xB2\xBB\xD7\xE3");  // 磁盘空间不足
    case EROFS:
        return Text("\xB4\xC5\xC5\xCC\xCA\xC7\xD6\xBB\xB6\xC1\xB5\xC4");  // 磁盘是只读的
    case EISDIR:
        return Text("\xCD\xAC\xC3\xFB\xB5\xC4\xCE\xC4\xBC\xFE\xBC\xD0\xD2\xD1\xB4\xE6\xD4\xDA");  // 同名的文件夹已存在
    case ENAMETOOLONG:
        return Text("\xCE\xC4\xBC\xFE\xC3\xFB\xCC\xAB\xB3\xA4");  // 文件名太长
    case ETXTBSY:
    case EBUSY:
        return Text("\xCE\xC4\xBC\xFE\xD5\xFD\xB1\xBB\xCA\xB9\xD3\xC3");  // 文件正被使用
    default:
        return textFromUtf8(std::strerror(error));
    }
}

}  // namespace vantrelo

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/file_write.h"

namespace vantrelo {
namespace {

namespace fs = std::filesystem;

class FileWrite : public testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("vantrelo-write-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    static std::string read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::size_t entries() const { return std::size_t(std::distance(fs::directory_iterator(m_dir), {})); }
    fs::path m_dir;
};

TEST_F(FileWrite, WritesBlocksInOrderSkippingEmptyOnesAndLeavesNoTemporaryFile) {
    const Bytes blocks[] = {{'a', 'b'}, {}, {'c'}};
    const fs::path target = m_dir / "card.bmp";
    ASSERT_TRUE(writeFileReplacing(target.string(), blocks).ok);
    EXPECT_EQ(read(target), "abc");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(FileWrite, ReplacingKeepsThePermissionsOfTheOldFile) {
    const fs::path target = m_dir / "old.bmp";
    std::ofstream(target) << "old";
    ::chmod(target.c_str(), 0640);
    const Bytes block{'n', 'e', 'w'};
    ASSERT_TRUE(writeFileReplacing(target.string(), std::span<const Bytes>(&block, 1)).ok);
    EXPECT_EQ(read(target), "new");
    struct stat st {};
    ::stat(target.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(FileWrite, FailuresSayWhyAndTouchNothing) {
    const Bytes block{'x'};
    const fs::path folder = m_dir / "folder";
    fs::create_directories(folder / "inside");
    std::ofstream(folder / "inside" / "keep") << "keep";
    struct Case {
        std::string path;
        int error;
    };
    const Case cases[] = {
        {"", ENOENT},
        {(m_dir / "missing" / "card.bmp").string(), ENOENT},
        {(folder / "inside").string(), EISDIR},  // the name of a folder
    };
    for (const Case& c : cases) {
        const WriteResult r = writeFileReplacing(c.path, std::span<const Bytes>(&block, 1));
        EXPECT_FALSE(r.ok) << c.path;
        EXPECT_EQ(r.error, c.error) << c.path;
    }
    EXPECT_EQ(read(folder / "inside" / "keep"), "keep");
    EXPECT_EQ(entries(), 1u);
}

}  // namespace
}  // namespace vantrelo

#include "shell/write_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>

namespace vantrelo {
namespace {

namespace fs = std::filesystem;

class WriteFile : public testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("vantrelo-writefile-" + std::to_string(::getpid()) + "-" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        fs::permissions(m_dir, fs::perms::owner_all);
        fs::remove_all(m_dir);
    }
    static std::string read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static void put(const fs::path& p, const std::string& contents) { std::ofstream(p, std::ios::binary) << contents; }
    std::set<std::string> entries() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(m_dir)) names.insert(e.path().filename().string());
        return names;
    }
    static mode_t modeOf(const fs::path& p) {
        struct stat st {};
        ::stat(p.c_str(), &st);
        return st.st_mode & 07777;
    }
    Text at(const std::string& name) const { return Text((m_dir / name).string()); }

    fs::path m_dir;
};

TEST_F(WriteFile, WritesTheBlocksInOrderToANewFileWithTheUsualPermissions) {
    const mode_t mask = ::umask(022);
    const WriteResult r = writeFile(at("card.bmp"), {Bytes{'B', 'M'}, Bytes{}, Bytes{'1', '2', '3'}});
    ::umask(mask);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.error, 0);
    EXPECT_EQ(read(m_dir / "card.bmp"), "BM123");
    EXPECT_EQ(modeOf(m_dir / "card.bmp"), 0644u);
    EXPECT_EQ(entries(), std::set<std::string>{"card.bmp"});  // no temporary file left behind
}

TEST_F(WriteFile, ReplacesAnExistingFileWholeAndKeepsItsPermissions) {
    put(m_dir / "old.bmp", "a much longer old content");
    ::chmod((m_dir / "old.bmp").c_str(), 0640);
    ASSERT_TRUE(writeFile(at("old.bmp"), {Bytes{'n', 'e', 'w'}}).ok);
    EXPECT_EQ(read(m_dir / "old.bmp"), "new");
    EXPECT_EQ(modeOf(m_dir / "old.bmp"), 0640u);
    EXPECT_EQ(entries(), std::set<std::string>{"old.bmp"});
}

TEST_F(WriteFile, FollowsALinkAndReplacesTheFileItNames) {
    fs::create_directories(m_dir / "real");
    put(m_dir / "real" / "card.bmp", "old");
    fs::create_symlink(m_dir / "real" / "card.bmp", m_dir / "link.bmp");
    ASSERT_TRUE(writeFile(at("link.bmp"), {Bytes{'n', 'e', 'w'}}).ok);
    EXPECT_TRUE(fs::is_symlink(m_dir / "link.bmp"));
    EXPECT_EQ(read(m_dir / "real" / "card.bmp"), "new");
}

// Every one of these fails for root too. Nothing may be created, and the file
// that was there stays as it was.
TEST_F(WriteFile, AFailedWriteSaysWhyAndTouchesNothing) {
    put(m_dir / "keep.bmp", "keep");
    put(m_dir / "plain", "a file, not a folder");
    fs::create_directories(m_dir / "folder.bmp" / "inside");
    const Bytes data{'x', 'y'};
    struct Case {
        const char* what;
        Text path;
        std::vector<Bytes> blocks;
        int error;
    };
    const Case cases[] = {
        {"empty path", Text(), {data}, ENOENT},
        {"no blocks", at("keep.bmp"), {}, kWriteErrorNoData},
        {"only empty blocks", at("keep.bmp"), {Bytes{}, Bytes{}}, kWriteErrorNoData},
        {"missing folder", at("missing/card.bmp"), {data}, ENOENT},
        {"parent is a file", at("plain/card.bmp"), {data}, ENOTDIR},
        {"name of a folder", at("folder.bmp"), {data}, EISDIR},
        {"name ends in a slash", at("new/"), {data}, EISDIR},
        {"a device", Text("/dev/null"), {data}, kWriteErrorNotAFile},
    };
    for (const Case& c : cases) {
        const WriteResult r = writeFile(c.path, c.blocks);
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_EQ(r.error, c.error) << c.what;
        EXPECT_FALSE(writeErrorText(r.error).empty()) << c.what;
    }
    EXPECT_EQ(read(m_dir / "keep.bmp"), "keep");
    EXPECT_EQ(entries(), (std::set<std::string>{"keep.bmp", "plain", "folder.bmp"}));
    EXPECT_TRUE(fs::exists(m_dir / "folder.bmp" / "inside"));
}

// Runs body as an ordinary user, so that permissions count even when the tests
// run as root. Returns the child's exit code.
int runWithoutPrivileges(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(100);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

// A folder that takes no new files, holding a file anyone may write: the card
// cannot go through a new file, so the old one is written over.
TEST_F(WriteFile, WritesInPlaceWhenTheFolderTakesNoNewFiles) {
    fs::create_directories(m_dir / "locked");
    put(m_dir / "locked" / "open.bmp", "old contents, longer than the new");
    put(m_dir / "locked" / "shut.bmp", "stays");
    ::chmod((m_dir / "locked" / "open.bmp").c_str(), 0666);
    ::chmod((m_dir / "locked" / "shut.bmp").c_str(), 0444);
    ::chmod((m_dir / "locked").c_str(), 0555);
    ::chmod(m_dir.c_str(), 0755);
    const Text open((m_dir / "locked" / "open.bmp").string());
    const Text shut((m_dir / "locked" / "shut.bmp").string());
    const Text fresh((m_dir / "locked" / "new.bmp").string());

    EXPECT_EQ(runWithoutPrivileges([&] { return writeFile(open, {Bytes{'n', 'e', 'w'}}).ok ? 0 : 1; }), 0);
    EXPECT_EQ(read(m_dir / "locked" / "open.bmp"), "new");

    EXPECT_EQ(runWithoutPrivileges([&] {
                  const WriteResult r = writeFile(shut, {Bytes{'x'}});
                  return !r.ok && r.error == EACCES ? 0 : 1;
              }),
              0);
    EXPECT_EQ(read(m_dir / "locked" / "shut.bmp"), "stays");

    EXPECT_EQ(runWithoutPrivileges([&] {
                  const WriteResult r = writeFile(fresh, {Bytes{'x'}});
                  return !r.ok && r.error == EACCES ? 0 : 1;
              }),
              0);
    EXPECT_FALSE(fs::exists(m_dir / "locked" / "new.bmp"));
    ::chmod((m_dir / "locked").c_str(), 0755);
}

}  // namespace
}  // namespace vantrelo

#include "file_io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace quilso;
namespace fs = std::filesystem;

namespace {

class FileIo : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quilso_io_XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string path(const char* name) const { return (dir / name).string(); }
    static void put(const std::string& name, std::string_view bytes) {
        std::ofstream(name, std::ios::binary) << bytes;
    }
    static std::string get(const std::string& name) {
        std::ifstream in(name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir;
};

using Lines = std::vector<std::string>;

} // namespace

TEST_F(FileIo, LinesEndAtEveryKindOfBreak) {
    static const char bytes[] = "one\r\ntwo\rthree\nfour\n\rsix\r\n\r\n\0x";
    put(path("a.js"), std::string(bytes, sizeof bytes - 1));
    EXPECT_EQ(ReadLines(path("a.js")),
              (Lines{"one", "two", "three", "four", "", "six", "", std::string("\0x", 2)}));
    put(path("b.js"), "");
    EXPECT_TRUE(ReadLines(path("b.js")).empty());
    put(path("c.js"), "\r\n");
    EXPECT_EQ(ReadLines(path("c.js")), (Lines{""}));
    // A CR at the very end is a break, not the first half of a pair that never comes.
    EXPECT_EQ(SplitLines("x\r"), (Lines{"x"}));
    EXPECT_EQ(SplitLines("x\r\r\n"), (Lines{"x", ""}));
}

TEST_F(FileIo, ReadErrorsNameTheFileAndReason) {
    try {
        ReadLines(path("missing.js"));
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_EQ(e.fileName(), path("missing.js"));
        EXPECT_EQ(e.reason(), std::strerror(ENOENT));
    }
    try {
        ReadLines(dir.string());
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_EQ(e.reason(), std::strerror(EISDIR));
    }
}

TEST_F(FileIo, AtomicWriteReplacesContentAndKeepsMode) {
    const std::string target = path("menu.js");
    WriteFileAtomically(target, "first");
    EXPECT_EQ(get(target), "first");
    ::chmod(target.c_str(), 0640);
    const std::string big(300000, 'x');
    WriteFileAtomically(target, big);
    EXPECT_EQ(get(target), big);
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(entries(), (Lines{"menu.js"}));
}

TEST_F(FileIo, FailedWritesLeaveNoTraceAndThrow) {
    // Target is a directory: the temporary file is written, the rename fails.
    fs::create_directory(dir / "sub");
    try {
        WriteFileAtomically(path("sub"), "data");
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_EQ(e.fileName(), path("sub"));
        EXPECT_FALSE(e.reason().empty());
    }
    EXPECT_TRUE(fs::is_directory(dir / "sub"));
    EXPECT_EQ(entries(), (Lines{"sub"}));

    EXPECT_THROW(WriteFileAtomically(path("nodir/x.js"), "data"), FileError);
    put(path("plain"), "p");
    EXPECT_THROW(WriteFileAtomically(path("plain/x.js"), "data"), FileError);
    EXPECT_EQ(get(path("plain")), "p");
    EXPECT_EQ(entries(), (Lines{"plain", "sub"}));
}

TEST_F(FileIo, WriteFailingMidwayKeepsTheOldFile) {
    const std::string target = path("menu.js");
    put(target, "old content");
    // A file-size limit makes write() fail after some bytes, as a full disk would.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    std::string reason;
    try {
        WriteFileAtomically(target, std::string(100000, 'n'));
    } catch (const FileError& e) {
        reason = e.reason();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(reason, std::strerror(EFBIG));
    EXPECT_EQ(get(target), "old content");
    EXPECT_EQ(entries(), (Lines{"menu.js"}));
}

TEST(WriteFileAtomically, PiecesArriveInOrderAndAFailingProducerChangesNothing) {
    const fs::path dir = fs::temp_directory_path() / "quilso_pieces_test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string target = (dir / "menu.js").string();
    WriteFileAtomicallyInPieces(target, [](const PieceSink& write) {
        write("erst");
        write("");
        write(std::string(300000, 'x'));
        write("ende");
    });
    EXPECT_EQ(ReadFileBytes(target), "erst" + std::string(300000, 'x') + "ende");

    WriteFileAtomically(target, "alt");
    EXPECT_THROW(WriteFileAtomicallyInPieces(target,
                                             [](const PieceSink& write) {
                                                 write("halb");
                                                 throw std::runtime_error("abgebrochen");
                                             }),
                 std::runtime_error);
    EXPECT_EQ(ReadFileBytes(target), "alt");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1); // no temporary left
    fs::remove_all(dir);
}

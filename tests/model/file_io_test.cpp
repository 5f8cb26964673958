#include "file_io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
    // Target is a directory: refused before anything is written.
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

// ---- saving keeps what the user's file is ----

namespace {

struct stat statOf(const std::string& name) {
    struct stat info {};
    EXPECT_EQ(::lstat(name.c_str(), &info), 0) << name;
    return info;
}

// Runs `body` in a child process and returns its wait status, for saves that end the process.
template <class F> int inChild(F&& body) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        body();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

std::string messageOf(const std::function<void()>& save, FileProblem& problem) {
    try {
        save();
    } catch (const FileError& e) {
        problem = e.problem();
        return e.what();
    }
    return "no error";
}

} // namespace

TEST_F(FileIo, SavingThroughALinkWritesTheLinkedFileAndKeepsTheLink) {
    fs::create_directory(dir / "site");
    put(path("site/menu.js"), "old");
    fs::create_symlink("site/menu.js", dir / "link.js");
    fs::create_symlink("link.js", dir / "chain.js");
    WriteFileAtomically(path("chain.js"), "new");
    EXPECT_EQ(get(path("site/menu.js")), "new");
    EXPECT_TRUE(fs::is_symlink(dir / "link.js"));
    EXPECT_TRUE(fs::is_symlink(dir / "chain.js"));
    EXPECT_EQ(fs::read_symlink(dir / "chain.js"), "link.js");
    // The temporary file was made beside the linked file; nothing is left in either folder.
    EXPECT_EQ(entries(), (Lines{"chain.js", "link.js", "site"}));
    EXPECT_EQ(fs::directory_iterator(dir / "site")->path().filename(), "menu.js");

    // A link to a file that does not exist yet creates that file.
    fs::create_symlink(dir / "site" / "new.js", dir / "ahead.js");
    WriteFileAtomically(path("ahead.js"), "created");
    EXPECT_TRUE(fs::is_symlink(dir / "ahead.js"));
    EXPECT_EQ(get(path("site/new.js")), "created");

    fs::create_symlink("loop2.js", dir / "loop1.js");
    fs::create_symlink("loop1.js", dir / "loop2.js");
    EXPECT_THROW(WriteFileAtomically(path("loop1.js"), "x"), FileError);
    EXPECT_TRUE(fs::is_symlink(dir / "loop1.js"));
}

TEST_F(FileIo, TargetsThatAreNoPlainFileAreRefused) {
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0644), 0);
    fs::create_symlink("fifo", dir / "to-fifo.js");
    fs::create_directory(dir / "folder");
    FileProblem problem = FileProblem::System;
    for (const char* name : {"fifo", "to-fifo.js", "folder"}) {
        const std::string target = path(name);
        const std::string message = messageOf([&] { WriteFileAtomically(target, "x"); }, problem);
        EXPECT_EQ(problem, FileProblem::NotRegularFile) << name;
        EXPECT_EQ(message, "„" + target + "“ ist keine gewöhnliche Datei.");
    }
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
    EXPECT_TRUE(fs::is_directory(dir / "folder"));
    EXPECT_EQ(entries(), (Lines{"fifo", "folder", "to-fifo.js"}));
}

TEST_F(FileIo, WriteProtectedFilesAreRefusedAndTheirModeAndOwnerKept) {
    const std::string target = path("menu.js");
    put(target, "old");
    ::chmod(target.c_str(), 0444);
    FileProblem problem = FileProblem::System;
    EXPECT_EQ(messageOf([&] { WriteFileAtomically(target, "new"); }, problem),
              "Die Datei „" + target + "“ ist schreibgeschützt.");
    EXPECT_EQ(problem, FileProblem::WriteProtected);
    EXPECT_EQ(get(target), "old");
    EXPECT_EQ(entries(), (Lines{"menu.js"}));

    ::chmod(target.c_str(), 0604);
    // Only a privileged process can give the file away; then the new file must get it back.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
    }
    const struct stat before = statOf(target);
    WriteFileAtomically(target, "new");
    const struct stat after = statOf(target);
    EXPECT_EQ(get(target), "new");
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(entries(), (Lines{"menu.js"}));
}

TEST_F(FileIo, AFileWithSeveralHardLinksIsUpdatedInPlace) {
    const std::string target = path("menu.js");
    put(target, std::string(5000, 'o'));
    ::chmod(target.c_str(), 0640);
    fs::create_directory(dir / "other");
    fs::create_hard_link(target, dir / "other" / "copy.js");
    const struct stat before = statOf(target);
    WriteFileAtomically(target, "shorter");
    const struct stat after = statOf(target);
    EXPECT_EQ(get(target), "shorter");
    EXPECT_EQ(get(path("other/copy.js")), "shorter");
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_nlink, 2u);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    WriteFileAtomically(path("other/copy.js"), std::string(70000, 'l'));
    EXPECT_EQ(get(target), std::string(70000, 'l'));
    EXPECT_EQ(entries(), (Lines{"menu.js", "other"}));
}

// A save that must not overwrite an edit: an edit made before the new content is on disk
// keeps the file as edited, whether the file is replaced by rename or, with a second hard
// link, written in place; the version read through a link is the linked file's.
TEST_F(FileIo, SavingOnlyIfUnchangedKeepsAnEditMadeMeanwhile) {
    for (const bool hardLinked : {false, true}) {
        SCOPED_TRACE(hardLinked ? "in place" : "by rename");
        const std::string target = path("seite.htm");
        put(target, "alt");
        if (hardLinked) fs::create_hard_link(target, dir / "zweiter-name.htm");
        fs::create_symlink("seite.htm", dir / "verweis.htm");
        FileVersion version;
        ASSERT_EQ(ReadFileBytes(path("verweis.htm"), version), "alt");
        FileProblem problem = FileProblem::System;
        const std::string message = messageOf(
            [&] {
                WriteFileAtomicallyInPieces(
                    path("verweis.htm"),
                    [&](const PieceSink& write) {
                        std::ofstream(target, std::ios::binary | std::ios::app) << " bearbeitet";
                        write("neu");
                    },
                    &version);
            },
            problem);
        EXPECT_EQ(problem, FileProblem::ChangedMeanwhile);
        EXPECT_EQ(message, "Die Datei „" + path("verweis.htm") + "“ wurde inzwischen geändert.");
        EXPECT_EQ(get(target), "alt bearbeitet");

        // Unchanged since it was read: saved as always.
        ASSERT_EQ(ReadFileBytes(target, version), "alt bearbeitet");
        WriteFileAtomically(path("verweis.htm"), "neu", &version);
        EXPECT_EQ(get(target), "neu");
        EXPECT_TRUE(fs::is_symlink(dir / "verweis.htm"));
        EXPECT_EQ(entries(), hardLinked ? (Lines{"seite.htm", "verweis.htm", "zweiter-name.htm"})
                                        : (Lines{"seite.htm", "verweis.htm"}));
        fs::remove(dir / "verweis.htm");
        fs::remove(dir / "zweiter-name.htm");
    }
}

TEST_F(FileIo, AFileThatCannotBeGivenBackToItsOwnerIsUpdatedInPlace) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs to switch to another user";
    // Group-writable for an unprivileged user, who could not make a new file belong to root.
    const std::string target = path("menu.js");
    put(target, "old");
    ASSERT_EQ(::chown(target.c_str(), 0, 65534), 0);
    ::chmod(target.c_str(), 0664);
    put(path("theirs.js"), "theirs");
    ::chmod(path("theirs.js").c_str(), 0644);
    ::chmod(dir.c_str(), 0777);
    const struct stat before = statOf(target);
    const int status = inChild([&] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(5);
        WriteFileAtomically(target, "by nobody");
        FileProblem problem = FileProblem::System;
        messageOf([&] { WriteFileAtomically(path("theirs.js"), "mine"); }, problem);
        ::_exit(problem == FileProblem::WriteProtected ? 0 : 6);
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const struct stat after = statOf(target);
    EXPECT_EQ(get(target), "by nobody");
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_uid, 0u);
    EXPECT_EQ(after.st_gid, 65534u);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(get(path("theirs.js")), "theirs");
    EXPECT_EQ(entries(), (Lines{"menu.js", "theirs.js"}));
}

TEST_F(FileIo, SignalsDuringASaveLeaveNoTemporaryFile) {
    const std::string target = path("menu.js");
    put(target, "old");
    for (const int signal : {SIGTERM, SIGINT}) {
        const int status = inChild([&] {
            WriteFileAtomicallyInPieces(target, [&](const PieceSink& write) {
                write("half of it");
                ::kill(::getpid(), signal);
                write("the rest");
            });
        });
        ASSERT_TRUE(WIFSIGNALED(status)) << signal;
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_EQ(entries(), (Lines{"menu.js"})) << signal;
        EXPECT_EQ(get(target), "old");
    }

    // A file-size limit is a write error, not the end of the process.
    const int status = inChild([&] {
        rlimit limited{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limited);
        try {
            WriteFileAtomically(target, std::string(100000, 'n'));
        } catch (const FileError& e) {
            ::_exit(e.reason() == std::strerror(EFBIG) ? 3 : 4);
        }
    });
    ASSERT_TRUE(WIFEXITED(status)) << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 3);
    EXPECT_EQ(entries(), (Lines{"menu.js"}));
    EXPECT_EQ(get(target), "old");
}

TEST_F(FileIo, AlreadyLeftTemporaryFilesGoWithTheNextSaveOfTheirTarget) {
    const std::string target = path("menu.js");
    put(target, "old");
    put(path("other.js"), "other");
    // SIGKILL cannot be answered, so these saves leave their temporary files behind.
    for (const std::string& name : {target, target, path("other.js")}) {
        const int status = inChild([&] {
            WriteFileAtomicallyInPieces(name, [&](const PieceSink& write) {
                write("half");
                ::kill(::getpid(), SIGKILL);
            });
        });
        ASSERT_TRUE(WIFSIGNALED(status));
    }
    ASSERT_EQ(entries().size(), 5u);
    Lines othersLeft;
    for (const std::string& name : entries())
        if (name.find("other.js") != std::string::npos && name != "other.js") othersLeft.push_back(name);
    ASSERT_EQ(othersLeft.size(), 1u);
    // Names of other programs stay whatever they look like.
    put(path(".menu.js.AbC123"), "someone else's");
    put(path("menu.js~"), "backup");

    // A save still running in another process keeps its temporary file.
    int toChild[2], fromChild[2];
    ASSERT_EQ(::pipe(toChild), 0);
    ASSERT_EQ(::pipe(fromChild), 0);
    std::fflush(nullptr);
    const pid_t running = ::fork();
    if (running == 0) {
        WriteFileAtomicallyInPieces(target, [&](const PieceSink& write) {
            write("from the other process");
            char c = 0;
            (void)!::write(fromChild[1], "w", 1);
            (void)!::read(toChild[0], &c, 1);
        });
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(fromChild[0], &c, 1), 1);
    WriteFileAtomically(target, "new");
    EXPECT_EQ(get(target), "new");
    const Lines afterSave = entries();
    ASSERT_EQ(::write(toChild[1], "g", 1), 1);
    int status = 0;
    ::waitpid(running, &status, 0);
    for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]})
        ::close(fd);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(get(target), "from the other process");

    // The two dead saves' files are gone, the running save's one was there until it finished.
    Lines expected{".menu.js.AbC123", "menu.js", "menu.js~", "other.js", othersLeft[0]};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(afterSave.size(), expected.size() + 1);
    EXPECT_EQ(entries(), expected);
}

TEST_F(FileIo, TargetNamesUpToTheNameLimitCanBeSaved) {
    for (std::size_t length = 246; length <= 255; ++length) {
        const std::string name = std::string(length - 3, 'n') + ".js";
        const std::string target = (dir / name).string();
        WriteFileAtomically(target, "content " + std::to_string(length));
        EXPECT_EQ(get(target), "content " + std::to_string(length)) << length;
        WriteFileAtomically(target, "again");
        EXPECT_EQ(get(target), "again");
        fs::remove(target);
        EXPECT_TRUE(entries().empty()) << length;
    }
    // Multi-byte characters are not cut in half in the temporary name.
    std::string umlauts;
    while (umlauts.size() < 250)
        umlauts += "\xC3\xA4";
    WriteFileAtomically((dir / umlauts).string(), "ä");
    EXPECT_EQ(entries(), (Lines{umlauts}));
}

TEST_F(FileIo, ReadingRegularFilesOnlyRefusesPipesAndDevicesAtOnce) {
    ::alarm(20); // a refusal that blocked on the FIFO would otherwise hang here
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0644), 0);
    for (const std::string& name : {path("fifo"), std::string("/dev/null"), dir.string()}) {
        FileProblem problem = FileProblem::System;
        messageOf([&] { ReadFileBytes(name, FileKinds::RegularOnly); }, problem);
        EXPECT_EQ(problem, FileProblem::NotRegularFile) << name;
        problem = FileProblem::System;
        const std::string message = messageOf([&] { RequireRegularFile(name); }, problem);
        EXPECT_EQ(problem, FileProblem::NotRegularFile) << name;
        EXPECT_EQ(message, "„" + name + "“ ist keine gewöhnliche Datei.");
        EXPECT_THROW(::close(OpenForReading(name, FileKinds::RegularOnly)), FileError);
    }
    ::alarm(0);
    put(path("plain.js"), "a\r\nb");
    fs::create_symlink("plain.js", dir / "link.js");
    EXPECT_NO_THROW(RequireRegularFile(path("link.js")));
    EXPECT_EQ(ReadLines(path("link.js"), FileKinds::RegularOnly), (Lines{"a", "b"}));
    EXPECT_EQ(ReadFileBytes("/dev/null"), ""); // anything goes by default
    EXPECT_THROW(RequireRegularFile(path("missing.js")), FileError);
}

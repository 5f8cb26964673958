#include "file_io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
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
        EXPECT_EQ(e.reason(), SystemErrorText(ENOENT));
    }
    try {
        ReadLines(dir.string());
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_EQ(e.reason(), SystemErrorText(EISDIR));
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
    EXPECT_EQ(reason, SystemErrorText(EFBIG));
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

// The value of an extended attribute, or "(none)".
std::string attribute(const std::string& name, const char* key) {
    std::string value(4096, '\0');
    const ssize_t size = ::getxattr(name.c_str(), key, value.data(), value.size());
    if (size < 0) return "(none)";
    value.resize(static_cast<std::size_t>(size));
    return value;
}

// The stored form of a POSIX access list: a version, then tag, permissions and id per entry.
enum : std::uint16_t { AclUserObject = 1, AclUser = 2, AclGroupObject = 4, AclMask = 0x10, AclOther = 0x20 };
constexpr std::uint32_t AclNoId = 0xFFFFFFFF;
struct AclEntry {
    std::uint16_t tag, permissions;
    std::uint32_t id;
};
std::string aclValue(std::initializer_list<AclEntry> entries) {
    std::string value;
    auto add = [&](auto number) { value.append(reinterpret_cast<const char*>(&number), sizeof number); };
    add(std::uint32_t{2});
    for (const AclEntry& entry : entries) {
        add(entry.tag);
        add(entry.permissions);
        add(entry.id);
    }
    return value;
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
            ::_exit(e.reason() == SystemErrorText(EFBIG) ? 3 : 4);
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

// ---- every fault of a save leaves one complete file ----

namespace {

// Runs `body` in a child process as the unprivileged user nobody (a test run by root would
// otherwise pass every permission check), and returns its wait status.
void becomeNobody() {
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(5);
}
template <class F> int asNobody(F&& body) {
    return inChild([&] {
        becomeNobody();
        body();
    });
}

// Starts a save of `bytes` over `target` in a child and sends it `signal` once the save began
// to overwrite the target's own content, after `delayMicros` more; returns the wait status.
template <class F>
int killDuringInPlaceCopy(const std::string& target, const std::string& bytes, int signal, int delayMicros,
                          F&& becomeUser) {
    const int watch = ::inotify_init1(IN_CLOEXEC);
    EXPECT_GE(watch, 0);
    EXPECT_GE(::inotify_add_watch(watch, target.c_str(), IN_MODIFY), 0);
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        becomeUser();
        try {
            WriteFileAtomically(target, bytes);
        } catch (const FileError& e) {
            std::fprintf(stderr, "%s\n", e.what());
            ::_exit(7);
        }
        ::_exit(0);
    }
    pollfd event{watch, POLLIN, 0};
    if (::poll(&event, 1, 20000) == 1) {
        char buffer[4096];
        (void)!::read(watch, buffer, sizeof buffer);
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(delayMicros);
    while (std::chrono::steady_clock::now() < until) {
    }
    ::kill(pid, signal);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(watch);
    return status;
}

void stayUser() {}

} // namespace

TEST_F(FileIo, CleanupSignalsWaitUntilAnInPlaceCopyHasFinished) {
    const std::string target = path("menu.js");
    const std::string before(6 << 20, 'o');
    const std::string after(6 << 20, 'n');
    put(target, before);
    fs::create_hard_link(target, dir / "link.js");
    int trial = 0;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        for (int delay = 0; delay < 2400; delay += 300, ++trial) {
            put(target, before); // in place: the link stays
            const int status = killDuringInPlaceCopy(target, after, signal, delay, stayUser);
            EXPECT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << status;
            EXPECT_TRUE(get(target) == after) << "signal " << signal << ", " << delay << " µs";
            EXPECT_EQ(entries(), (Lines{"link.js", "menu.js"}));
        }
    }
}

namespace {

// Starts `savers` saves of `target` at once, `rounds` times; saver i writes contentOf(i).
// Returns how many saves failed; after each round the file must hold one saver's content.
template <class Content>
int saveAtOnce(const std::string& target, int savers, int rounds, Content contentOf) {
    int failures = 0;
    for (int round = 0; round < rounds; ++round) {
        int start[2];
        EXPECT_EQ(::pipe(start), 0);
        std::fflush(nullptr);
        std::vector<pid_t> children;
        for (int i = 0; i < savers; ++i) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                ::close(start[1]);
                char c;
                (void)!::read(start[0], &c, 1); // all begin together once the pipe closes
                try {
                    WriteFileAtomically(target, contentOf(i));
                } catch (const FileError& e) {
                    std::fprintf(stderr, "%s\n", e.what());
                    ::_exit(1);
                }
                ::_exit(0);
            }
            children.push_back(pid);
        }
        ::close(start[0]);
        ::close(start[1]);
        for (const pid_t pid : children) {
            int status = 0;
            ::waitpid(pid, &status, 0);
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failures;
        }
        std::ifstream in(target, std::ios::binary);
        const std::string now{std::istreambuf_iterator<char>(in), {}};
        bool whole = false;
        for (int i = 0; i < savers; ++i)
            whole = whole || now == contentOf(i);
        EXPECT_TRUE(whole) << "round " << round;
    }
    return failures;
}

} // namespace

TEST_F(FileIo, ConcurrentSavesOfOneFileAllSucceed) {
    const std::string target = path("menu.js");
    put(target, "old");
    const auto small = [](int i) { return "saver " + std::to_string(i); };
    EXPECT_EQ(saveAtOnce(target, 2, 500, small), 0);
    EXPECT_EQ(saveAtOnce(target, 3, 300, small), 0);
    EXPECT_EQ(entries(), (Lines{"menu.js"}));
    // Written in place, they take turns instead of mixing their contents.
    fs::create_hard_link(target, dir / "link.js");
    const auto large = [](int i) { return std::string(std::size_t(200000 + 1000 * i), char('a' + i)); };
    EXPECT_EQ(saveAtOnce(target, 3, 100, large), 0);
    EXPECT_EQ(entries(), (Lines{"link.js", "menu.js"}));
}

TEST_F(FileIo, ExtendedAttributesAndAclsSurviveASave) {
    const std::string target = path("menu.js");
    put(target, "old");
    if (::setxattr(target.c_str(), "user.note", "keepme", 6, 0) != 0)
        GTEST_SKIP() << "the file system refuses user attributes: " << std::strerror(errno);
    // An access list granting user 1 read and write, as setfacl -m u:1:rw writes it.
    const std::string acl = aclValue({{AclUserObject, 6, AclNoId},
                                      {AclUser, 6, 1},
                                      {AclGroupObject, 4, AclNoId},
                                      {AclMask, 6, AclNoId},
                                      {AclOther, 4, AclNoId}});
    ASSERT_EQ(::setxattr(target.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0), 0)
        << std::strerror(errno);
    const struct stat before = statOf(target);
    WriteFileAtomically(target, "new");
    EXPECT_EQ(get(target), "new");
    EXPECT_NE(statOf(target).st_ino, before.st_ino); // replaced, not written in place
    EXPECT_EQ(attribute(target, "user.note"), "keepme");
    EXPECT_EQ(attribute(target, "system.posix_acl_access"), acl);
    EXPECT_EQ(statOf(target).st_mode, before.st_mode);
    EXPECT_EQ(entries(), (Lines{"menu.js"}));
}

TEST_F(FileIo, AnAttributeThatCannotBeCopiedKeepsTheOldFileAndIsNamed) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to set an attribute another user cannot";
    const std::string target = path("menu.js");
    put(target, "old");
    if (::setxattr(target.c_str(), "security.quilso_test", "x", 1, 0) != 0)
        GTEST_SKIP() << "the file system refuses security attributes: " << std::strerror(errno);
    ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
    ::chmod(dir.c_str(), 0777);
    const int status = asNobody([&] {
        FileProblem problem = FileProblem::System;
        const std::string message = messageOf([&] { WriteFileAtomically(target, "new"); }, problem);
        std::fprintf(stderr, "%s\n", message.c_str());
        ::_exit(message.find("„security.quilso_test“") != std::string::npos ? 0 : 6);
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(get(target), "old");
    EXPECT_EQ(attribute(target, "security.quilso_test"), "x");
    EXPECT_EQ(entries(), (Lines{"menu.js"}));
}

TEST_F(FileIo, AWritableFileInAReadOnlyFolderIsWrittenInPlace) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs to switch to another user";
    fs::create_directories(dir / "site");
    fs::create_directories(dir / "state");
    const std::string target = path("site/menu.js");
    put(target, "old");
    ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chown(path("state").c_str(), 65534, 65534), 0);
    ::chmod(path("site").c_str(), 0555);
    ::chmod(dir.c_str(), 0755);
    ::setenv("XDG_STATE_HOME", path("state").c_str(), 1);
    const struct stat before = statOf(target);
    const int status = asNobody([&] {
        try {
            WriteFileAtomically(target, "new by nobody");
        } catch (const FileError& e) {
            std::fprintf(stderr, "%s\n", e.what());
            ::_exit(6);
        }
        ::_exit(0);
    });
    ::unsetenv("XDG_STATE_HOME");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(get(target), "new by nobody");
    EXPECT_EQ(statOf(target).st_ino, before.st_ino);
    ::chmod(path("site").c_str(), 0755);
}

TEST_F(FileIo, TheCompleteCopyOfAnInterruptedSaveIsKeptUntilRestoredOrDiscarded) {
    const std::string target = path("menu.js");
    put(target, "half old, half new");
    // What a save that died while it rewrote the target leaves beside it.
    const std::string copy = path(".menu.js.quilso-complete-Ab12Cd");
    put(copy, "the new content");
    put(path(".menu.js.quilso-Xy34Zw"), "a save that died before it touched the target");
    EXPECT_EQ(FindInterruptedSaveCopy(target), copy);
    FileProblem problem = FileProblem::System;
    EXPECT_EQ(messageOf([&] { WriteFileAtomically(target, "newer"); }, problem),
              "Das Speichern von „" + target +
                  "“ wurde unterbrochen; die Datei ist womöglich unvollständig. Die vollständige Fassung "
                  "liegt in „" +
                  copy + "“.");
    EXPECT_EQ(problem, FileProblem::InterruptedSave);
    EXPECT_THROW(RefuseInterruptedSave(target), FileError);
    EXPECT_EQ(get(target), "half old, half new");
    EXPECT_EQ(get(copy), "the new content");

    // Other files of the folder save as ever, and their sweep leaves the copy alone.
    WriteFileAtomically(path("other.js"), "other");
    EXPECT_EQ(entries(),
              (Lines{".menu.js.quilso-Xy34Zw", ".menu.js.quilso-complete-Ab12Cd", "menu.js", "other.js"}));

    fs::create_hard_link(target, dir / "link.js");
    RestoreInterruptedSaveCopy(target, copy);
    EXPECT_EQ(get(target), "the new content");
    EXPECT_EQ(get(path("link.js")), "the new content");
    EXPECT_EQ(FindInterruptedSaveCopy(target), "");
    EXPECT_EQ(entries(), (Lines{"link.js", "menu.js", "other.js"}));

    put(copy, "older");
    DiscardInterruptedSaveCopy(copy);
    WriteFileAtomically(target, "newer");
    EXPECT_EQ(get(path("link.js")), "newer");
    EXPECT_EQ(entries(), (Lines{"link.js", "menu.js", "other.js"}));
}

TEST_F(FileIo, AKilledInPlaceSaveLeavesTheNewFileOrItsCompleteCopy) {
    const std::string target = path("menu.js");
    const std::string before(6 << 20, 'o');
    const std::string after(6 << 20, 'n');
    put(target, before);
    fs::create_hard_link(target, dir / "link.js");
    int copiesLeft = 0;
    for (int delay = 0; delay < 4800; delay += 300) {
        put(target, before);
        killDuringInPlaceCopy(target, after, SIGKILL, delay, stayUser);
        const std::string copy = FindInterruptedSaveCopy(target);
        if (copy.empty()) {
            EXPECT_TRUE(get(target) == after) << delay << " µs";
            EXPECT_EQ(entries(), (Lines{"link.js", "menu.js"}));
            continue;
        }
        ++copiesLeft;
        EXPECT_TRUE(get(copy) == after) << delay << " µs";
        // The file's other name leads to the same copy while the file is not whole, where the
        // file system keeps attributes.
        if (::setxattr(path("link.js").c_str(), "user.probe", "", 0, 0) == 0) {
            ::removexattr(path("link.js").c_str(), "user.probe");
            const std::string seen = get(path("link.js"));
            EXPECT_TRUE(FindInterruptedSaveCopy(path("link.js")) == copy || seen == after || seen == before);
        }
        FileProblem problem = FileProblem::System;
        messageOf([&] { WriteFileAtomically(target, "x"); }, problem);
        EXPECT_EQ(problem, FileProblem::InterruptedSave);
        RestoreInterruptedSaveCopy(target, copy);
        EXPECT_TRUE(get(path("link.js")) == after);
        EXPECT_EQ(entries(), (Lines{"link.js", "menu.js"}));
    }
    std::printf("%d of 16 killed saves left their complete copy\n", copiesLeft);
}

TEST_F(FileIo, InPlaceSavesInAReadOnlyFolderKeepTheirCopyInTheStateFolder) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs to switch to another user";
    fs::create_directories(dir / "site");
    fs::create_directories(dir / "state");
    const std::string target = path("site/menu.js");
    const std::string before(6 << 20, 'o');
    const std::string after(6 << 20, 'n');
    put(target, before);
    ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chown(path("state").c_str(), 65534, 65534), 0);
    ::chmod(path("site").c_str(), 0555);
    ::chmod(dir.c_str(), 0755);
    ::setenv("XDG_STATE_HOME", path("state").c_str(), 1);
    for (const int signal : {SIGTERM, SIGKILL}) {
        for (int delay = 0; delay < 2400; delay += 600) {
            put(target, before);
            killDuringInPlaceCopy(target, after, signal, delay, becomeNobody);
            const std::string copy = FindInterruptedSaveCopy(target);
            if (!copy.empty()) {
                EXPECT_EQ(signal, SIGKILL);
                EXPECT_EQ(copy.rfind(path("state/quilso/."), 0), 0u) << copy;
                EXPECT_TRUE(get(copy) == after);
                DiscardInterruptedSaveCopy(copy);
            } else {
                EXPECT_TRUE(get(target) == after) << signal << ", " << delay << " µs";
            }
        }
    }
    ::unsetenv("XDG_STATE_HOME");
    EXPECT_TRUE(fs::is_empty(dir / "state" / "quilso"));
    ::chmod(path("site").c_str(), 0755);
}

TEST_F(FileIo, FilesAndPipesRefuseDevicesButReadPipesAndStandardInput) {
    for (const char* device : {"/dev/zero", "/dev/urandom", "/dev/null"}) {
        FileProblem problem = FileProblem::System;
        EXPECT_EQ(messageOf([&] { ReadFileBytes(device, FileKinds::FilesAndPipes); }, problem),
                  std::string("„") + device + "“ ist keine gewöhnliche Datei.");
        EXPECT_EQ(problem, FileProblem::NotRegularFile);
    }
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    ASSERT_EQ(::write(pipe[1], "a\nb", 3), 3);
    ::close(pipe[1]);
    EXPECT_EQ(ReadLines("/proc/self/fd/" + std::to_string(pipe[0]), FileKinds::FilesAndPipes),
              (Lines{"a", "b"}));
    ::close(pipe[0]);
    put(path("plain.js"), "x");
    EXPECT_EQ(ReadFileBytes(path("plain.js"), FileKinds::FilesAndPipes), "x");
    // Standard input is read whatever it is, as the user asked for it.
    const int status = inChild([] {
        const int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, 0);
        try {
            ::_exit(ReadFileBytes("/dev/stdin", FileKinds::FilesAndPipes).empty() ? 0 : 6);
        } catch (const FileError&) {
            ::_exit(7);
        }
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(SystemErrorText, CommonErrorsInGermanTheRestWithTheSystemsText) {
    for (const int error : {ENOSPC, EFBIG, EACCES, EPERM, ENOENT, EROFS, EISDIR, ENOTDIR, EEXIST, EDQUOT, EIO,
                            ENAMETOOLONG, ELOOP, EMFILE, ENOMEM}) {
        const std::string text = SystemErrorText(error);
        EXPECT_NE(text, std::strerror(error));
        EXPECT_EQ(text.find("Systemfehler"), std::string::npos) << text;
    }
    EXPECT_EQ(SystemErrorText(ENOSPC), "Kein Platz mehr auf dem Datenträger");
    EXPECT_EQ(SystemErrorText(EPROTO), std::string("Systemfehler (") + std::strerror(EPROTO) + ")");
}

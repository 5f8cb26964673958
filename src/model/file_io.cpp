#include "file_io.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <new>
#include <pthread.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace quilso {

namespace {

[[noreturn]] void fail(const std::string& fileName, int error) {
    throw FileError(fileName, SystemErrorText(error));
}

[[noreturn]] void failNotRegular(const std::string& fileName) {
    throw FileError(fileName, "keine gewöhnliche Datei", FileProblem::NotRegularFile);
}

const char* const OutOfMemoryReason = "Nicht genug Arbeitsspeicher";
const char* const LineTooLongReason = "Zeile zu lang";

std::string messageFor(const std::string& fileName, const std::string& reason, FileProblem problem) {
    switch (problem) {
    case FileProblem::NotRegularFile:
        return "„" + fileName + "“ ist keine gewöhnliche Datei.";
    case FileProblem::WriteProtected:
        return "Die Datei „" + fileName + "“ ist schreibgeschützt.";
    case FileProblem::InterruptedSave:
        return reason;
    case FileProblem::ChangedMeanwhile:
        return "Die Datei „" + fileName + "“ wurde inzwischen geändert.";
    default:
        return fileName + ": " + reason;
    }
}

// Closes on every path out, so an exception cannot leak the descriptor.
struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
    // Closing can report a deferred write error (NFS and friends), so its result counts.
    int release() {
        const int rc = ::close(fd);
        fd = -1;
        return rc;
    }
};

std::string directoryOf(const std::string& fileName) {
    const auto slash = fileName.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return fileName.substr(0, slash);
}

std::string baseNameOf(const std::string& fileName) {
    const auto slash = fileName.rfind('/');
    return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

FileVersion versionOf(const struct stat& info) {
    FileVersion version;
    version.device = static_cast<std::uint64_t>(info.st_dev);
    version.inode = static_cast<std::uint64_t>(info.st_ino);
    version.size = static_cast<std::int64_t>(info.st_size);
    version.modifiedSeconds = static_cast<std::int64_t>(info.st_mtim.tv_sec);
    version.modifiedNanoseconds = static_cast<std::int64_t>(info.st_mtim.tv_nsec);
    return version;
}

// ---- the target of a save ----

struct Target {
    std::string path; // the file itself, symbolic links followed
    bool exists = false;
    struct stat info {};
};

// Follows symbolic links by hand, since the file a link leads to need not exist yet: saving
// through a link to a new file creates that file.
Target resolveTarget(const std::string& fileName) {
    Target target;
    target.path = fileName;
    for (int hops = 0;; ++hops) {
        if (::lstat(target.path.c_str(), &target.info) != 0) {
            if (errno != ENOENT) fail(fileName, errno);
            return target;
        }
        if (!S_ISLNK(target.info.st_mode)) {
            target.exists = true;
            return target;
        }
        if (hops == 40) fail(fileName, ELOOP);
        std::string link(PATH_MAX, '\0');
        const ssize_t n = ::readlink(target.path.c_str(), link.data(), link.size());
        if (n < 0) fail(fileName, errno);
        if (static_cast<std::size_t>(n) >= link.size()) fail(fileName, ENAMETOOLONG);
        link.resize(static_cast<std::size_t>(n));
        target.path = link.front() == '/' ? link : directoryOf(target.path) + "/" + link;
    }
}

// Write protection is what the user set: no write bit at all counts even for a process that
// could write anyway (root), since renaming over a file needs no permission on the file.
bool isWriteProtected(const Target& target) {
    if ((target.info.st_mode & 0222) == 0) return true;
    return ::access(target.path.c_str(), W_OK) != 0 && errno == EACCES;
}

// ---- temporary files ----

// ".NAME.quilso-XXXXXX": hidden, recognisable as ours, unique by the random end. A long NAME
// is shortened so the whole stays within the name limit of the file system.
// The complete copy of an in-place save is renamed to ".NAME.quilso-complete-XXXXXX" before the
// target is touched: a name no sweep of temporary files matches, so should the save die during
// the copy, the only complete version stays, and the next open or save finds it by its name.
constexpr std::size_t NameLimit = 255;
constexpr std::string_view TempMark = ".quilso-";
constexpr std::string_view CopyMark = ".quilso-complete-";
constexpr std::size_t RandomChars = 6;
// While the copy is written in place, the target itself names its complete copy in this
// attribute (where the file system keeps user attributes), so that every hard link of it leads
// there, not only the name that was saved.
constexpr char CopyAttribute[] = "user.quilso.complete-copy";

std::string namePrefix(const std::string& baseName, std::string_view mark) {
    const std::size_t overhead = 1 + mark.size() + RandomChars;
    std::size_t keep = baseName.size();
    if (keep > NameLimit - overhead) {
        keep = NameLimit - overhead;
        // Never cut a multi-byte character in two.
        while (keep > 0 && (static_cast<unsigned char>(baseName[keep]) & 0xC0) == 0x80)
            --keep;
    }
    return "." + baseName.substr(0, keep) + std::string(mark);
}

bool isRandomChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool isTempOf(std::string_view name, std::string_view prefix) {
    if (name.size() != prefix.size() + RandomChars || !name.starts_with(prefix)) return false;
    for (char c : name.substr(prefix.size()))
        if (!isRandomChar(c)) return false;
    return true;
}

// What a signal handler needs to remove the temporary file: only plain data, set before the
// file exists and cleared once it is renamed or must be kept.
int signalDirFd = -1;
char signalTempName[NameLimit + 1];
volatile std::sig_atomic_t signalTempArmed = 0;

constexpr int CleanupSignals[] = {SIGTERM, SIGINT, SIGHUP};
struct sigaction previousActions[std::size(CleanupSignals)];
bool handlerInstalled[std::size(CleanupSignals)];

extern "C" void removeTempAndResignal(int signal) {
    const int savedErrno = errno;
    if (signalTempArmed) {
        ::unlinkat(signalDirFd, signalTempName, 0);
        signalTempArmed = 0;
    }
    // Then the signal does what it would have done without the save: usually end the process.
    for (std::size_t i = 0; i < std::size(CleanupSignals); ++i)
        if (CleanupSignals[i] == signal) ::sigaction(signal, &previousActions[i], nullptr);
    ::raise(signal);
    errno = savedErrno;
}

// For the time of one save: the cleanup signals remove the temporary file, and a file-size
// limit makes write() fail with EFBIG instead of killing the process with SIGXFSZ.
class SaveSignals {
public:
    SaveSignals() {
        struct sigaction ours {};
        ours.sa_handler = removeTempAndResignal;
        sigemptyset(&ours.sa_mask);
        for (std::size_t i = 0; i < std::size(CleanupSignals); ++i) {
            ::sigaction(CleanupSignals[i], nullptr, &previousActions[i]);
            // An ignored signal stays ignored (a program started with nohup).
            handlerInstalled[i] = previousActions[i].sa_handler != SIG_IGN;
            if (handlerInstalled[i]) ::sigaction(CleanupSignals[i], &ours, nullptr);
        }
        sigset_t fileSize;
        sigemptyset(&fileSize);
        sigaddset(&fileSize, SIGXFSZ);
        ::pthread_sigmask(SIG_BLOCK, &fileSize, &previousMask_);
    }
    ~SaveSignals() {
        disarm();
        // A SIGXFSZ raised by our own writes was answered as EFBIG; drop it before unblocking.
        if (!sigismember(&previousMask_, SIGXFSZ)) {
            sigset_t fileSize;
            sigemptyset(&fileSize);
            sigaddset(&fileSize, SIGXFSZ);
            const timespec now{0, 0};
            while (::sigtimedwait(&fileSize, nullptr, &now) == SIGXFSZ) {
            }
        }
        ::pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
        for (std::size_t i = 0; i < std::size(CleanupSignals); ++i)
            if (handlerInstalled[i]) ::sigaction(CleanupSignals[i], &previousActions[i], nullptr);
    }
    SaveSignals(const SaveSignals&) = delete;
    SaveSignals& operator=(const SaveSignals&) = delete;

    static void arm(int dirFd, const std::string& name) {
        signalDirFd = dirFd;
        std::memcpy(signalTempName, name.c_str(), name.size() + 1);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        signalTempArmed = 1;
    }
    static void disarm() {
        signalTempArmed = 0;
        std::atomic_signal_fence(std::memory_order_seq_cst);
    }

private:
    sigset_t previousMask_{};
};

// Holds SIGTERM, SIGINT and SIGHUP back while it lives; they take effect when it ends.
class HeldSignals {
public:
    HeldSignals() {
        sigset_t cleanup;
        sigemptyset(&cleanup);
        for (int signal : CleanupSignals)
            sigaddset(&cleanup, signal);
        ::pthread_sigmask(SIG_BLOCK, &cleanup, &previous_);
    }
    ~HeldSignals() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;

private:
    sigset_t previous_{};
};

// Creates the temporary file in `dirFd`, holding a lock on it for as long as it is open: a
// later save removes only leftovers nobody holds. -1 with errno set when it cannot.
int createTemp(int dirFd, const std::string& prefix, std::string& name) {
    static constexpr char Chars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device device;
    std::minstd_rand random(device());
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = prefix;
        for (std::size_t i = 0; i < RandomChars; ++i)
            name += Chars[random() % (sizeof Chars - 1)];
        int fd = -1, error = 0;
        {
            // No signal between creating the file and telling the handler about it.
            const HeldSignals held;
            fd = ::openat(dirFd, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            error = errno;
            if (fd >= 0) SaveSignals::arm(dirFd, name);
        }
        if (fd < 0) {
            if (error == EEXIST) continue;
            errno = error;
            return -1;
        }
        // Another save may have taken the new file for a leftover between open and lock. A
        // file system without locks gets no protection, and no leftovers are removed there.
        struct stat info {};
        if (::flock(fd, LOCK_EX) != 0 || (::fstat(fd, &info) == 0 && info.st_nlink > 0)) return fd;
        SaveSignals::disarm();
        ::close(fd);
    }
    errno = EEXIST;
    return -1;
}

// Leftovers of earlier saves of the same target whose process died: a running save holds
// the lock on its file until the file has its final name, a dead one holds none.
void removeLeftovers(int dirFd, const std::string& prefix) {
    const int scanFd = ::dup(dirFd);
    if (scanFd < 0) return;
    DIR* folder = ::fdopendir(scanFd);
    if (!folder) {
        ::close(scanFd);
        return;
    }
    ::rewinddir(folder);
    while (const dirent* entry = ::readdir(folder)) {
        if (!isTempOf(entry->d_name, prefix)) continue;
        Fd file(::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat info {};
        if (file.fd < 0 || ::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) continue;
        if (::flock(file.fd, LOCK_EX | LOCK_NB) != 0) continue;
        // The name may have been taken by a new file since it was opened.
        struct stat now {};
        if (::fstatat(dirFd, entry->d_name, &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_ino == info.st_ino &&
            now.st_dev == info.st_dev)
            ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(folder);
}

// ---- complete copies of in-place saves ----

// Where the temporary copy of a target in a folder the user may not write lives: the user's
// state folder ($XDG_STATE_HOME/quilso, by default ~/.local/state/quilso), named after the
// target's device and inode, which the in-place write keeps. -1 when there is none.
int openStateFolder(bool create, std::string& folderName) {
    std::string base;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && state[0] == '/')
        base = state;
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        base = std::string(home) + "/.local/state";
    else
        return -1;
    folderName = base + "/quilso";
    if (create) {
        for (std::size_t slash = folderName.find('/', 1);; slash = folderName.find('/', slash + 1)) {
            ::mkdir(folderName.substr(0, slash).c_str(), 0700);
            if (slash == std::string::npos) break;
        }
    }
    return ::open(folderName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

std::string stateNameOf(const struct stat& info) {
    return std::to_string(info.st_dev) + "-" + std::to_string(info.st_ino);
}

// Whether `name` in `dirFd` is a copy whose save died (no process holds its lock) other than
// `ignored`.
bool isDeadCopy(int dirFd, const char* name, const struct stat* ignored) {
    Fd file(::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    if (ignored && info.st_dev == ignored->st_dev && info.st_ino == ignored->st_ino) return false;
    if (::flock(file.fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) return false;
    // A save removes its copy while it still holds the lock, so a copy opened just before that
    // is unlocked yet gone: only one that is still linked was left by a save that died.
    return ::fstat(file.fd, &info) == 0 && info.st_nlink > 0;
}

// The name of such a copy in `dirFd` under `prefix`, or "".
std::string deadCopyIn(int dirFd, const std::string& prefix, const struct stat* ignored) {
    const int scanFd = ::dup(dirFd);
    if (scanFd < 0) return {};
    DIR* folder = ::fdopendir(scanFd);
    if (!folder) {
        ::close(scanFd);
        return {};
    }
    ::rewinddir(folder);
    std::string found;
    while (const dirent* entry = ::readdir(folder)) {
        if (!isTempOf(entry->d_name, prefix) || !isDeadCopy(dirFd, entry->d_name, ignored)) continue;
        found = entry->d_name;
        break;
    }
    ::closedir(folder);
    return found;
}

// The copy the target's attribute names, if it is one whose save died.
std::string deadCopyNamedBy(const std::string& targetPath, const struct stat* ignored) {
    char named[PATH_MAX];
    const ssize_t size = ::getxattr(targetPath.c_str(), CopyAttribute, named, sizeof named - 1);
    if (size <= 0) return {};
    std::string copy(named, static_cast<std::size_t>(size));
    const auto slash = copy.rfind('/');
    if (copy.front() != '/' || slash == std::string::npos) return {};
    Fd dir(::open(copy.substr(0, slash).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.fd < 0) return {};
    const std::string name = copy.substr(slash + 1);
    const std::string prefix = name.substr(0, name.size() < RandomChars ? 0 : name.size() - RandomChars);
    if (!prefix.ends_with(CopyMark) || !isTempOf(name, prefix) || !isDeadCopy(dir.fd, name.c_str(), ignored))
        return {};
    return copy;
}

// The complete copy an interrupted in-place save of `target` left, as its attribute names it,
// beside it or in the state folder; "" when there is none.
std::string findCopy(const Target& target, int dirFd, const std::string& dirName,
                     const struct stat* ignored) {
    if (std::string named = deadCopyNamedBy(target.path, ignored); !named.empty()) return named;
    std::string name = deadCopyIn(dirFd, namePrefix(baseNameOf(target.path), CopyMark), ignored);
    if (!name.empty()) return dirName + "/" + name;
    std::string stateName;
    Fd state(openStateFolder(false, stateName));
    if (state.fd < 0) return {};
    name = deadCopyIn(state.fd, namePrefix(stateNameOf(target.info), CopyMark), ignored);
    return name.empty() ? std::string() : stateName + "/" + name;
}

// ---- extended attributes ----

// The names of a file's extended attributes; false with errno set when they cannot be listed.
template <class List> bool attributeNames(List list, std::vector<std::string>& names) {
    names.clear();
    for (int attempt = 0; attempt < 10; ++attempt) {
        const ssize_t size = list(nullptr, 0);
        if (size < 0) return errno == ENOTSUP || errno == ENOSYS; // no attributes on this file system
        std::string buffer(static_cast<std::size_t>(size), '\0');
        const ssize_t got = list(buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == ERANGE) continue; // grew in between
            return false;
        }
        for (std::size_t start = 0; start < static_cast<std::size_t>(got);) {
            const std::size_t end = buffer.find('\0', start);
            names.push_back(buffer.substr(start, end - start));
            start = end + 1;
        }
        return true;
    }
    errno = ERANGE;
    return false;
}

template <class Get> bool attributeValue(Get get, std::string& value) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        const ssize_t size = get(nullptr, 0);
        if (size < 0) return false;
        value.assign(static_cast<std::size_t>(size), '\0');
        const ssize_t got = get(value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<std::size_t>(got));
            return true;
        }
        if (errno != ERANGE) return false;
    }
    errno = ERANGE;
    return false;
}

// Gives the new file the target's extended attributes, POSIX access lists (system.posix_acl_*)
// among them, and drops what it inherited that the target lacks (a folder's default list).
// Throws FileError naming the attribute the new file cannot take.
void copyAttributes(const std::string& fileName, const std::string& from, int toFd) {
    std::vector<std::string> names, own;
    if (!attributeNames([&](char* list, std::size_t size) { return ::listxattr(from.c_str(), list, size); },
                        names))
        fail(fileName, errno);
    const auto refuse = [&](const std::string& name, int error) {
        throw FileError(fileName, "Das erweiterte Attribut „" + name +
                                      "“ lässt sich nicht in die neue Fassung übernehmen (" +
                                      SystemErrorText(error) + "); die Datei bleibt unverändert");
    };
    if (attributeNames([&](char* list, std::size_t size) { return ::flistxattr(toFd, list, size); }, own))
        for (const std::string& name : own)
            if (std::find(names.begin(), names.end(), name) == names.end())
                ::fremovexattr(toFd, name.c_str());
    std::string value, present;
    for (const std::string& name : names) {
        if (name == CopyAttribute) continue; // belongs to the old file's content, not to the file
        if (!attributeValue(
                [&](void* data, std::size_t size) {
                    return ::getxattr(from.c_str(), name.c_str(), data, size);
                },
                value)) {
            if (errno == ENODATA) continue; // removed in between
            refuse(name, errno);
        }
        // A label the system gave the new file already (security.selinux) needs no right to set.
        if (attributeValue(
                [&](void* data, std::size_t size) { return ::fgetxattr(toFd, name.c_str(), data, size); },
                present) &&
            present == value)
            continue;
        if (::fsetxattr(toFd, name.c_str(), value.data(), value.size(), 0) != 0) refuse(name, errno);
    }
}

// The new file gets the old one's owner and group; false when the process may not set them.
bool takeOwnership(int fd, const struct stat& old) {
    if (::fchown(fd, old.st_uid, old.st_gid) == 0) return true;
    struct stat now {};
    return ::fstat(fd, &now) == 0 && now.st_uid == old.st_uid && now.st_gid == old.st_gid;
}

// Copies the flushed temporary file over the target's own content, for targets whose identity
// a rename would lose. Space is claimed first, so a full disk is found before the old content
// is touched.
void writeInPlace(const Target& target, int tempFd, const std::string& fileName, const std::string& keptCopy,
                  bool& touched) {
    Fd file(::open(target.path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC));
    if (file.fd < 0) fail(fileName, errno);
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) fail(fileName, errno);
    if (info.st_dev != target.info.st_dev || info.st_ino != target.info.st_ino) fail(fileName, EAGAIN);
    // Two in-place saves at once would mix their contents; they take turns.
    while (::flock(file.fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    struct stat temp {};
    if (::fstat(tempFd, &temp) != 0) fail(fileName, errno);
    // The file names its complete copy before anything of it changes.
    std::string absoluteCopy = keptCopy;
    if (absoluteCopy.front() != '/') {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd)) absoluteCopy = std::string(cwd) + "/" + keptCopy;
    }
    ::fsetxattr(file.fd, CopyAttribute, absoluteCopy.data(), absoluteCopy.size(), 0);
    const off_t size = temp.st_size;
    if (size > 0 && ::fallocate(file.fd, FALLOC_FL_KEEP_SIZE, 0, size) != 0 && errno != EOPNOTSUPP &&
        errno != ENOSYS) {
        const int error = errno;
        ::fremovexattr(file.fd, CopyAttribute);
        fail(fileName, error);
    }

    // From here on the old content is being overwritten: a failure leaves the complete new
    // content in the temporary file, and the message says where.
    touched = true;
    const auto damaged = [&](int error) {
        throw FileError(fileName, SystemErrorText(error) + "; die neue Fassung liegt vollständig in „" +
                                      keptCopy + "“");
    };
    char chunk[1 << 16];
    off_t offset = 0;
    while (offset < size) {
        const ssize_t n = ::pread(tempFd, chunk, sizeof chunk, offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            damaged(errno);
        }
        if (n == 0) break;
        std::string_view piece(chunk, static_cast<std::size_t>(n));
        while (!piece.empty()) {
            const ssize_t w = ::pwrite(file.fd, piece.data(), piece.size(), offset);
            if (w < 0) {
                if (errno == EINTR) continue;
                damaged(errno);
            }
            piece.remove_prefix(static_cast<std::size_t>(w));
            offset += w;
        }
    }
    if (::ftruncate(file.fd, size) != 0) damaged(errno);
    if (::fsync(file.fd) != 0) damaged(errno);
    ::fremovexattr(file.fd, CopyAttribute);
    if (file.release() != 0) damaged(errno);
}

bool isDevice(const struct stat& info) {
    return S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode);
}

// The names under which a process reads its standard input, a terminal included.
bool isStandardInput(const std::string& fileName) {
    return fileName == "/dev/stdin" || fileName == "/dev/fd/0" || fileName == "/proc/self/fd/0";
}

} // namespace

FileError::FileError(std::string fileName, std::string reason, FileProblem problem)
    : std::runtime_error(messageFor(fileName, reason, problem)), fileName_(std::move(fileName)),
      reason_(std::move(reason)), problem_(problem) {}

FileError FileError::interruptedSave(const std::string& fileName, const std::string& completeCopy) {
    FileError error(fileName,
                    "Das Speichern von „" + fileName +
                        "“ wurde unterbrochen; die Datei ist womöglich unvollständig. Die vollständige "
                        "Fassung liegt in „" +
                        completeCopy + "“.",
                    FileProblem::InterruptedSave);
    error.completeCopy_ = completeCopy;
    return error;
}

std::string SystemErrorText(int error) {
    struct Text {
        int error;
        const char* text;
    };
    static constexpr Text Texts[] = {
        {ENOENT, "Datei oder Verzeichnis nicht gefunden"},
        {EACCES, "Keine Berechtigung"},
        {EPERM, "Vorgang nicht erlaubt"},
        {ENOSPC, "Kein Platz mehr auf dem Datenträger"},
        {EDQUOT, "Speicherkontingent überschritten"},
        {EFBIG, "Datei zu groß"},
        {EROFS, "Dateisystem nur lesbar"},
        {EISDIR, "Ist ein Verzeichnis"},
        {ENOTDIR, "Ein Teil des Pfades ist kein Verzeichnis"},
        {EEXIST, "Datei existiert bereits"},
        {EIO, "Ein-/Ausgabefehler"},
        {ENAMETOOLONG, "Dateiname zu lang"},
        {ELOOP, "Zu viele Ebenen symbolischer Verknüpfungen"},
        {EMFILE, "Zu viele offene Dateien"},
        {ENFILE, "Zu viele offene Dateien im System"},
        {ENOMEM, "Nicht genug Arbeitsspeicher"},
        {EBUSY, "Datei oder Gerät ist belegt"},
        {ETXTBSY, "Datei ist belegt"},
        {EPIPE, "Der Empfänger hat die Verbindung geschlossen"},
        {EAGAIN, "Datei vorübergehend nicht verfügbar"},
        {ENXIO, "Gerät nicht erreichbar"},
        {ENODEV, "Gerät nicht vorhanden"},
        {EXDEV, "Nicht über Dateisystemgrenzen möglich"},
        {EINVAL, "Ungültiger Aufruf"},
        {ENOTSUP, "Vom Dateisystem nicht unterstützt"},
        {ESTALE, "Veralteter Dateiverweis (Netzwerkdateisystem)"},
    };
    for (const Text& text : Texts)
        if (text.error == error) return text.text;
    return std::string("Systemfehler (") + std::strerror(error) + ")";
}

int OpenForReading(const std::string& fileName, FileKinds kinds) {
    if (kinds == FileKinds::FilesAndPipes && !isStandardInput(fileName)) {
        // Opening a device may already do something (a tape rewinds), so it is refused first.
        struct stat info {};
        if (::stat(fileName.c_str(), &info) == 0 && isDevice(info)) failNotRegular(fileName);
        Fd file(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
        if (file.fd < 0) fail(fileName, errno);
        if (::fstat(file.fd, &info) != 0) fail(fileName, errno);
        if (isDevice(info)) failNotRegular(fileName);
        const int fd = file.fd;
        file.fd = -1;
        return fd;
    }
    if (kinds != FileKinds::RegularOnly) {
        const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) fail(fileName, errno);
        return fd;
    }
    // Without O_NONBLOCK opening a FIFO waits for its writer.
    Fd file(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.fd < 0) fail(fileName, errno);
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) fail(fileName, errno);
    if (!S_ISREG(info.st_mode)) failNotRegular(fileName);
    const int flags = ::fcntl(file.fd, F_GETFL);
    if (flags < 0 || ::fcntl(file.fd, F_SETFL, flags & ~O_NONBLOCK) != 0) fail(fileName, errno);
    const int fd = file.fd;
    file.fd = -1;
    return fd;
}

void RequireRegularFile(const std::string& fileName) {
    struct stat info {};
    if (::stat(fileName.c_str(), &info) != 0) fail(fileName, errno);
    if (!S_ISREG(info.st_mode)) failNotRegular(fileName);
}

namespace {

std::string readAll(const std::string& fileName, FileKinds kinds, FileVersion* version) {
    Fd file(OpenForReading(fileName, kinds));
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) fail(fileName, errno);
    std::string bytes;
    try {
        if (S_ISREG(info.st_mode)) bytes.reserve(static_cast<std::size_t>(info.st_size));
        char chunk[1 << 16];
        std::size_t lineSoFar = 0; // bytes since the last line break
        for (;;) {
            const ssize_t n = ::read(file.fd, chunk, sizeof chunk);
            if (n < 0) {
                if (errno == EINTR) continue;
                fail(fileName, errno);
            }
            if (n == 0) break;
            const auto got = static_cast<std::size_t>(n);
            std::size_t tail = got;
            for (std::size_t i = got; i > 0; --i)
                if (chunk[i - 1] == '\n' || chunk[i - 1] == '\r') {
                    tail = got - i;
                    lineSoFar = 0;
                    break;
                }
            lineSoFar += tail;
            if (lineSoFar > MaxLineBytes)
                throw FileError(fileName, LineTooLongReason, FileProblem::LineTooLong);
            bytes.append(chunk, got);
        }
    } catch (const std::bad_alloc&) {
        throw FileError(fileName, OutOfMemoryReason, FileProblem::OutOfMemory);
    }
    if (version) {
        // Bytes read while someone wrote are no version at all: the state after the read must
        // be the one before it, and hold exactly what was read.
        struct stat after {};
        if (::fstat(file.fd, &after) != 0) fail(fileName, errno);
        *version = versionOf(after);
        if (!(versionOf(info) == *version) || version->size != static_cast<std::int64_t>(bytes.size()))
            version->size = -1;
    }
    return bytes;
}

} // namespace

std::string ReadFileBytes(const std::string& fileName, FileKinds kinds) {
    return readAll(fileName, kinds, nullptr);
}

std::string ReadFileBytes(const std::string& fileName, FileVersion& version, FileKinds kinds) {
    return readAll(fileName, kinds, &version);
}

std::vector<std::string> SplitLines(std::string_view bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    const std::size_t size = bytes.size();
    for (std::size_t i = 0; i < size; ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') continue;
        lines.emplace_back(bytes.substr(start, i - start));
        if (c == '\r' && i + 1 < size && bytes[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < size) lines.emplace_back(bytes.substr(start));
    return lines;
}

std::vector<std::string> ReadLines(const std::string& fileName, FileKinds kinds) {
    std::string bytes = ReadFileBytes(fileName, kinds);
    try {
        return SplitLines(bytes);
    } catch (const std::bad_alloc&) {
        throw FileError(fileName, OutOfMemoryReason, FileProblem::OutOfMemory);
    }
}

namespace {

// The save itself; `restoring` is the complete copy being put back, which does not count as
// an interrupted save of the target.
void writeFile(const std::string& fileName, const std::function<void(const PieceSink&)>& produce,
               const struct stat* restoring, const FileVersion* unchangedSince) {
    const Target target = resolveTarget(fileName);
    if (target.exists) {
        if (!S_ISREG(target.info.st_mode)) failNotRegular(fileName);
        if (isWriteProtected(target))
            throw FileError(fileName, "schreibgeschützt", FileProblem::WriteProtected);
    }

    // The temporary file must live in the target's directory: rename is only atomic within
    // one file system.
    const std::string dirName = directoryOf(target.path);
    const std::string baseName = baseNameOf(target.path);
    Fd dir(::open(dirName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.fd < 0) fail(fileName, errno);
    if (target.exists) {
        const std::string copy = findCopy(target, dir.fd, dirName, restoring);
        if (!copy.empty()) throw FileError::interruptedSave(fileName, copy);
    }

    SaveSignals signals;
    // Where the temporary file lives: beside the target, or for a folder the user may not
    // write (but the file), in the state folder, from where the target is written in place.
    std::string tempDirName = dirName;
    std::string tempBase = baseName;
    Fd stateDir(-1);
    int tempDir = dir.fd;
    std::string tempName;
    Fd temp(createTemp(tempDir, namePrefix(tempBase, TempMark), tempName));
    bool inPlace = false;
    if (temp.fd < 0) {
        const int error = errno;
        if (!target.exists || (error != EACCES && error != EPERM)) fail(fileName, error);
        stateDir.fd = openStateFolder(true, tempDirName);
        if (stateDir.fd < 0) fail(fileName, error);
        tempDir = stateDir.fd;
        tempBase = stateNameOf(target.info);
        temp.fd = createTemp(tempDir, namePrefix(tempBase, TempMark), tempName);
        if (temp.fd < 0) fail(fileName, error);
        inPlace = true;
    }
    const std::string prefix = namePrefix(tempBase, TempMark);

    auto removeTemp = [&] {
        SaveSignals::disarm();
        if (temp.fd >= 0) temp.release();
        ::unlinkat(tempDir, tempName.c_str(), 0);
    };
    auto abandon = [&](int error) {
        removeTemp();
        fail(fileName, error);
    };

    // The new file gets what the old one had, so that saving does not silently change who may
    // read or write the page script. Ownership first: changing it may clear set-id bits.
    mode_t mode;
    if (target.exists) {
        inPlace = inPlace || target.info.st_nlink > 1 || !takeOwnership(temp.fd, target.info);
        mode = target.info.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(temp.fd, inPlace ? 0600 : mode) != 0) abandon(errno);
    // Written in place, the file keeps its attributes anyway.
    if (target.exists && !inPlace) {
        try {
            copyAttributes(fileName, target.path, temp.fd);
        } catch (...) {
            removeTemp();
            throw;
        }
    }

    struct WriteFailed {
        int error;
    };
    try {
        produce([&](std::string_view piece) {
            if (!writeAll(temp.fd, piece)) throw WriteFailed{errno};
        });
    } catch (const WriteFailed& failed) {
        abandon(failed.error);
    } catch (const std::bad_alloc&) {
        removeTemp();
        throw FileError(fileName, OutOfMemoryReason, FileProblem::OutOfMemory);
    } catch (...) {
        removeTemp();
        throw;
    }
    if (::fsync(temp.fd) != 0) abandon(errno);

    // As late as possible: writing a large file takes time, and the target may have been
    // edited meanwhile. Its edit wins; the new content goes.
    if (unchangedSince) {
        struct stat now {};
        if (::stat(target.path.c_str(), &now) != 0 || !(versionOf(now) == *unchangedSince)) {
            SaveSignals::disarm();
            temp.release();
            ::unlinkat(tempDir, tempName.c_str(), 0);
            throw FileError(fileName, "inzwischen geändert", FileProblem::ChangedMeanwhile);
        }
    }

    if (inPlace) {
        // The temporary copy is on disk; from now on it is the safe one. The cleanup signals
        // wait until the target is whole again, and the copy gets the name no sweep removes
        // before the target is touched, in case the process dies anyway (SIGKILL, power).
        const HeldSignals held;
        SaveSignals::disarm();
        const std::string copyName = namePrefix(tempBase, CopyMark) + tempName.substr(prefix.size());
        if (::renameat(tempDir, tempName.c_str(), tempDir, copyName.c_str()) != 0) abandon(errno);
        tempName = copyName;
        ::fsync(tempDir);
        bool touched = false;
        try {
            writeInPlace(target, temp.fd, fileName, tempDirName + "/" + copyName, touched);
        } catch (...) {
            if (!touched) ::unlinkat(tempDir, tempName.c_str(), 0);
            temp.release();
            throw;
        }
        // Removed while still locked, so no other save takes it for an interrupted one.
        ::unlinkat(tempDir, tempName.c_str(), 0);
        temp.release();
    } else {
        // The lock must outlive the descriptor that is closed (its deferred write errors
        // count) until the file has its final name: another save removes unlocked leftovers.
        Fd lock(::dup(temp.fd));
        if (lock.fd < 0) abandon(errno);
        if (temp.release() != 0) abandon(errno);
        if (::renameat(dir.fd, tempName.c_str(), dir.fd, baseName.c_str()) != 0) abandon(errno);
        SaveSignals::disarm();
        // Make the rename itself durable; failing here no longer endangers either version.
        ::fsync(dir.fd);
    }
    removeLeftovers(tempDir, prefix);
}

} // namespace

void WriteFileAtomically(const std::string& fileName, std::string_view bytes,
                         const FileVersion* unchangedSince) {
    WriteFileAtomicallyInPieces(
        fileName, [&](const PieceSink& write) { write(bytes); }, unchangedSince);
}

void WriteFileAtomicallyInPieces(const std::string& fileName,
                                 const std::function<void(const PieceSink&)>& produce,
                                 const FileVersion* unchangedSince) {
    writeFile(fileName, produce, nullptr, unchangedSince);
}

std::string FindInterruptedSaveCopy(const std::string& fileName) {
    try {
        const Target target = resolveTarget(fileName);
        if (!target.exists || !S_ISREG(target.info.st_mode)) return {};
        const std::string dirName = directoryOf(target.path);
        Fd dir(::open(dirName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.fd < 0) return {};
        return findCopy(target, dir.fd, dirName, nullptr);
    } catch (const FileError&) {
        return {};
    }
}

void RefuseInterruptedSave(const std::string& fileName) {
    const std::string copy = FindInterruptedSaveCopy(fileName);
    if (!copy.empty()) throw FileError::interruptedSave(fileName, copy);
}

void RestoreInterruptedSaveCopy(const std::string& fileName, const std::string& copy) {
    Fd source(::open(copy.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (source.fd < 0) fail(copy, errno);
    struct stat info {};
    if (::fstat(source.fd, &info) != 0) fail(copy, errno);
    struct ReadFailed {
        int error;
    };
    try {
        writeFile(
            fileName,
            [&](const PieceSink& write) {
                char chunk[1 << 16];
                for (;;) {
                    const ssize_t n = ::read(source.fd, chunk, sizeof chunk);
                    if (n < 0 && errno == EINTR) continue;
                    if (n < 0) throw ReadFailed{errno};
                    if (n == 0) break;
                    write(std::string_view(chunk, static_cast<std::size_t>(n)));
                }
            },
            &info, nullptr);
    } catch (const ReadFailed& failed) {
        fail(copy, failed.error);
    }
    DiscardInterruptedSaveCopy(copy);
}

void DiscardInterruptedSaveCopy(const std::string& copy) {
    if (::unlink(copy.c_str()) != 0 && errno != ENOENT) fail(copy, errno);
}

} // namespace quilso

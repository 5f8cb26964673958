#include "file_io.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <new>
#include <pthread.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quilso {

namespace {

[[noreturn]] void fail(const std::string& fileName, int error) {
    throw FileError(fileName, std::strerror(error));
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
constexpr std::size_t NameLimit = 255;
constexpr char TempMark[] = ".quilso-";
constexpr std::size_t RandomChars = 6;
constexpr std::size_t TempOverhead = 1 + sizeof TempMark - 1 + RandomChars;

std::string tempPrefix(const std::string& baseName) {
    std::size_t keep = baseName.size();
    if (keep > NameLimit - TempOverhead) {
        keep = NameLimit - TempOverhead;
        // Never cut a multi-byte character in two.
        while (keep > 0 && (static_cast<unsigned char>(baseName[keep]) & 0xC0) == 0x80)
            --keep;
    }
    return "." + baseName.substr(0, keep) + TempMark;
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

// Creates the temporary file in the target's folder, holding a lock on it for as long as it
// is open: a later save removes only leftovers nobody holds.
int createTemp(int dirFd, const std::string& prefix, std::string& name, const std::string& fileName) {
    static constexpr char Chars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device device;
    std::minstd_rand random(device());
    sigset_t cleanup, previous;
    sigemptyset(&cleanup);
    for (int signal : CleanupSignals)
        sigaddset(&cleanup, signal);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = prefix;
        for (std::size_t i = 0; i < RandomChars; ++i)
            name += Chars[random() % (sizeof Chars - 1)];
        // No signal between creating the file and telling the handler about it.
        ::pthread_sigmask(SIG_BLOCK, &cleanup, &previous);
        const int fd = ::openat(dirFd, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        const int error = errno;
        if (fd >= 0) SaveSignals::arm(dirFd, name);
        ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        if (fd < 0) {
            if (error == EEXIST) continue;
            fail(fileName, error);
        }
        // Another save may have taken the new file for a leftover between open and lock. A
        // file system without locks gets no protection, and no leftovers are removed there.
        struct stat info {};
        if (::flock(fd, LOCK_EX) != 0 || (::fstat(fd, &info) == 0 && info.st_nlink > 0)) return fd;
        SaveSignals::disarm();
        ::close(fd);
    }
    fail(fileName, EEXIST);
}

// Leftovers of earlier saves of the same target whose process died: a running save holds
// the lock on its file, a dead one does not.
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
        if (::flock(file.fd, LOCK_EX | LOCK_NB) == 0) ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(folder);
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
    struct stat temp {};
    if (::fstat(tempFd, &temp) != 0) fail(fileName, errno);
    const off_t size = temp.st_size;
    if (size > 0 && ::fallocate(file.fd, FALLOC_FL_KEEP_SIZE, 0, size) != 0 && errno != EOPNOTSUPP &&
        errno != ENOSYS)
        fail(fileName, errno);

    // From here on the old content is being overwritten: a failure leaves the complete new
    // content in the temporary file, and the message says where.
    touched = true;
    const auto damaged = [&](int error) {
        throw FileError(fileName, std::string(std::strerror(error)) +
                                      "; die neue Fassung liegt vollständig in „" + keptCopy + "“");
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
    if (file.release() != 0) damaged(errno);
}

} // namespace

FileError::FileError(std::string fileName, std::string reason, FileProblem problem)
    : std::runtime_error(messageFor(fileName, reason, problem)), fileName_(std::move(fileName)),
      reason_(std::move(reason)), problem_(problem) {}

int OpenForReading(const std::string& fileName, FileKinds kinds) {
    if (kinds == FileKinds::Any) {
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

void WriteFileAtomically(const std::string& fileName, std::string_view bytes,
                         const FileVersion* unchangedSince) {
    WriteFileAtomicallyInPieces(
        fileName, [&](const PieceSink& write) { write(bytes); }, unchangedSince);
}

void WriteFileAtomicallyInPieces(const std::string& fileName,
                                 const std::function<void(const PieceSink&)>& produce,
                                 const FileVersion* unchangedSince) {
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
    const std::string prefix = tempPrefix(baseName);

    SaveSignals signals;
    std::string tempName;
    Fd temp(createTemp(dir.fd, prefix, tempName, fileName));

    auto abandon = [&](int error) {
        SaveSignals::disarm();
        if (temp.fd >= 0) temp.release();
        ::unlinkat(dir.fd, tempName.c_str(), 0);
        fail(fileName, error);
    };

    // The new file gets what the old one had, so that saving does not silently change who may
    // read or write the page script. Ownership first: changing it may clear set-id bits.
    bool inPlace = false;
    mode_t mode;
    if (target.exists) {
        inPlace = target.info.st_nlink > 1 || !takeOwnership(temp.fd, target.info);
        mode = target.info.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(temp.fd, inPlace ? 0600 : mode) != 0) abandon(errno);

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
        SaveSignals::disarm();
        temp.release();
        ::unlinkat(dir.fd, tempName.c_str(), 0);
        throw FileError(fileName, OutOfMemoryReason, FileProblem::OutOfMemory);
    } catch (...) {
        SaveSignals::disarm();
        temp.release();
        ::unlinkat(dir.fd, tempName.c_str(), 0);
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
            ::unlinkat(dir.fd, tempName.c_str(), 0);
            throw FileError(fileName, "inzwischen geändert", FileProblem::ChangedMeanwhile);
        }
    }

    if (inPlace) {
        // The temporary copy is on disk; from now on it is the safe one and must outlive a
        // signal, so only success removes it.
        SaveSignals::disarm();
        bool touched = false;
        try {
            writeInPlace(target, temp.fd, fileName, dirName + "/" + tempName, touched);
        } catch (...) {
            temp.release();
            if (!touched) ::unlinkat(dir.fd, tempName.c_str(), 0);
            throw;
        }
        temp.release();
        ::unlinkat(dir.fd, tempName.c_str(), 0);
    } else {
        if (temp.release() != 0) abandon(errno);
        if (::renameat(dir.fd, tempName.c_str(), dir.fd, baseName.c_str()) != 0) abandon(errno);
        SaveSignals::disarm();
        // Make the rename itself durable; failing here no longer endangers either version.
        ::fsync(dir.fd);
    }
    removeLeftovers(dir.fd, prefix);
}

} // namespace quilso

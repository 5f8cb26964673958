#include "file_io.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quilso {

namespace {

[[noreturn]] void fail(const std::string& fileName, int error) {
    throw FileError(fileName, std::strerror(error));
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

} // namespace

std::string ReadFileBytes(const std::string& fileName) {
    Fd file(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.fd < 0) fail(fileName, errno);
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) fail(fileName, errno);
    std::string bytes;
    if (S_ISREG(info.st_mode)) bytes.reserve(static_cast<std::size_t>(info.st_size));
    char chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(file.fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(fileName, errno);
        }
        if (n == 0) break;
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
    return bytes;
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

std::vector<std::string> ReadLines(const std::string& fileName) {
    return SplitLines(ReadFileBytes(fileName));
}

void WriteFileAtomically(const std::string& fileName, std::string_view bytes) {
    WriteFileAtomicallyInPieces(fileName, [&](const PieceSink& write) { write(bytes); });
}

void WriteFileAtomicallyInPieces(const std::string& fileName,
                                 const std::function<void(const PieceSink&)>& produce) {
    // The temporary file must live in the target's directory: rename is only atomic within
    // one file system.
    std::string tempName = directoryOf(fileName) + "/." + baseNameOf(fileName) + ".XXXXXX";
    Fd temp(::mkstemp(tempName.data()));
    if (temp.fd < 0) fail(fileName, errno);

    auto abandon = [&](int error) {
        if (temp.fd >= 0) temp.release();
        ::unlink(tempName.c_str());
        fail(fileName, error);
    };

    // mkstemp creates the file private; give it the mode the target has (or a new file would
    // get), so saving does not silently change who may read the page script.
    struct stat existing {};
    mode_t mode;
    if (::stat(fileName.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(temp.fd, mode) != 0) abandon(errno);

    struct WriteFailed {
        int error;
    };
    try {
        produce([&](std::string_view piece) {
            if (!writeAll(temp.fd, piece)) throw WriteFailed{errno};
        });
    } catch (const WriteFailed& failed) {
        abandon(failed.error);
    } catch (...) {
        temp.release();
        ::unlink(tempName.c_str());
        throw;
    }
    if (::fsync(temp.fd) != 0) abandon(errno);
    if (temp.release() != 0) abandon(errno);
    if (::rename(tempName.c_str(), fileName.c_str()) != 0) abandon(errno);

    // Make the rename itself durable; failing here no longer endangers either version.
    Fd dir(::open(directoryOf(fileName).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.fd >= 0) ::fsync(dir.fd);
}

} // namespace quilso

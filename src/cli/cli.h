// quilso-cli: inspect and produce menu script files without the GUI. The commands run on
// injected streams so tests call them in-process.
#pragma once

#include <iosfwd>
#include <streambuf>
#include <string>
#include <vector>

namespace quilso {

enum CliExit : int { ExitOk = 0, ExitFileError = 1, ExitUsage = 2 };

// `args` are the command-line arguments after the program name; `programDir` is the directory
// of the running program, where the shipped script library is looked for.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const std::string& programDir);
// For a process that ends after one command: the project read for it is not freed but left to
// the system, which takes its memory back faster than a million entries are freed one by one.
void LeaveProjectsToExit();

// Standard output for the program: a stream buffer over a file descriptor that remembers why
// a write failed, so a full disk is reported with the system's reason.
class FdOutputBuffer : public std::streambuf {
public:
    explicit FdOutputBuffer(int fd);
    ~FdOutputBuffer() override;
    FdOutputBuffer(const FdOutputBuffer&) = delete;
    FdOutputBuffer& operator=(const FdOutputBuffer&) = delete;
    // errno of the first failed write, 0 while every write succeeded.
    int error() const { return error_; }

protected:
    int overflow(int c) override;
    int sync() override;
    std::streamsize xsputn(const char* data, std::streamsize size) override;

private:
    bool writeOut(const char* data, std::size_t size);
    bool flushBuffer();

    int fd_;
    int error_ = 0;
    char buffer_[1 << 16];
};

// The shipped script library: beside the program (build tree) or in ../share/quilso/ relative
// to it (installed); empty when neither exists.
std::string FindShippedLibrary(const std::string& programDir);

} // namespace quilso

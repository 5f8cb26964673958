#include "cli.h"

#include <csignal>
#include <filesystem>
#include <iostream>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    // The running binary's own location, so the shipped library is found from any directory.
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) self = std::filesystem::absolute(argv[0], error);
    quilso::LeaveProjectsToExit();
    // A file-size limit on standard output is a write error like a full disk, not the end.
    std::signal(SIGXFSZ, SIG_IGN);
    quilso::FdOutputBuffer standardOutput(1);
    std::ostream out(&standardOutput);
    return quilso::RunCli(args, out, std::cerr, self.parent_path().string());
}

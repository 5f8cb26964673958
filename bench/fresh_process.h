// Figures of a fresh process: a benchmark runs itself (or a shell command) as a child, so that
// what it measures starts from nothing, as a user's command does.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>

extern char** environ;

namespace bench {

// Runs a shell command and waits for it; its wait status, or -1 when it could not start.
inline int RunShell(const std::string& command) {
    pid_t pid;
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

// The peak resident size of this process so far (VmHWM), in kB.
inline long PeakResidentKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

// The one figure a fresh process of this program (`self`) prints for `mode` on `file`; it passes
// through a file in `workDir`. -1 when the process printed none.
inline double FigureOfFreshProcess(const std::string& self, const char* mode,
                                   const std::filesystem::path& file, const std::filesystem::path& workDir) {
    const std::filesystem::path out = workDir / "figure.txt";
    RunShell("'" + self + "' " + mode + " '" + file.string() + "' > '" + out.string() + "'");
    double figure = -1;
    std::ifstream(out) >> figure;
    return figure;
}

} // namespace bench

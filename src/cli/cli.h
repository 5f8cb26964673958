// quilso-cli: inspect and produce menu script files without the GUI. The commands run on
// injected streams so tests call them in-process.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quilso {

enum CliExit : int { ExitOk = 0, ExitFileError = 1, ExitUsage = 2 };

// `args` are the command-line arguments after the program name; `programDir` is the directory
// of the running program, where the shipped script library is looked for.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const std::string& programDir);

// The shipped script library: beside the program (build tree) or in ../share/quilso/ relative
// to it (installed); empty when neither exists.
std::string FindShippedLibrary(const std::string& programDir);

} // namespace quilso

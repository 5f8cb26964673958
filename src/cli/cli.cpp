#include "cli.h"

#include "model_json.h"
#include "reader.h"
#include "writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <new>
#include <optional>
#include <ostream>
#include <unistd.h>

namespace quilso {

namespace {

constexpr const char* Usage =
    "Usage:\n"
    "  quilso-cli dump FILE [--base BASE]\n"
    "      Print the project in FILE as JSON. With --base, BASE is read first and FILE\n"
    "      overlays the values it names, as opening a project over a new one does.\n"
    "  quilso-cli build MODEL.json OUT [--library LIB]\n"
    "      Write the menu script file OUT from a JSON model (the form dump prints; missing\n"
    "      keys are empty). The script library appended is LIB or the shipped\n"
    "      quilso_functions.js. OUT \"-\" is standard output.\n"
    "  quilso-cli resave IN OUT [--base BASE] [--library LIB]\n"
    "      Read IN (over BASE) and write it again as OUT (\"-\": standard output).\n"
    "  quilso-cli --help\n"
    "  quilso-cli --version\n"
    "Texts in the JSON form are the Unicode characters of their Windows-1252 bytes.\n"
    "Exit status: 0 success, 1 a file could not be read or written, 2 usage error or bad model.\n";

struct UsageError {
    std::string message;
};

struct Command {
    std::string name;
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
};

// Splits the arguments into command, positional arguments and the options it allows.
Command parse(const std::vector<std::string>& args) {
    if (args.empty()) throw UsageError{"no command given"};
    Command command{args[0], {}, {}};
    std::vector<std::string> allowed;
    std::size_t positional = 0;
    if (command.name == "dump") {
        allowed = {"--base"};
        positional = 1;
    } else if (command.name == "build") {
        allowed = {"--library"};
        positional = 2;
    } else if (command.name == "resave") {
        allowed = {"--base", "--library"};
        positional = 2;
    } else {
        throw UsageError{"unknown command '" + command.name + "'"};
    }
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            std::string name = arg, value;
            const auto equals = arg.find('=');
            if (equals != std::string::npos) {
                name = arg.substr(0, equals);
                value = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                throw UsageError{"option " + arg + " needs a value"};
            }
            if (std::find(allowed.begin(), allowed.end(), name) == allowed.end())
                throw UsageError{"option " + name + " is not known to " + command.name};
            if (!command.options.emplace(name, value).second)
                throw UsageError{"option " + name + " given twice"};
        } else {
            command.positional.push_back(arg);
        }
    }
    if (command.positional.size() != positional)
        throw UsageError{command.name + " takes " + std::to_string(positional) + " file name" +
                         (positional == 1 ? "" : "s")};
    return command;
}

std::optional<std::string> option(const Command& command, const char* name) {
    const auto it = command.options.find(name);
    if (it == command.options.end()) return std::nullopt;
    return it->second;
}

// A fresh project, then BASE when given, then the file, each read as opening a project does.
void readProject(const Command& command, const std::string& fileName, Project& project) {
    ReadObserver ignore;
    if (const auto base = option(command, "--base")) ReadProjectFile(*base, project, ignore);
    ReadProjectFile(fileName, project, ignore);
}

ProgramInfo programFor(const Command& command, const std::string& programDir) {
    ProgramInfo program;
    program.version = QUILSO_VERSION;
    std::string library = option(command, "--library").value_or(FindShippedLibrary(programDir));
    if (!library.empty()) program.functionsLines = ReadLines(library);
    return program;
}

// OUT as a file, saved as the program saves, or "-" for standard output.
void writeScript(const std::string& target, const Project& project, const ProgramInfo& program,
                 std::ostream& out) {
    if (target != "-") {
        WriteMenuScript(target, project, program);
        return;
    }
    WriteMenuScriptTo(
        [&](std::string_view piece) { out.write(piece.data(), static_cast<std::streamsize>(piece.size())); },
        project, program);
}

void run(const Command& command, std::ostream& out, const std::string& programDir) {
    Project project;
    if (command.name == "dump") {
        readProject(command, command.positional[0], project);
        out << ProjectToJson(project);
    } else if (command.name == "build") {
        const std::string model = ReadFileBytes(command.positional[0]);
        ProjectFromJson(model, project);
        writeScript(command.positional[1], project, programFor(command, programDir), out);
    } else {
        readProject(command, command.positional[0], project);
        writeScript(command.positional[1], project, programFor(command, programDir), out);
    }
}

// Output lost on the way (a full disk, a closed pipe) is a failed command like any other.
int finishOutput(std::ostream& out, std::ostream& err) {
    out.flush();
    if (out) return ExitOk;
    const auto* buffer = dynamic_cast<const FdOutputBuffer*>(out.rdbuf());
    const int error = buffer ? buffer->error() : 0;
    err << "quilso-cli: standard output: "
        << (error != 0 ? std::strerror(error) : "the output could not be written") << "\n";
    return ExitFileError;
}

} // namespace

std::string FindShippedLibrary(const std::string& programDir) {
    namespace fs = std::filesystem;
    const fs::path dir = programDir.empty() ? fs::path(".") : fs::path(programDir);
    for (const fs::path& candidate :
         {dir / "quilso_functions.js", dir / ".." / "share" / "quilso" / "quilso_functions.js"}) {
        std::error_code ignored;
        if (fs::is_regular_file(candidate, ignored)) return candidate.lexically_normal().string();
    }
    return {};
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const std::string& programDir) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h" || args[0] == "help")) {
        out << Usage;
        return finishOutput(out, err);
    }
    if (args.size() == 1 && args[0] == "--version") {
        out << "quilso-cli " QUILSO_VERSION "\n";
        return ExitOk;
    }
    try {
        run(parse(args), out, programDir);
    } catch (const UsageError& e) {
        err << "quilso-cli: " << e.message << "\n" << Usage;
        return ExitUsage;
    } catch (const ModelError& e) {
        err << "quilso-cli: " << e.what() << "\n";
        return ExitUsage;
    } catch (const FileError& e) {
        err << "quilso-cli: " << e.what() << "\n";
        return ExitFileError;
    } catch (const std::bad_alloc&) {
        err << "quilso-cli: Nicht genug Arbeitsspeicher\n";
        return ExitFileError;
    }
    return finishOutput(out, err);
}

FdOutputBuffer::FdOutputBuffer(int fd) : fd_(fd) {
    setp(buffer_, buffer_ + sizeof buffer_);
}

FdOutputBuffer::~FdOutputBuffer() {
    flushBuffer();
}

bool FdOutputBuffer::writeOut(const char* data, std::size_t size) {
    if (error_ != 0) return false;
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool FdOutputBuffer::flushBuffer() {
    const auto pending = static_cast<std::size_t>(pptr() - pbase());
    setp(buffer_, buffer_ + sizeof buffer_);
    return writeOut(buffer_, pending);
}

int FdOutputBuffer::overflow(int c) {
    if (!flushBuffer()) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

int FdOutputBuffer::sync() {
    return flushBuffer() ? 0 : -1;
}

std::streamsize FdOutputBuffer::xsputn(const char* data, std::streamsize size) {
    const auto count = static_cast<std::size_t>(size);
    if (count <= static_cast<std::size_t>(epptr() - pptr())) {
        std::memcpy(pptr(), data, count);
        pbump(static_cast<int>(count));
        return size;
    }
    // Large pieces go straight to the descriptor instead of through the buffer.
    if (!flushBuffer() || !writeOut(data, count)) return 0;
    return size;
}

} // namespace quilso

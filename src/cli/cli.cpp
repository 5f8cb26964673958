#include "cli.h"

#include "file_io.h"
#include "link_check.h"
#include "looks.h"
#include "model_json.h"
#include "publish.h"
#include "reader.h"
#include "site_import.h"
#include "site_text.h"
#include "writer.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <ostream>
#include <set>
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
    "  quilso-cli import DIR OUT [--base BASE] [--library LIB]\n"
    "      Make a new project OUT whose site tree mirrors the pages under DIR (.htm, .html,\n"
    "      .shtml, .shtm, .php; hidden names skipped) with their titles as menu texts, and\n"
    "      whose styles come from BASE (default: the shipped default.js). DIR may also be\n"
    "      a sitemap file; its addresses then give the tree and the file names the texts.\n"
    "      Prints how many pages and folders became entries and how many hidden names and\n"
    "      folders without pages were skipped. Symbolic links that lead out of DIR are\n"
    "      skipped and named.\n"
    "  quilso-cli check PROJECT [--site DIR] [--json] [--strict]\n"
    "      Check the project against its site folder DIR (default: the project's folder):\n"
    "      entries whose page is missing or lies outside DIR (symbolic links resolved)\n"
    "      or whose address is unsafe, pages no entry links to, linked pages that do not\n"
    "      include PROJECT, entries without text or file name, and menu colours with a\n"
    "      contrast below 4.5:1. One line per finding (an entry named by its last three\n"
    "      levels, control characters escaped), or JSON with --json: {\"findings\":\n"
    "      [{kind, entry, where, message, file or the contrast}], \"broken\"}. Exit status\n"
    "      1 when a page is missing or outside or an address unsafe; with --strict every\n"
    "      finding counts.\n"
    "  quilso-cli publish PROJECT.js [--base BASE]\n"
    "      Write the menus as static HTML into every page of the project's site tree\n"
    "      that exists in the project's folder, between the marker comments\n"
    "      <!-- quilso:m --> ... <!-- /quilso:m --> (and um, bc; css for the style sheet).\n"
    "      Pages with markers that no entry names get the main menu without a current\n"
    "      entry. Prints one line per page and a summary; exit status 1 when a page\n"
    "      could not be read or written.\n"
    "  quilso-cli styles\n"
    "      List the ready-made looks: the shipped ones, then the user's own from\n"
    "      $XDG_DATA_HOME/quilso/styles (default ~/.local/share/quilso/styles), each with\n"
    "      its lowest contrast ratio (\"unter 4,5:1\" when a state fails the limit).\n"
    "  quilso-cli restyle PROJECT.js NAME [OUT] [--library LIB]\n"
    "      Give the three menus of PROJECT.js the look NAME; the site tree and the\n"
    "      options stay. Written to OUT (\"-\": standard output), else over PROJECT.js.\n"
    "  quilso-cli --help\n"
    "  quilso-cli --version\n"
    "Texts in the JSON form are the Unicode characters of their Windows-1252 bytes.\n"
    "Exit status: 0 success, 1 a file could not be read or written (check: broken\n"
    "links), 2 usage error or bad model (check: also an unreadable project or folder).\n";

struct UsageError {
    std::string message;
};

// A failure that the message alone explains but that exits as a usage error.
struct MessageError {
    std::string message;
};

struct Command {
    std::string name;
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    std::set<std::string> flags;
};

// Splits the arguments into command, positional arguments and the options it allows.
Command parse(const std::vector<std::string>& args) {
    if (args.empty()) throw UsageError{"Kein Befehl angegeben"};
    Command command{args[0], {}, {}, {}};
    std::vector<std::string> allowed;
    std::vector<std::string> allowedFlags;
    std::size_t positional = 0;
    std::size_t optionalPositional = 0; // may follow the required ones
    if (command.name == "dump" || command.name == "publish") {
        allowed = {"--base"};
        positional = 1;
    } else if (command.name == "build") {
        allowed = {"--library"};
        positional = 2;
    } else if (command.name == "resave" || command.name == "import") {
        allowed = {"--base", "--library"};
        positional = 2;
    } else if (command.name == "check") {
        allowed = {"--site"};
        allowedFlags = {"--json", "--strict"};
        positional = 1;
    } else if (command.name == "styles") {
        positional = 0;
    } else if (command.name == "restyle") {
        allowed = {"--library"};
        positional = 2;
        optionalPositional = 1;
    } else {
        throw UsageError{"Unbekannter Befehl: " + command.name};
    }
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (std::find(allowedFlags.begin(), allowedFlags.end(), arg) != allowedFlags.end()) {
            if (!command.flags.insert(arg).second)
                throw UsageError{"Option " + arg + " ist doppelt angegeben"};
        } else if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            const auto equals = arg.find('=');
            const std::string name = arg.substr(0, equals);
            // Known before its value is taken: an unknown option must not swallow the next argument.
            if (std::find(allowed.begin(), allowed.end(), name) == allowed.end())
                throw UsageError{"Unbekannte Option: " + name};
            std::string value;
            if (equals != std::string::npos)
                value = arg.substr(equals + 1);
            else if (i + 1 < args.size())
                value = args[++i];
            else
                throw UsageError{"Option " + arg + " braucht einen Wert"};
            if (!command.options.emplace(name, value).second)
                throw UsageError{"Option " + name + " ist doppelt angegeben"};
        } else {
            command.positional.push_back(arg);
        }
    }
    if (command.positional.size() < positional || command.positional.size() > positional + optionalPositional)
        throw UsageError{command.name + " erwartet " + std::to_string(positional) + " Dateinamen"};
    return command;
}

std::optional<std::string> option(const Command& command, const char* name) {
    const auto it = command.options.find(name);
    if (it == command.options.end()) return std::nullopt;
    return it->second;
}

// Tells on `err` which lines a read passed over, one line per kind.
class DroppedLinesReport : public ReadObserver {
public:
    DroppedLinesReport(std::ostream& err, const std::string& fileName) : err_(err), fileName_(fileName) {}
    void linesDropped(const std::vector<DroppedLines>& dropped) override {
        for (const DroppedLines& kind : dropped)
            err_ << "quilso-cli: " << fileName_ << ": " << DescribeDroppedLines(kind) << "\n";
    }

private:
    std::ostream& err_;
    const std::string& fileName_;
};

// Reads a project file as opening one does, telling on `err` which lines it passed over; one
// that a save left half rewritten is refused, naming the complete copy that save kept.
void readProjectFile(const std::string& fileName, Project& project, std::ostream& err) {
    RefuseInterruptedSave(fileName);
    DroppedLinesReport report(err, fileName);
    ReadProjectFile(fileName, project, report, FileKinds::FilesAndPipes);
}

// A fresh project, then BASE when given, then the file.
void readProject(const Command& command, const std::string& fileName, Project& project, std::ostream& err) {
    if (const auto base = option(command, "--base")) readProjectFile(*base, project, err);
    readProjectFile(fileName, project, err);
}

ProgramInfo programFor(const Command& command, const std::string& programDir) {
    ProgramInfo program;
    program.version = QUILSO_VERSION;
    std::string library = option(command, "--library").value_or(FindShippedLibrary(programDir));
    if (!library.empty()) program.functionsLines = ReadLines(library, FileKinds::FilesAndPipes);
    return program;
}

std::string reasonText(const PageReport& page) {
    switch (page.reason) {
    case PageReason::None:
        return {};
    case PageReason::NotFound:
        return "not found";
    case PageReason::Outside:
        return "outside the folder";
    case PageReason::NoMarkers:
        return "no marker comments";
    case PageReason::UnclosedMarker:
        return page.detail + " without its end marker";
    case PageReason::NestedMarkers:
        return page.detail + " inside another block";
    case PageReason::ReadError:
        return "cannot read: " + page.detail;
    case PageReason::WriteError:
        return "cannot write: " + page.detail;
    case PageReason::ChangedMeanwhile:
        return "während des Veröffentlichens geändert, nicht überschrieben";
    case PageReason::MisplacedMarker:
        return page.detail + ", nicht als Kommentar der Seite";
    }
    return {};
}

int publish(const Command& command, std::ostream& out, std::ostream& err) {
    Project project;
    readProject(command, command.positional[0], project, err);
    static constexpr const char* Words[] = {"written", "unchanged", "skipped", "failed"};
    // Each line as soon as its page is done: a large site shows its progress, and the report
    // of a million pages is never held at once.
    PublishHooks hooks;
    hooks.pageDone = [&](const PageReport& page) {
        std::string word = Words[static_cast<int>(page.status)];
        word.resize(10, ' ');
        out << word << page.page;
        std::string notes = page.inMenu ? std::string() : "in keinem Menü";
        if (page.reason != PageReason::None) notes += (notes.empty() ? "" : "; ") + reasonText(page);
        if (!notes.empty()) out << " (" << notes << ")";
        out << "\n";
    };
    const PublishCounts counts = PublishSite(project, command.positional[0], hooks);
    out << counts.pages << (counts.pages == 1 ? " page: " : " pages: ") << counts.count(PageStatus::Written)
        << " written, " << counts.count(PageStatus::Unchanged) << " unchanged, "
        << counts.count(PageStatus::Skipped) << " skipped, " << counts.count(PageStatus::Failed)
        << " failed\n";
    out.flush();
    return counts.count(PageStatus::Failed) ? ExitFileError : ExitOk;
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

// The file beside the program or in the installed data folder; empty when neither exists.
std::string findShippedFile(const std::string& programDir, const char* name) {
    namespace fs = std::filesystem;
    const fs::path dir = programDir.empty() ? fs::path(".") : fs::path(programDir);
    for (const fs::path& candidate : {dir / name, dir / ".." / "share" / "quilso" / name}) {
        std::error_code ignored;
        if (fs::is_regular_file(candidate, ignored)) return candidate.lexically_normal().string();
    }
    return {};
}

int runImport(const Command& command, std::ostream& out, std::ostream& err, const std::string& programDir) {
    namespace fs = std::filesystem;
    const std::string& outFile = command.positional[1];
    const std::string base = option(command, "--base").value_or(findShippedFile(programDir, "default.js"));
    if (base.empty()) throw FileError("default.js", "not found beside the program; name one with --base");
    Project project;
    readProjectFile(base, project, err);
    std::error_code error;
    const fs::path projectDir = fs::absolute(outFile, error).parent_path();
    const ImportSummary summary = *ImportSite(command.positional[0], projectDir, project.tree);
    writeScript(outFile, project, programFor(command, programDir), out);
    // The summary must not end up inside a script written to standard output.
    std::ostream& report = outFile == "-" ? err : out;
    for (const std::string& name : summary.outside)
        report << "skipped   " << DisplayUtf8(name) << " (outside the folder)\n";
    report << outFile << ": " << summary.pages << (summary.pages == 1 ? " page, " : " pages, ")
           << summary.folders << (summary.folders == 1 ? " folder, " : " folders, ") << summary.skipped
           << " skipped\n";
    return ExitOk;
}

const char* findingId(FindingKind kind) {
    switch (kind) {
    case FindingKind::EmptyText:
        return "empty-text";
    case FindingKind::EmptyFile:
        return "empty-file";
    case FindingKind::MissingPage:
        return "missing-page";
    case FindingKind::PageOutside:
        return "page-outside";
    case FindingKind::UnsafeAddress:
        return "unsafe-address";
    case FindingKind::MissingScript:
        return "missing-script";
    case FindingKind::UnlinkedPage:
        return "unlinked-page";
    case FindingKind::LowContrast:
        return "low-contrast";
    }
    return "";
}

// Stored texts are shown a piece at a time, so that a text of many megabytes is never held
// converted as a whole.
constexpr std::size_t ShownPieceBytes = std::size_t{64} * 1024;

// A stored text on one line of the text form: control characters and line separators, which
// would break the line or act on the terminal, shown as escapes ("\t", "\n", "\x1B", "\u0085").
void writeVisible(std::ostream& out, std::string_view stored) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    ForEachDisplayPiece(stored, ShownPieceBytes, [&](std::string_view utf8) {
        std::string line;
        line.reserve(utf8.size());
        for (std::size_t i = 0; i < utf8.size(); ++i) {
            const auto byte = static_cast<unsigned char>(utf8[i]);
            if (byte == '\t') {
                line += "\\t";
            } else if (byte == '\n') {
                line += "\\n";
            } else if (byte == '\r') {
                line += "\\r";
            } else if (byte < 0x20 || byte == 0x7F) {
                line += {'\\', 'x', Hex[byte >> 4], Hex[byte & 15]};
            } else if (byte == 0xC2 && i + 1 < utf8.size() &&
                       static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
                const auto c1 = static_cast<unsigned char>(utf8[++i]); // U+0080..U+009F
                line += {'\\', 'u', '0', '0', Hex[c1 >> 4], Hex[c1 & 15]};
            } else if (byte == 0xE2 && utf8.compare(i + 1, 2, "\x80\xA8") == 0) {
                line += "\\u2028";
                i += 2;
            } else if (byte == 0xE2 && utf8.compare(i + 1, 2, "\x80\xA9") == 0) {
                line += "\\u2029";
                i += 2;
            } else {
                line += static_cast<char>(byte);
            }
        }
        out << line;
    });
}

// A stored text as a JSON string, escaped by JSON's rules.
void writeJsonText(std::ostream& out, std::string_view stored) {
    out << '"';
    ForEachDisplayPiece(stored, ShownPieceBytes, [&](std::string_view utf8) {
        const std::string quoted = nlohmann::json(std::string(utf8)).dump();
        out.write(quoted.data() + 1, static_cast<std::streamsize>(quoted.size() - 2));
    });
    out << '"';
}

// Writes the findings of `check` as they come: one line each, or the JSON form
// {"findings": [...], "broken": ...} laid out as dump(2) lays it out.
class CheckOutput {
public:
    CheckOutput(std::ostream& out, bool json) : out_(out), json_(json) {
        if (json_) out_ << "{\n  \"findings\": [";
    }

    void write(const Finding& finding) {
        if (!json_) {
            if (!finding.where.empty()) {
                writeVisible(out_, finding.where);
                out_ << ": ";
            }
            writeVisible(out_, finding.message);
            out_ << "\n";
            return;
        }
        out_ << (first_ ? "\n" : ",\n") << "    {\n";
        first_ = false;
        out_ << "      \"kind\": \"" << findingId(finding.kind) << "\",\n";
        if (finding.entry >= 0) out_ << "      \"entry\": " << finding.entry << ",\n";
        out_ << "      \"where\": ";
        writeJsonText(out_, finding.where);
        out_ << ",\n      \"message\": ";
        writeJsonText(out_, finding.message);
        if (finding.kind == FindingKind::LowContrast) {
            nlohmann::ordered_json contrast;
            contrast["menu"] = MenuIds[finding.menu];
            contrast["state"] = MenuStateIds[static_cast<std::size_t>(finding.state)];
            if (finding.insideMain) contrast["inside"] = MenuIds[MenuMain];
            contrast["ratio"] = std::floor(finding.contrast.ratio * 100) / 100;
            contrast["color"] = finding.contrast.color;
            contrast["background"] = finding.contrast.background;
            for (const auto& [key, value] : contrast.items())
                out_ << ",\n      \"" << key << "\": " << value.dump();
        } else {
            out_ << ",\n      \"file\": ";
            writeJsonText(out_, finding.file);
        }
        out_ << "\n    }";
    }

    void finish(bool broken) {
        if (!json_) return;
        out_ << (first_ ? "],\n" : "\n  ],\n") << "  \"broken\": " << (broken ? "true" : "false") << "\n}\n";
    }

private:
    std::ostream& out_;
    bool json_;
    bool first_ = true;
};

int runCheck(const Command& command, std::ostream& out, std::ostream& err) {
    namespace fs = std::filesystem;
    Project project;
    CheckOptions options;
    options.projectFile = command.positional[0];
    options.siteDir = option(command, "--site").value_or("");
    // The check's own exit status 1 means broken links, so a file it cannot read exits as a
    // usage error (without the usage text, which would bury the message); a file a save left
    // half rewritten is refused as everywhere.
    try {
        readProjectFile(command.positional[0], project, err);
    } catch (const FileError& e) {
        if (e.problem() == FileProblem::InterruptedSave) throw;
        throw MessageError{e.what()};
    }
    std::error_code error;
    if (!options.siteDir.empty() && !fs::is_directory(options.siteDir, error))
        throw MessageError{options.siteDir.string() + ": kein Ordner"};

    CheckOutput output(out, command.flags.count("--json") != 0);
    bool broken = false;
    long count = 0;
    CheckProject(project, options, [&](const Finding& finding) {
        broken = broken || IsBrokenLink(finding);
        ++count;
        output.write(finding);
    });
    output.finish(broken);
    if (broken || (command.flags.count("--strict") && count > 0)) return ExitFileError;
    return ExitOk;
}

std::vector<Look> allLooks(const std::string& programDir) {
    return ListLooks(FindShippedLooks(programDir), UserLooksDir());
}

int listStyles(std::ostream& out, const std::string& programDir) {
    const std::vector<Look> looks = allLooks(programDir);
    std::size_t width = 0;
    for (const Look& look : looks)
        width = std::max(width, look.name.size());
    for (const Look& look : looks) {
        out << look.name << std::string(width + 2 - look.name.size(), ' ')
            << (look.builtIn ? "mitgeliefert  " : "eigene        ");
        if (!look.usable()) {
            out << "nicht lesbar: " << look.error << "\n";
            continue;
        }
        const double lowest = LowestContrast(look.css);
        out << FormatRatio(lowest) << (lowest < MinimumContrast ? " (unter 4,5:1)" : "") << "\n";
    }
    return ExitOk;
}

// Applies a look as the gallery does: the three style records change, nothing else.
int restyle(const Command& command, std::ostream& out, std::ostream& err, const std::string& programDir) {
    const std::string& projectFile = command.positional[0];
    const std::string& name = command.positional[1];
    const std::vector<Look> looks = allLooks(programDir);
    const Look* look = FindLook(looks, name);
    if (!look)
        throw UsageError{"Keine Stilvorlage \xE2\x80\x9E" + name +
                         "\xE2\x80\x9C (quilso-cli styles listet sie)"};
    if (!look->usable()) throw FileError(look->file.string(), look->error);
    Project project;
    ReadObserver ignore;
    ReadProjectFile(projectFile, project, ignore);
    ApplyLook(*look, project.params);
    writeScript(command.positional.size() > 2 ? command.positional[2] : projectFile, project,
                programFor(command, programDir), out);
    for (const Finding& finding : CheckContrasts(project.params)) {
        err << "quilso-cli: Warnung: ";
        writeVisible(err, finding.where);
        err << ": ";
        writeVisible(err, finding.message);
        err << "\n";
    }
    return ExitOk;
}

bool leaveProjectsToExit = false;

// A project the process still holds when it ends: freeing a million entries one by one takes
// longer than reading them, and the system takes the memory back at once. Kept reachable, so
// that leak checkers do not count it.
Project* projectLeftToExit = nullptr;

int run(const Command& command, std::ostream& out, std::ostream& err, const std::string& programDir) {
    if (command.name == "import") return runImport(command, out, err, programDir);
    if (command.name == "check") return runCheck(command, out, err);
    if (command.name == "publish") return publish(command, out, err);
    if (command.name == "styles") return listStyles(out, programDir);
    if (command.name == "restyle") return restyle(command, out, err, programDir);
    auto owned = std::make_unique<Project>();
    Project& project = *owned;
    if (command.name == "dump") {
        readProject(command, command.positional[0], project, err);
        WriteProjectJson(project, [&out](std::string_view piece) {
            out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
        });
    } else if (command.name == "build") {
        const std::string model = ReadFileBytes(command.positional[0], FileKinds::FilesAndPipes);
        ProjectFromJson(model, project);
        writeScript(command.positional[1], project, programFor(command, programDir), out);
    } else {
        readProject(command, command.positional[0], project, err);
        writeScript(command.positional[1], project, programFor(command, programDir), out);
    }
    if (leaveProjectsToExit && !projectLeftToExit) projectLeftToExit = owned.release();
    return ExitOk;
}

// Output lost on the way (a full disk, a closed pipe) is a failed command like any other.
int finishOutput(std::ostream& out, std::ostream& err) {
    out.flush();
    if (out) return ExitOk;
    const auto* buffer = dynamic_cast<const FdOutputBuffer*>(out.rdbuf());
    const int error = buffer ? buffer->error() : 0;
    err << "quilso-cli: standard output: "
        << (error != 0 ? SystemErrorText(error) : "the output could not be written") << "\n";
    return ExitFileError;
}

} // namespace

std::string FindShippedLibrary(const std::string& programDir) {
    return findShippedFile(programDir, "quilso_functions.js");
}

void LeaveProjectsToExit() {
    leaveProjectsToExit = true;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const std::string& programDir) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h" || args[0] == "help")) {
        out << Usage;
        return finishOutput(out, err);
    }
    if (args.size() == 1 && args[0] == "--version") {
        out << "quilso-cli " QUILSO_VERSION "\n";
        return finishOutput(out, err);
    }
    int status = ExitOk;
    try {
        status = run(parse(args), out, err, programDir);
    } catch (const UsageError& e) {
        err << "quilso-cli: " << e.message << "\n" << Usage;
        return ExitUsage;
    } catch (const MessageError& e) {
        err << "quilso-cli: " << e.message << "\n";
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
    const int written = finishOutput(out, err);
    return written != ExitOk ? written : status;
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

#include "cli.h"
#include "example_project.h"
#include "writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <streambuf>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quilso;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeFile(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quilso_cli_XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        programDir = dir / "bin";
        fs::create_directories(programDir);
        ::setenv("SOURCE_DATE_EPOCH", "1796568663", 1); // 06.12.2026 14:51:03
    }
    void TearDown() override {
        ::unsetenv("SOURCE_DATE_EPOCH");
        fs::remove_all(dir);
    }

    int run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return RunCli(args, out, err, programDir.string());
    }
    std::string path(const char* name) const { return (dir / name).string(); }

    fs::path dir, programDir;
    std::ostringstream out, err;
};

const char* const GoldenLibrary = "function cr(text, file, next, parent, child) {\n  this.text = text;\n}\n";

} // namespace

TEST_F(Cli, DumpThenBuildGivesTheSameBytes) {
    const std::string golden = (fs::path(QUILSO_WRITER_GOLDEN) / "example.js").string();
    ASSERT_EQ(run({"dump", golden}), ExitOk) << err.str();
    EXPECT_EQ(err.str(), "");
    writeFile(path("model.json"), out.str());
    writeFile(path("lib.js"), GoldenLibrary);
    ASSERT_EQ(run({"build", path("model.json"), path("out.js"), "--library", path("lib.js")}), ExitOk)
        << err.str();
    EXPECT_EQ(readFile(path("out.js")), readFile(golden));

    ASSERT_EQ(run({"resave", golden, path("again.js"), "--library=" + path("lib.js")}), ExitOk) << err.str();
    EXPECT_EQ(readFile(path("again.js")), readFile(golden));
}

TEST_F(Cli, HostileProjectRoundTripsThroughFileAndJson) {
    Project project;
    sample::makeExampleProject(project);
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    project.params.css[1].fontFamilies = {"O'Brien \"Sans\"", "a\\b"};
    // Quotes in a plain value would open a quoted run that swallows the closing ";" on reading.
    project.params.css[2].borderStyle[SideLeft] = "s\\ol\x80"
                                                  "d";
    SiteNode* top = project.tree.insert(project.tree.root(), 0, {all, all});
    SiteNode* node = top;
    for (int i = 0; i < 50; ++i)
        node = project.tree.insert(node, -1, {"  x  \"<b>\"", "a\"b\\c.htm"});
    project.tree.insert(top, -1, {"&#228;&amp;", "\xE4.htm"});
    WriteMenuScript(path("hostile.js"), project, ProgramInfo{});

    ASSERT_EQ(run({"dump", path("hostile.js")}), ExitOk) << err.str();
    writeFile(path("model.json"), out.str());
    writeFile(path("empty.js"), "");
    ASSERT_EQ(run({"build", path("model.json"), path("rebuilt.js"), "--library", path("empty.js")}), ExitOk)
        << err.str();
    EXPECT_EQ(readFile(path("rebuilt.js")), readFile(path("hostile.js")));
}

TEST_F(Cli, DumpReadsTheBaseFirst) {
    Project base;
    sample::makeExampleProject(base);
    WriteMenuScript(path("base.js"), base, ProgramInfo{});
    // A file naming only the options and one entry keeps the base's styles.
    writeFile(path("small.js"), "/* options\r\nistag=true\r\n*/\r\nvar cs = 1;\r\n"
                                "ca[0] = new cr(\"Only\", \"only.htm\", cs, cs, cs);\r\n");
    ASSERT_EQ(run({"dump", path("small.js"), "--base", path("base.js")}), ExitOk) << err.str();
    const std::string json = out.str();
    EXPECT_NE(json.find("\"isTag\": true"), std::string::npos);
    EXPECT_NE(json.find("\"fontFamilies\": [\"Times New Roman\", \"Times\", \"serif\"]"), std::string::npos);
    EXPECT_NE(json.find("{\"text\": \"Only\", \"file\": \"only.htm\", \"children\": []}"), std::string::npos);
    EXPECT_EQ(json.find("Produkte"), std::string::npos);

    ASSERT_EQ(run({"dump", path("small.js")}), ExitOk);
    EXPECT_NE(out.str().find("\"fontFamilies\": []"), std::string::npos);
}

TEST_F(Cli, UsageErrorsExitWithTwo) {
    EXPECT_EQ(run({"--help"}), ExitOk);
    EXPECT_NE(out.str().find("quilso-cli build MODEL.json OUT"), std::string::npos);
    EXPECT_NE(out.str().find("quilso-cli publish PROJECT.js"), std::string::npos);
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"print", "a.js"},
        {"dump"},
        {"dump", "a.js", "b.js"},
        {"dump", "a.js", "--library", "lib.js"},
        {"dump", "a.js", "--base"},
        {"build", "m.json"},
        {"build", "m.json", "out.js", "--base", "b.js"},
        {"resave", "a.js", "b.js", "--base", "x", "--base", "y"},
        {"--help", "dump"},
    };
    for (const auto& args : bad) {
        EXPECT_EQ(run(args), ExitUsage) << (args.empty() ? "" : args[0]);
        EXPECT_NE(err.str().find("Usage:"), std::string::npos);
        EXPECT_EQ(out.str(), "");
    }
}

// The help is the list users and the manual page go by: each command it names must be one the
// parser knows, and --version answers without a command.
TEST_F(Cli, HelpNamesOnlyKnownCommandsAndVersionAnswers) {
    ASSERT_EQ(run({"--help"}), ExitOk);
    std::istringstream help(out.str());
    std::vector<std::pair<std::string, bool>> commands; // and whether it takes arguments
    const std::string prefix = "  quilso-cli ";
    for (std::string line; std::getline(help, line);) {
        if (line.rfind(prefix, 0) != 0 || line.compare(prefix.size(), 1, "-") == 0) continue;
        const auto end = line.find(' ', prefix.size());
        commands.emplace_back(line.substr(prefix.size(), end - prefix.size()), end != std::string::npos);
    }
    EXPECT_GE(commands.size(), 3u) << out.str();
    for (const auto& [command, takesArguments] : commands) {
        EXPECT_EQ(run({command}), takesArguments ? ExitUsage : ExitOk) << command;
        EXPECT_EQ(err.str().find("Unbekannter Befehl"), std::string::npos) << command << ": " << err.str();
        if (!takesArguments) {
            EXPECT_EQ(run({command, "extra"}), ExitUsage) << command;
        }
    }

    ASSERT_EQ(run({"--version"}), ExitOk);
    EXPECT_EQ(out.str(), std::string("quilso-cli ") + QUILSO_VERSION + "\n");
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(run({"--version", "dump"}), ExitUsage);
}

TEST_F(Cli, BadModelsExitWithTwoAndWriteNothing) {
    for (const char* model :
         {"{\"tree\": [", "{\"tree\": [{\"text\": \"\\u0152 ok \\u2192 not\"}]}", "{\"isTag\": 1}"}) {
        writeFile(path("model.json"), model);
        EXPECT_EQ(run({"build", path("model.json"), path("out.js")}), ExitUsage) << model;
        EXPECT_NE(err.str().find("quilso-cli: "), std::string::npos);
        EXPECT_FALSE(fs::exists(path("out.js")));
    }
}

TEST_F(Cli, FileErrorsExitWithOneAndNameTheFile) {
    EXPECT_EQ(run({"dump", path("missing.js")}), ExitFileError);
    EXPECT_NE(err.str().find(path("missing.js")), std::string::npos);
    EXPECT_EQ(err.str(), "quilso-cli: " + path("missing.js") + ": Datei oder Verzeichnis nicht gefunden\n");
    EXPECT_EQ(out.str(), "");

    EXPECT_EQ(run({"build", path("missing.json"), path("out.js")}), ExitFileError);
    writeFile(path("model.json"), "{}");
    EXPECT_EQ(run({"build", path("model.json"), path("out.js"), "--library", path("nolib.js")}),
              ExitFileError);
    EXPECT_NE(err.str().find("nolib.js"), std::string::npos);
    EXPECT_EQ(run({"build", path("model.json"), path("no/such/dir/out.js")}), ExitFileError);
    EXPECT_EQ(err.str(),
              "quilso-cli: " + path("no/such/dir/out.js") + ": Datei oder Verzeichnis nicht gefunden\n");
    EXPECT_EQ(run({"build", path("model.json"), path("model.json/out.js")}), ExitFileError);
    EXPECT_EQ(err.str(),
              "quilso-cli: " + path("model.json/out.js") + ": Ein Teil des Pfades ist kein Verzeichnis\n");
    EXPECT_EQ(run({"dump", dir.string()}), ExitFileError);
    EXPECT_EQ(err.str(), "quilso-cli: " + dir.string() + ": Ist ein Verzeichnis\n");
    EXPECT_EQ(run({"resave", path("missing.js"), path("out.js")}), ExitFileError);
    EXPECT_FALSE(fs::exists(path("out.js")));
    // The old file survives a failed resave over it.
    writeFile(path("out.js"), "old");
    EXPECT_EQ(run({"resave", path("missing.js"), path("out.js")}), ExitFileError);
    EXPECT_EQ(readFile(path("out.js")), "old");
}

TEST_F(Cli, ShippedLibraryBesideTheProgramOrInShare) {
    writeFile(path("model.json"), "{}");
    auto tail = [&](const char* out) {
        const std::string text = readFile(path(out));
        return text.substr(text.rfind("}\r\n\r\n") + 5);
    };
    ASSERT_EQ(run({"build", path("model.json"), path("none.js")}), ExitOk) << err.str();
    EXPECT_EQ(tail("none.js"), "");

    fs::create_directories(dir / "share" / "quilso");
    writeFile(dir / "share" / "quilso" / "quilso_functions.js", "// installed\n");
    ASSERT_EQ(run({"build", path("model.json"), path("shared.js")}), ExitOk) << err.str();
    EXPECT_EQ(tail("shared.js"), "// installed\r\n");

    writeFile(programDir / "quilso_functions.js", "// beside\r\nfunction cr() {}");
    ASSERT_EQ(run({"build", path("model.json"), path("beside.js")}), ExitOk) << err.str();
    EXPECT_EQ(tail("beside.js"), "// beside\r\nfunction cr() {}\r\n");

    writeFile(path("own.js"), "// own");
    ASSERT_EQ(run({"build", path("model.json"), path("own_out.js"), "--library", path("own.js")}), ExitOk);
    EXPECT_EQ(tail("own_out.js"), "// own\r\n");
}

// Files may not grow past `bytes` while it lives: writing more fails with EFBIG, even for a
// test run by root, whom file modes do not stop.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &saved_); }

private:
    rlimit saved_{};
};

TEST_F(Cli, PublishPrintsOneLinePerPageAndFailsOnlyOnUnwritablePages) {
    const std::string marked = "<!-- quilso:m --><!-- /quilso:m -->";
    writeFile(path("model.json"), "{\"tree\": [{\"text\": \"Start\", \"file\": \"index.htm\"},"
                                  " {\"text\": \"Unter\", \"file\": \"sub/\", \"children\": ["
                                  "  {\"text\": \"Offen\", \"file\": \"sub/offen.htm\"},"
                                  "  {\"text\": \"Fehlt\", \"file\": \"sub/fehlt.htm\"}]},"
                                  " {\"text\": \"Gro\\u00df\", \"file\": \"gro\\u00df.htm\"}]}");
    ASSERT_EQ(run({"build", path("model.json"), path("menu.js")}), ExitOk) << err.str();
    writeFile(path("index.htm"), marked);
    fs::create_directories(dir / "sub");
    writeFile(path("sub/index.htm"), "<p>ohne</p>");
    writeFile(path("sub/offen.htm"), "<!-- quilso:m -->");

    EXPECT_EQ(run({"publish", path("menu.js")}), ExitOk) << err.str();
    EXPECT_EQ(out.str(), "written   index.htm\n"
                         "skipped   sub/index.htm (no marker comments)\n"
                         "skipped   sub/offen.htm (<!-- quilso:m --> without its end marker)\n"
                         "skipped   sub/fehlt.htm (not found)\n"
                         "skipped   gro\xC3\x9F.htm (not found)\n" // file names as the system spells them
                         "5 pages: 1 written, 0 unchanged, 4 skipped, 0 failed\n");
    EXPECT_EQ(err.str(), "");
    EXPECT_NE(readFile(path("index.htm")).find("id=\"m_selected\""), std::string::npos);

    // A page whose new content cannot be written: reported, the others still done.
    const std::string large = "<!-- quilso:css --><!-- /quilso:css -->" + marked;
    writeFile(dir / "gro\xC3\x9F.htm", large);
    writeFile(path("sub/offen.htm"), marked);
    {
        const FileSizeLimit limit(2048);
        EXPECT_EQ(run({"publish", path("menu.js")}), ExitFileError);
    }
    EXPECT_EQ(out.str(), "unchanged index.htm\n"
                         "skipped   sub/index.htm (no marker comments)\n"
                         "written   sub/offen.htm\n"
                         "skipped   sub/fehlt.htm (not found)\n"
                         "failed    gro\xC3\x9F.htm (cannot write: Datei zu groß)\n"
                         "5 pages: 1 written, 1 unchanged, 2 skipped, 1 failed\n");
    EXPECT_EQ(readFile(dir / "gro\xC3\x9F.htm"), large);

    EXPECT_EQ(run({"publish"}), ExitUsage);
    EXPECT_EQ(run({"publish", path("missing.js")}), ExitFileError);
    EXPECT_NE(err.str().find(path("missing.js")), std::string::npos);
}

// ---- output that cannot be written, endless input, memory and file-size limits ----

namespace {

// A stream that takes nothing, as standard output on a full disk does.
struct FullBuffer : std::streambuf {
    int overflow(int) override { return traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

struct Outcome {
    int status = -1;
    std::string err;
};

// Runs the real program through the shell, with stderr captured; `shell` may set limits first.
Outcome runProgram(const fs::path& dir, const std::string& shell) {
    const fs::path errFile = dir / "stderr.txt";
    const std::string command = "cd '" + dir.string() + "' && CLI='" QUILSO_CLI_PROGRAM "' && " + shell +
                                " 2>'" + errFile.string() + "'";
    Outcome outcome;
    // As a user's shell starts it: a file-size limit ends a program that does not see to it.
    auto* const fileSizeAction = ::signal(SIGXFSZ, SIG_DFL);
    const int status = std::system(command.c_str());
    ::signal(SIGXFSZ, fileSizeAction);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + status;
    outcome.err = readFile(errFile);
    fs::remove(errFile);
    return outcome;
}

} // namespace

TEST_F(Cli, OutputThatCannotBeWrittenExitsWithOne) {
    const std::string golden = (fs::path(QUILSO_WRITER_GOLDEN) / "example.js").string();
    writeFile(path("model.json"), "{}");
    FullBuffer full;
    std::ostream fullOut(&full);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"dump", golden},
                                                 {"--help"},
                                                 {"build", path("model.json"), "-"},
                                                 {"resave", golden, "-"}}) {
        err.str("");
        EXPECT_EQ(RunCli(args, fullOut, err, programDir.string()), ExitFileError) << args[0];
        EXPECT_EQ(err.str(), "quilso-cli: standard output: the output could not be written\n") << args[0];
        fullOut.clear();
    }

    // The program itself, on a device that is always full.
    Outcome run = runProgram(dir, "\"$CLI\" dump '" + golden + "' >/dev/full");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "quilso-cli: standard output: Kein Platz mehr auf dem Datenträger\n");
    run = runProgram(dir, "\"$CLI\" resave '" + golden + "' - --library lib.js >/dev/full");
    EXPECT_EQ(run.status, 1);
    // A file-size limit on standard output is a write error too, not the end of the process.
    writeFile(path("lib.js"), GoldenLibrary);
    run = runProgram(dir, "ulimit -f 4 && \"$CLI\" resave '" + golden + "' - --library lib.js >limited.js");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "quilso-cli: standard output: Datei zu groß\n");
}

TEST_F(Cli, DashAsOutputWritesToStandardOutput) {
    const std::string golden = (fs::path(QUILSO_WRITER_GOLDEN) / "example.js").string();
    writeFile(path("lib.js"), GoldenLibrary);
    ASSERT_EQ(run({"resave", golden, "-", "--library", path("lib.js")}), ExitOk) << err.str();
    EXPECT_TRUE(out.str() == readFile(golden));
    EXPECT_FALSE(fs::exists(path("-")));
    ASSERT_EQ(run({"dump", golden}), ExitOk);
    writeFile(path("model.json"), out.str());
    ASSERT_EQ(run({"build", path("model.json"), "-", "--library", path("lib.js")}), ExitOk) << err.str();
    EXPECT_TRUE(out.str() == readFile(golden));
    // A file of that name is reached as ./-
    ASSERT_EQ(run({"build", path("model.json"), path("-"), "--library", path("lib.js")}), ExitOk);
    EXPECT_TRUE(readFile(path("-")) == readFile(golden));
}

TEST_F(Cli, TargetsThatAreNoFileOrWriteProtectedAreRefused) {
    writeFile(path("model.json"), "{}");
    ASSERT_EQ(::mkfifo(path("fifo.js").c_str(), 0644), 0);
    EXPECT_EQ(run({"build", path("model.json"), path("fifo.js")}), ExitFileError);
    EXPECT_EQ(err.str(), "quilso-cli: „" + path("fifo.js") + "“ ist keine gewöhnliche Datei.\n");
    EXPECT_TRUE(fs::is_fifo(path("fifo.js")));
    writeFile(path("locked.js"), "old");
    fs::permissions(path("locked.js"),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(run({"build", path("model.json"), path("locked.js")}), ExitFileError);
    EXPECT_EQ(err.str(), "quilso-cli: Die Datei „" + path("locked.js") + "“ ist schreibgeschützt.\n");
    EXPECT_EQ(readFile(path("locked.js")), "old");
}

TEST_F(Cli, EndlessInputAndMemoryOrFileSizeLimitsEndWithAMessage) {
    // Devices are refused at once; files, pipes and standard input are read.
    writeFile(path("model.json"), "{}");
    struct Case {
        std::vector<std::string> args;
        const char* device;
    };
    const Case cases[] = {
        {{"dump", "/dev/zero"}, "/dev/zero"},
        {{"dump", "/dev/urandom"}, "/dev/urandom"},
        {{"resave", "/dev/urandom", path("out.js")}, "/dev/urandom"},
        {{"build", "/dev/zero", path("out.js")}, "/dev/zero"},
        {{"build", path("model.json"), path("out.js"), "--library", "/dev/urandom"}, "/dev/urandom"},
    };
    for (const Case& refused : cases) {
        EXPECT_EQ(run(refused.args), ExitFileError) << refused.args[0];
        EXPECT_EQ(err.str(),
                  std::string("quilso-cli: „") + refused.device + "“ ist keine gewöhnliche Datei.\n");
    }
    EXPECT_FALSE(fs::exists(path("out.js")));
    // A pipe is read like a file: a menu script from it opens, anything else is refused as such.
    Outcome run =
        runProgram(dir, "printf '/* application\\r\\n*/\\r\\n' | \"$CLI\" dump /dev/stdin >/dev/null");
    EXPECT_EQ(run.status, 0) << run.err;
    run = runProgram(dir, "head -c 1000 /dev/zero | \"$CLI\" dump /dev/stdin >/dev/null");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "quilso-cli: „/dev/stdin“ ist keine Menüskriptdatei.\n");
    run = runProgram(dir, "head -c 300000000 /dev/zero | \"$CLI\" dump /dev/stdin");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "quilso-cli: /dev/stdin: Zeile zu lang\n");

    // Less memory than the longest line needs: a message, not an abort. AddressSanitizer reserves
    // its shadow memory up front and cannot start under an address-space limit at all.
#ifndef __SANITIZE_ADDRESS__
    run = runProgram(dir, "ulimit -v 120000 && head -c 300000000 /dev/zero | \"$CLI\" dump /dev/fd/0");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "quilso-cli: /dev/fd/0: Nicht genug Arbeitsspeicher\n");
#endif

    // A file-size limit below the file's size: a write error, and no temporary file is left.
    writeFile(path("model.json"), "{}");
    run = runProgram(dir, "ulimit -f 8 && \"$CLI\" build model.json out.js");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "quilso-cli: out.js: Datei zu groß\n");
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"bin", "model.json"}));
}

TEST_F(Cli, AFileASaveLeftHalfRewrittenIsNamedWithItsCompleteCopy) {
    const std::string golden = (fs::path(QUILSO_WRITER_GOLDEN) / "example.js").string();
    writeFile(path("menu.js"), readFile(golden));
    // What a save killed while it rewrote menu.js in place leaves beside it.
    const std::string copy = path(".menu.js.quilso-complete-Ab12Cd");
    writeFile(copy, readFile(golden));
    const std::string message = "quilso-cli: Das Speichern von „" + path("menu.js") +
                                "“ wurde unterbrochen; die Datei ist womöglich unvollständig. Die "
                                "vollständige Fassung liegt in „" +
                                copy + "“.\n";
    writeFile(path("model.json"), "{}");
    const std::vector<std::vector<std::string>> commands = {
        {"dump", path("menu.js")},           {"resave", path("menu.js"), path("out.js")},
        {"resave", golden, path("menu.js")}, {"build", path("model.json"), path("menu.js")},
        {"check", path("menu.js")},          {"publish", path("menu.js")},
    };
    for (const auto& args : commands) {
        EXPECT_EQ(run(args), ExitFileError) << args[0];
        EXPECT_EQ(err.str(), message) << args[0];
        EXPECT_EQ(out.str(), "") << args[0];
    }
    EXPECT_FALSE(fs::exists(path("out.js")));
    EXPECT_EQ(readFile(path("menu.js")), readFile(golden));
    EXPECT_TRUE(fs::exists(copy));
}

// The program itself, stopped while it rewrites a file with two names in place: SIGTERM waits
// until the file is whole; after SIGKILL the file is whole or every command names the copy.
TEST_F(Cli, AKilledSaveLeavesTheFileWholeOrNamesItsCompleteCopy) {
    const auto model = [](char letter) {
        std::string json = "{\"tree\": [";
        for (int i = 0; i < 60000; ++i)
            json += std::string(i ? "," : "") + "{\"text\": \"" + std::string(40, letter) +
                    "\", \"file\": \"p" + std::to_string(i) + ".htm\"}";
        return json + "]}";
    };
    writeFile(path("old.json"), model('o'));
    writeFile(path("new.json"), model('n'));
    writeFile(path("lib.js"), GoldenLibrary);
    ASSERT_EQ(run({"build", path("new.json"), path("new.js"), "--library", path("lib.js")}), ExitOk);
    const std::string after = readFile(path("new.js"));
    ASSERT_EQ(run({"build", path("old.json"), path("menu.js"), "--library", path("lib.js")}), ExitOk);
    const std::string before = readFile(path("menu.js"));
    fs::create_hard_link(path("menu.js"), path("link.js"));
    for (const int signal : {SIGTERM, SIGKILL}) {
        for (int delay = 0; delay < 1600; delay += 400) {
            ASSERT_EQ(run({"build", path("old.json"), path("menu.js"), "--library", path("lib.js")}), ExitOk)
                << err.str();
            const int watch = ::inotify_init1(IN_CLOEXEC);
            ASSERT_GE(::inotify_add_watch(watch, path("menu.js").c_str(), IN_MODIFY), 0);
            std::fflush(nullptr);
            const pid_t pid = ::fork();
            if (pid == 0) {
                ::execl(QUILSO_CLI_PROGRAM, "quilso-cli", "build", path("new.json").c_str(),
                        path("menu.js").c_str(), "--library", path("lib.js").c_str(),
                        static_cast<char*>(nullptr));
                ::_exit(127);
            }
            pollfd event{watch, POLLIN, 0};
            if (::poll(&event, 1, 20000) == 1) {
                char buffer[4096];
                (void)!::read(watch, buffer, sizeof buffer);
            }
            ::usleep(static_cast<useconds_t>(delay));
            ::kill(pid, signal);
            ::waitpid(pid, nullptr, 0);
            ::close(watch);
            std::vector<fs::path> copies;
            for (const auto& entry : fs::directory_iterator(dir))
                if (entry.path().filename().string().starts_with(".menu.js.quilso-complete-"))
                    copies.push_back(entry.path());
            if (copies.empty()) {
                EXPECT_TRUE(readFile(path("link.js")) == after) << signal << ", " << delay << " µs";
                continue;
            }
            EXPECT_EQ(signal, SIGKILL) << delay << " µs";
            EXPECT_EQ(run({"dump", path("menu.js")}), ExitFileError);
            EXPECT_NE(err.str().find("wurde unterbrochen"), std::string::npos) << err.str();
            // The other name leads there too while the file is not whole.
            const std::string seen = readFile(path("link.js"));
            if (seen != after && seen != before) {
                EXPECT_EQ(run({"dump", path("link.js")}), ExitFileError);
                EXPECT_NE(err.str().find("wurde unterbrochen"), std::string::npos) << err.str();
            }
            // Taken back by hand: the copy is the new file.
            ASSERT_EQ(copies.size(), 1u);
            EXPECT_TRUE(readFile(copies[0]) == after);
            fs::remove(copies[0]);
        }
    }
    EXPECT_TRUE(readFile(path("link.js")) == readFile(path("menu.js")));
}

TEST_F(Cli, FilesThatAreNoMenuScriptExitWithOneAndReplaceNothing) {
    writeFile(path("index.htm"), "<!DOCTYPE html>\n<html><body><p>Hallo</p></body></html>\n");
    writeFile(path("zeros.js"), std::string(100000, '\0'));
    for (const char* name : {"index.htm", "zeros.js"}) {
        EXPECT_EQ(run({"dump", path(name)}), ExitFileError) << name;
        EXPECT_EQ(err.str(), "quilso-cli: „" + path(name) + "“ ist keine Menüskriptdatei.\n");
        EXPECT_EQ(out.str(), "");
    }
    writeFile(path("out.js"), "old");
    EXPECT_EQ(run({"resave", path("index.htm"), path("out.js")}), ExitFileError);
    EXPECT_EQ(readFile(path("out.js")), "old");
    // An empty file holds nothing to lose.
    writeFile(path("empty.js"), "");
    EXPECT_EQ(run({"dump", path("empty.js")}), ExitOk);
}

TEST_F(Cli, DroppedLinesArePrintedOneLinePerKind) {
    std::string lines = "/* options\r\nistag=false\r\n*/\r\n";
    for (int i = 0; i < 7; ++i)
        lines += "ca[" + std::to_string(i) + "] = new cr(\"a\", \"a.htm\", cs, 0, cs);\r\n";
    lines += "ca[7] = new cr(\"a\", \"a.htm\", cs, cs, 99999999999);\r\n";
    writeFile(path("lost.js"), lines);
    EXPECT_EQ(run({"dump", path("lost.js")}), ExitOk);
    EXPECT_EQ(err.str(), "quilso-cli: " + path("lost.js") +
                             ": 1 Menüzeile nicht gelesen (keine gültige Menüzeile): Zeile 11.\n"
                             "quilso-cli: " +
                             path("lost.js") +
                             ": 7 Einträge nicht in den Baum übernommen (kein Eintrag der obersten Ebene): "
                             "Zeilen 4, 5, 6, 7, 8 und 2 weitere.\n");
}

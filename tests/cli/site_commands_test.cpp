#include "cli.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace quilso;
namespace fs = std::filesystem;

namespace {

class SiteCommands : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quilso_site_cli_XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        site = dir / "site";
        put("index.htm", "<title>Start</title><script src=\"menu.js\"></script>");
        put("termine/index.htm", "<title>Termine</title><script src=\"../menu.js\"></script>");
        put("termine/2027.htm", "<title>Termine 2027</title><script src=\"../menu.js\"></script>");
        put(".intern/notizen.htm", "");
    }
    void TearDown() override { fs::remove_all(dir); }

    void put(const std::string& relative, std::string_view bytes) {
        const fs::path path = site / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
    int run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return RunCli(args, out, err, (dir / "bin").string());
    }
    int import() { return run({"import", site.string(), project(), "--base", QUILSO_DEFAULT_JS}); }
    std::string project() const { return (site / "menu.js").string(); }

    fs::path dir, site;
    std::ostringstream out, err;
};

TEST_F(SiteCommands, ImportedSiteChecksCleanUntilAPageGoes) {
    ASSERT_EQ(import(), ExitOk) << err.str();
    EXPECT_EQ(out.str(), project() + ": 3 pages, 1 folder, 1 skipped\n");
    ASSERT_EQ(run({"dump", project()}), ExitOk);
    const auto tree = nlohmann::json::parse(out.str())["tree"];
    ASSERT_EQ(tree.size(), 2u);
    EXPECT_EQ(tree[1]["text"], "Termine");
    EXPECT_EQ(tree[1]["file"], "termine/index.htm");
    EXPECT_EQ(tree[1]["children"][0]["file"], "termine/2027.htm");

    // Nothing broken: whatever the shipped colours give is reported but does not fail the check,
    // unless every finding is to count.
    ASSERT_EQ(run({"check", project()}), ExitOk) << err.str();
    const std::string contrasts = out.str();
    std::istringstream lines(contrasts);
    for (std::string line; std::getline(lines, line);)
        EXPECT_NE(line.find(": Kontrast "), std::string::npos) << line;
    EXPECT_EQ(run({"check", project(), "--strict"}), contrasts.empty() ? ExitOk : ExitFileError);

    fs::remove(site / "termine" / "2027.htm");
    put("alt.htm", "");
    EXPECT_EQ(run({"check", project()}), ExitFileError);
    EXPECT_EQ(out.str(), "Termine › Termine 2027: Datei nicht gefunden: termine/2027.htm\n"
                         "Seite in keinem Menü: alt.htm\n" +
                             contrasts);
    EXPECT_EQ(err.str(), "");

    ASSERT_EQ(run({"check", project(), "--json"}), ExitFileError);
    const auto json = nlohmann::json::parse(out.str());
    EXPECT_EQ(json["broken"], true);
    const auto& first = json["findings"][0];
    EXPECT_EQ(first["kind"], "missing-page");
    EXPECT_EQ(first["entry"], 2);
    EXPECT_EQ(first["where"], "Termine › Termine 2027");
    EXPECT_EQ(first["file"], "termine/2027.htm");
    EXPECT_EQ(json["findings"][1]["kind"], "unlinked-page");
    EXPECT_FALSE(json["findings"][1].contains("entry"));
    for (std::size_t i = 2; i < json["findings"].size(); ++i) {
        const auto& contrast = json["findings"][i];
        EXPECT_EQ(contrast["kind"], "low-contrast");
        EXPECT_LT(contrast["ratio"].get<double>(), 4.5);
        EXPECT_EQ(contrast["color"].get<std::string>().size(), 6u);
    }
}

TEST_F(SiteCommands, PublishListsPagesInNoMenuAndMarkersThatAreNoComments) {
    ASSERT_EQ(import(), ExitOk) << err.str();
    const std::string markers = "<!-- quilso:m --><!-- /quilso:m -->";
    put("index.htm", "<title>Start</title>" + markers);
    put("termine/2027.htm", "<script>var menu = '" + markers + "';</script>");
    put("danke.htm", markers);
    ASSERT_EQ(run({"publish", project()}), ExitOk) << err.str();
    EXPECT_EQ(out.str(), "written   index.htm\n"
                         "skipped   termine/index.htm (no marker comments)\n"
                         "skipped   termine/2027.htm (<!-- quilso:m --> im Inhalt von <script>, nicht als "
                         "Kommentar der Seite)\n"
                         "written   danke.htm (in keinem Menü)\n"
                         "4 pages: 2 written, 0 unchanged, 2 skipped, 0 failed\n");
}

TEST_F(SiteCommands, SiteFolderOption) {
    ASSERT_EQ(import(), ExitOk) << err.str();
    fs::create_directories(dir / "leer");
    EXPECT_EQ(run({"check", project(), "--site", (dir / "leer").string()}), ExitFileError);
    EXPECT_NE(out.str().find("Start: Datei nicht gefunden: index.htm\n"), std::string::npos);
    EXPECT_EQ(run({"check", project(), "--site=" + site.string()}), ExitOk);
}

TEST_F(SiteCommands, UsageAndFileErrors) {
    ASSERT_EQ(import(), ExitOk) << err.str();
    const std::vector<std::vector<std::string>> usage = {
        {"check"},
        {"check", project(), "extra.js"},
        {"check", project(), "--json", "--json"},
        {"check", project(), "--site"},
        {"check", project(), "--base", "x.js"},
        {"check", project(), "--site", (dir / "fehlt").string()},
        {"import", site.string()},
        {"import", site.string(), project(), "--json"},
    };
    for (const auto& args : usage) {
        EXPECT_EQ(run(args), ExitUsage) << args.back();
        EXPECT_EQ(out.str(), "");
    }
    // Exit status 1 is kept for broken links, so an unreadable project is a usage error, told
    // by the message alone.
    EXPECT_EQ(run({"check", (dir / "fehlt.js").string()}), ExitUsage);
    EXPECT_EQ(err.str(),
              "quilso-cli: " + (dir / "fehlt.js").string() + ": Datei oder Verzeichnis nicht gefunden\n");
    EXPECT_EQ(run({"check", project(), "--site", (dir / "fehlt").string()}), ExitUsage);
    EXPECT_EQ(err.str(), "quilso-cli: " + (dir / "fehlt").string() + ": kein Ordner\n");

    EXPECT_EQ(run({"import", (dir / "fehlt").string(), project(), "--base", QUILSO_DEFAULT_JS}),
              ExitFileError);
    EXPECT_NE(err.str().find((dir / "fehlt").string()), std::string::npos);
    // Without --base the shipped default project must be found beside the program.
    EXPECT_EQ(run({"import", site.string(), (dir / "neu.js").string()}), ExitFileError);
    EXPECT_NE(err.str().find("default.js"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "neu.js"));
}

// The parser names what is wrong in German, and an option it does not know is not taken for one
// that needs a value.
TEST_F(SiteCommands, UsageErrorsNameTheFault) {
    ASSERT_EQ(import(), ExitOk) << err.str();
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"check", project(), "--bogus"}, "Unbekannte Option: --bogus"},
        {{"check", project(), "--bogus=1"}, "Unbekannte Option: --bogus"},
        {{"check", "--bogus", project()}, "Unbekannte Option: --bogus"},
        {{"check", project(), "--base", "x.js"}, "Unbekannte Option: --base"},
        {{"check", project(), "--site"}, "Option --site braucht einen Wert"},
        {{"check", project(), "--json", "--json"}, "Option --json ist doppelt angegeben"},
        {{"check", project(), "--site=a", "--site=b"}, "Option --site ist doppelt angegeben"},
        {{"check"}, "check erwartet 1 Dateinamen"},
        {{"import", site.string()}, "import erwartet 2 Dateinamen"},
        {{"frobnicate"}, "Unbekannter Befehl: frobnicate"},
        {{"check", project(), "--site", (dir / "fehlt").string()},
         (dir / "fehlt").string() + ": kein Ordner"},
    };
    for (const auto& [args, message] : cases) {
        EXPECT_EQ(run(args), ExitUsage) << message;
        EXPECT_EQ(err.str().substr(0, err.str().find('\n')), "quilso-cli: " + message);
        EXPECT_EQ(out.str(), "");
    }
}

// One finding, one line: the control characters of a text or file name are shown escaped in the
// text form, and by JSON's own rules in the JSON form.
TEST_F(SiteCommands, EveryFindingIsOneLine) {
    put("menu.js",
        "ca[0] = new cr(\"B\\xf6se\\x0aZeile\", \"javascript:\\x09alert(1)\\x0d\\x0a.htm\", 1, cs, cs);\r\n"
        "ca[1] = new cr(\"Tab\\x81\", \"fehlt\\x09\\x1bhier\\x7f.htm\", cs, cs, cs);\r\n");
    ASSERT_EQ(run({"check", project()}), ExitFileError) << err.str();
    const std::string text = out.str();
    EXPECT_EQ(text.substr(0, text.find("Seite in keinem")),
              "Böse\\nZeile: Unsichere Adresse: javascript:\\talert(1)\\r\\n.htm\n"
              "Tab\\u0081: Datei nicht gefunden: fehlt\\t\\x1Bhier\\x7F.htm\n");

    ASSERT_EQ(run({"check", project(), "--json"}), ExitFileError) << err.str();
    const auto json = nlohmann::json::parse(out.str());
    EXPECT_EQ(json["broken"], true);
    ASSERT_GE(json["findings"].size(), 2u);
    EXPECT_EQ(json["findings"][0]["where"], "Böse\nZeile");
    EXPECT_EQ(json["findings"][0]["file"], "javascript:\talert(1)\r\n.htm");
    EXPECT_EQ(json["findings"][1]["where"], "Tab\u0081");
    EXPECT_EQ(json["findings"][1]["file"], "fehlt\t\x1bhier\x7f.htm");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<long>(json["findings"].size()));
}

TEST_F(SiteCommands, AnUnreadableFolderIsSkippedOnce) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs to switch to another user";
    put("geheim/seite.htm", "<title>Geheim</title>");
    fs::permissions(site / "geheim", fs::perms::none);
    fs::permissions(dir, fs::perms::all);
    fs::permissions(site, fs::perms::all);
    // Where the other user can read it, whichever folder the sources are in.
    fs::copy_file(QUILSO_DEFAULT_JS, dir / "default.js");
    std::fflush(nullptr);
    // The folder is unreadable only for a user without privileges.
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(5);
        const int status = run({"import", site.string(), project(), "--base", (dir / "default.js").string()});
        std::fprintf(stderr, "%s%s", out.str().c_str(), err.str().c_str());
        ::_exit(status == ExitOk && out.str() == project() + ": 3 pages, 1 folder, 2 skipped\n" ? 0 : 6);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    fs::permissions(site / "geheim", fs::perms::owner_all);
}

} // namespace

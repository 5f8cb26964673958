#include "cli.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

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
    // Exit status 1 is kept for broken links, so an unreadable project is a usage error.
    EXPECT_EQ(run({"check", (dir / "fehlt.js").string()}), ExitUsage);
    EXPECT_NE(err.str().find("fehlt.js"), std::string::npos);

    EXPECT_EQ(run({"import", (dir / "fehlt").string(), project(), "--base", QUILSO_DEFAULT_JS}),
              ExitFileError);
    EXPECT_NE(err.str().find((dir / "fehlt").string()), std::string::npos);
    // Without --base the shipped default project must be found beside the program.
    EXPECT_EQ(run({"import", site.string(), (dir / "neu.js").string()}), ExitFileError);
    EXPECT_NE(err.str().find("default.js"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "neu.js"));
}

} // namespace

#include "cli.h"
#include "looks.h"
#include "model_json.h"
#include "reader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

using namespace quilso;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::unique_ptr<Project> readProject(const fs::path& file) {
    auto project = std::make_unique<Project>();
    ReadObserver ignore;
    ReadProjectFile(file.string(), *project, ignore);
    return project;
}

// The site tree part of the JSON form.
std::string treeJson(const Project& project) {
    const std::string json = ProjectToJson(project);
    return json.substr(json.find("\"tree\""));
}

// A program folder with the shipped looks beside it and a user's data folder of its own.
class StylesCommand : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quilso_styles_XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        fs::create_directories(dir / "bin");
        fs::copy(QUILSO_STYLES_DIR, dir / "bin" / "styles");
        userLooks = dir / "data" / "quilso" / "styles";
        ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("XDG_DATA_HOME");
        fs::remove_all(dir);
    }

    int run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return RunCli(args, out, err, (dir / "bin").string());
    }

    // The default project with an entry and the markup option set, saved as project.js.
    fs::path makeProject() {
        const auto owned = readProject(QUILSO_DEFAULT_JS);
        Project& project = *owned;
        project.params.options.isTag = true;
        project.tree.insert(project.tree.root(), -1, SiteEntry{"Start", "index.htm"});
        const fs::path file = dir / "project.js";
        std::ofstream(dir / "model.json") << ProjectToJson(project);
        EXPECT_EQ(run({"build", (dir / "model.json").string(), file.string()}), ExitOk) << err.str();
        return file;
    }

    fs::path dir, userLooks;
    std::ostringstream out, err;
};

} // namespace

TEST_F(StylesCommand, ListsShippedThenOwnLooksWithTheirLowestContrast) {
    const auto weak = readProject(QUILSO_DEFAULT_JS);
    weak->params.css[MenuSub].colorHover = "AAAAAA";
    SaveLook(userLooks, "Blass", weak->params);
    std::ofstream(userLooks / "Kaputt.json") << "{";

    ASSERT_EQ(run({"styles"}), ExitOk) << err.str();
    const std::string listing = out.str();
    EXPECT_NE(listing.find("Hoher Kontrast  mitgeliefert  19,5:1\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("Blass           eigene        2,0:1 (unter 4,5:1)\n"), std::string::npos)
        << listing;
    EXPECT_NE(listing.find("Kaputt          eigene        nicht lesbar: "), std::string::npos) << listing;
    // Shipped ones first, each group by name.
    EXPECT_LT(listing.find("Unterstrichen"), listing.find("Blass"));
    EXPECT_LT(listing.find("Dunkel"), listing.find("Hell"));
}

TEST_F(StylesCommand, RestyleChangesTheStylesAndNothingElse) {
    const fs::path project = makeProject();
    const auto before = readProject(project);
    const std::string original = readFile(project);

    // Into another file: the project itself stays as it was.
    ASSERT_EQ(run({"restyle", project.string(), "Seitenleiste", (dir / "side.js").string()}), ExitOk)
        << err.str();
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(readFile(project), original);
    const std::vector<Look> looks = ListLooks(dir / "bin" / "styles", {});
    const Look* side = FindLook(looks, "Seitenleiste");
    ASSERT_NE(side, nullptr);
    const auto restyled = readProject(dir / "side.js");
    for (int k = 0; k < MenuKindCount; ++k)
        EXPECT_EQ(restyled->params.css[k], side->css[k]) << k;
    EXPECT_TRUE(restyled->params.options.isTag);
    EXPECT_EQ(treeJson(*restyled), treeJson(*before));

    // In place, and back again with the default look: the same bytes as at the start.
    ASSERT_EQ(run({"restyle", project.string(), "Dunkel"}), ExitOk) << err.str();
    EXPECT_NE(readFile(project), original);
    ASSERT_EQ(run({"restyle", project.string(), "Standard"}), ExitOk) << err.str();
    EXPECT_EQ(readFile(project), original);
}

TEST_F(StylesCommand, RestyleRefusesWhatItCannotApplyAndWarnsOfWeakContrast) {
    const fs::path project = makeProject();
    const std::string original = readFile(project);
    EXPECT_EQ(run({"restyle", project.string(), "Gibt es nicht"}), ExitUsage);
    EXPECT_NE(err.str().find("Keine Stilvorlage \xE2\x80\x9EGibt es nicht\xE2\x80\x9C"), std::string::npos)
        << err.str();
    EXPECT_EQ(run({"restyle", project.string()}), ExitUsage);
    EXPECT_EQ(run({"restyle", project.string(), "Hell", "a.js", "b.js"}), ExitUsage);

    fs::create_directories(userLooks);
    std::ofstream(userLooks / "Kaputt.json") << "{\"css\": []}";
    EXPECT_EQ(run({"restyle", project.string(), "Kaputt"}), ExitFileError);
    EXPECT_NE(err.str().find("Kaputt.json"), std::string::npos) << err.str();
    EXPECT_EQ(readFile(project), original);

    const auto weak = readProject(QUILSO_DEFAULT_JS);
    weak->params.css[MenuMain].colorHover = "AAAAAA";
    SaveLook(userLooks, "Blass", weak->params);
    ASSERT_EQ(run({"restyle", project.string(), "Blass"}), ExitOk) << err.str();
    EXPECT_NE(err.str().find("Warnung: Haupt-Men\xC3\xBC, Hover/Fokus: Kontrast 2,3:1"), std::string::npos)
        << err.str();
}

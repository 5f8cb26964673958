#include "file_io.h"
#include "link_check.h"
#include "looks.h"
#include "model_json.h"
#include "reader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <set>

using namespace quilso;
namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "quilso-looks-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::vector<Look> shippedLooks() {
    return ListLooks(QUILSO_STYLES_DIR, {});
}

// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

} // namespace

// Every shipped look is readable in every menu and state: no contrast finding at all, the sub
// menu inside the main menu included.
TEST(Looks, EveryShippedLookMeetsTheContrastRule) {
    const auto looks = shippedLooks();
    ASSERT_GE(looks.size(), 8u);
    for (const Look& look : looks) {
        SCOPED_TRACE(look.name);
        ASSERT_TRUE(look.usable()) << look.error;
        ProjectParams params;
        ApplyLook(look, params);
        for (const Finding& finding : CheckContrasts(params))
            ADD_FAILURE() << finding.where << ": " << finding.message;
        EXPECT_GE(LowestContrast(look.css), MinimumContrast);
        std::cout << "[ look     ] " << look.name << ": lowest contrast "
                  << FormatRatio(LowestContrast(look.css)) << "\n";
    }
}

// The looks differ in character: no two share all three records, and the default is one of them.
TEST(Looks, ShippedLooksDifferAndIncludeTheDefault) {
    const auto looks = shippedLooks();
    for (std::size_t a = 0; a < looks.size(); ++a)
        for (std::size_t b = a + 1; b < looks.size(); ++b)
            for (int k = 0; k < MenuKindCount; ++k)
                EXPECT_NE(looks[a].css[k], looks[b].css[k])
                    << looks[a].name << " / " << looks[b].name << " " << k;
    Project fresh;
    ReadObserver ignore;
    ReadProjectFile(QUILSO_DEFAULT_JS, fresh, ignore);
    const Look* standard = FindLook(looks, "Standard");
    ASSERT_NE(standard, nullptr);
    for (int k = 0; k < MenuKindCount; ++k)
        EXPECT_EQ(standard->css[k], fresh.params.css[k]) << k;
}

// Each file holds exactly what StylesToJson writes for it, so a look saved by the program and
// a shipped one are the same kind of file.
TEST(Looks, ShippedFilesAreInTheStoredForm) {
    for (const Look& look : shippedLooks()) {
        SCOPED_TRACE(look.name);
        EXPECT_EQ(ReadFileBytes(look.file.string()), StylesToJson(look.css));
    }
}

TEST(Looks, ApplyingReplacesTheStylesOnly) {
    Project project;
    ReadObserver ignore;
    ReadProjectFile(QUILSO_DEFAULT_JS, project, ignore);
    project.params.options.isTag = true;
    project.tree.insert(project.tree.root(), -1, SiteEntry{"Start", "index.htm"});
    const std::string treeBefore = ProjectToJson(project).substr(ProjectToJson(project).find("\"tree\""));

    const auto looks = shippedLooks();
    const Look* dark = FindLook(looks, "Dunkel");
    ASSERT_NE(dark, nullptr);
    ApplyLook(*dark, project.params);
    for (int k = 0; k < MenuKindCount; ++k)
        EXPECT_EQ(project.params.css[k], dark->css[k]);
    EXPECT_TRUE(project.params.options.isTag);
    EXPECT_EQ(ProjectToJson(project).substr(ProjectToJson(project).find("\"tree\"")), treeBefore);
}

TEST(Looks, StylesFormRefusesWhatIsNotALook) {
    MenuStyle css[MenuKindCount];
    css[0].color = "123456";
    const std::string good = StylesToJson(css);
    const struct {
        std::string json;
        const char* says;
    } cases[] = {
        {"[]", "expected an object"},
        {"{}", "expected the key css"},
        {"{\"css\": [{}, {}]}", "expected 3 elements"},
        {"{\"isTag\": true, " + good.substr(1), "unknown key"},
        {good.substr(0, good.size() - 3) + ", \"tree\": []}", "unknown key"},
        {"{\"css\": [{\"colour\": \"\"}, {}, {}]}", "css[0].colour: unknown key"},
        {"{\"css\": [{}, {}, {\"color\": \"\xE2\x82\xAC\xE2\x9C\x93\"}]}", "Windows-1252"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        MenuStyle target[MenuKindCount];
        target[0].color = "kept";
        try {
            StylesFromJson(c.json, target);
            ADD_FAILURE() << "accepted";
        } catch (const ModelError& e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
        }
        EXPECT_EQ(target[0].color, "kept");
    }
    MenuStyle back[MenuKindCount];
    StylesFromJson(good, back);
    EXPECT_EQ(back[0].color, "123456");
}

// The user's looks: saved, listed after the shipped ones, renamed, removed; a broken file stays
// in the list with its reason.
TEST(Looks, UsersOwnLooks) {
    TempDir dir;
    const fs::path user = dir.path() / "quilso" / "styles";
    Project project;
    ReadObserver ignore;
    ReadProjectFile(QUILSO_DEFAULT_JS, project, ignore);
    project.params.css[MenuMain].color = "222222";
    SaveLook(user,
             "Meine \xC3\x9C"
             "bersicht",
             project.params);
    {
        std::ofstream broken(user / "Kaputt.json");
        broken << "{\"css\": [";
    }
    std::ofstream(user / "notes.txt") << "not a look";

    auto looks = ListLooks(QUILSO_STYLES_DIR, user);
    const std::size_t shipped = shippedLooks().size();
    ASSERT_EQ(looks.size(), shipped + 2);
    EXPECT_TRUE(looks[shipped - 1].builtIn);
    EXPECT_EQ(looks[shipped].name, "Kaputt");
    EXPECT_FALSE(looks[shipped].usable());
    EXPECT_NE(looks[shipped].error.find("Kaputt.json"), std::string::npos) << looks[shipped].error;
    const Look& own = looks[shipped + 1];
    EXPECT_EQ(own.name, "Meine \xC3\x9C"
                        "bersicht");
    EXPECT_FALSE(own.builtIn);
    EXPECT_EQ(own.css[MenuMain], project.params.css[MenuMain]);

    RenameLook(user, own.name, "Zweite");
    EXPECT_THROW(RenameLook(user, "Zweite", "Kaputt"), FileError);
    EXPECT_THROW(RenameLook(user, "Zweite", "a/b"), FileError);
    RemoveLook(user, "Kaputt");
    looks = ListLooks(QUILSO_STYLES_DIR, user);
    ASSERT_EQ(looks.size(), shipped + 1);
    EXPECT_EQ(looks.back().name, "Zweite");
    EXPECT_THROW(RemoveLook(user, "Kaputt"), FileError);
}

TEST(Looks, NamesTheUserMayGive) {
    for (const char* bad : {"", ".versteckt", " vorne", "a/b", "tab\there"})
        EXPECT_FALSE(LookNameProblem(bad).empty()) << bad;
    EXPECT_FALSE(LookNameProblem(std::string(101, 'x')).empty());
    for (const char* good : {"Mein Blau", "Gr\xC3\xBCn (2)", "x"})
        EXPECT_TRUE(LookNameProblem(good).empty()) << good;
}

TEST(Looks, UserFolderFollowsXdg) {
    {
        ScopedEnv data("XDG_DATA_HOME", "/srv/daten");
        EXPECT_EQ(UserLooksDir(), fs::path("/srv/daten/quilso/styles"));
    }
    ScopedEnv home("HOME", "/home/anna");
    for (const char* ignored : {static_cast<const char*>(nullptr), "", "relativ/pfad"}) {
        ScopedEnv data("XDG_DATA_HOME", ignored);
        EXPECT_EQ(UserLooksDir(), fs::path("/home/anna/.local/share/quilso/styles"));
    }
}

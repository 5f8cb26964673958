// What the observer hears, in which order, and what the model holds when it hears it.
#include "reader_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace quilso;
using namespace quilso::test;

namespace {
class Recorder : public ReadObserver {
public:
    explicit Recorder(const Project& project) : project_(project) {}
    std::vector<std::string> calls;

    void readStarted() override { calls.push_back("start hover=" + project_.params.css[MenuSub].colorHover); }
    void declarationRead(MenuKind kind, BlockKind block, std::string_view property, bool stored) override {
        const MenuStyle& css = project_.params.css[kind];
        std::string call = std::to_string(kind) + "/" + std::to_string(static_cast<int>(block)) + " " +
                           std::string(property) + (stored ? " stored" : " rejected");
        // What a panel would read back at this moment.
        if (property == "left" || property == "right")
            call += " side=" + css.offsetXSide + " unit=" + css.offsetXUnit;
        if (property == "border-left-width") call += " unit=" + css.boxUnit[BoxBorder][SideLeft];
        if (property == "color") call += " colour=" + css.color;
        calls.push_back(call);
    }
    void optionsRead(bool isTag) override {
        calls.push_back(std::string("options ") + (isTag ? "true" : "false") +
                        (project_.params.options.isTag == isTag ? "" : " (model differs)"));
    }
    void blockScanFinished() override { calls.push_back("scan finished"); }
    void treeAboutToBeRebuilt() override {
        calls.push_back("tree before, size " + std::to_string(project_.tree.size()));
    }
    void treeRebuilt() override {
        calls.push_back("tree after, size " + std::to_string(project_.tree.size()));
    }

private:
    const Project& project_;
};
} // namespace

TEST(Observer, ReportsEachRecognisedDeclarationAfterTheModelChanged) {
    Project project;
    project.params.css[MenuSub].colorHover = "ABCDEF";
    project.tree.insert(project.tree.root(), -1, {"old", ""});
    Recorder recorder(project);
    const std::string text =
        "/* options\r\nistag=true\r\n*/\r\n" +
        Block(".quilso_um {",
              {"  /* position */", "  position:static;", "  left:3em;", "  right:far;", "  margin:0px;"}) +
        Block(".quilso_m li {",
              {"  list-style-type:none;", "  border-left-width:2px;", "  margin-middle:1px;"}) +
        Block(".quilso_bc li a {", {"  color:#12345;", "  color:#123456;"}) +
        "ca[0] = new cr(\"A\", \"a\", 1, cs, cs);\r\nca[1] = new cr(\"B\", \"b\", cs, cs, cs);\r\n";
    ReadProjectText(text, project, recorder);
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{
                                  "start hover=",
                                  "options true",
                                  "1/1 position stored",
                                  "1/1 left stored side=left unit=em",
                                  "1/1 right rejected side=right unit=em",
                                  "0/2 border-left-width stored unit=px",
                                  "2/3 color rejected colour=",
                                  "2/3 color stored colour=123456",
                                  "scan finished",
                                  "tree before, size 1",
                                  "tree after, size 2",
                              }));
}

TEST(Observer, AnEmptyTreeIsStillReported) {
    Project project;
    Recorder recorder(project);
    ReadProjectText("nothing here\n", project, recorder);
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"start hover=", "scan finished",
                                                        "tree before, size 0", "tree after, size 0"}));
}

TEST(ReadProjectFile, AFileThatCannotBeReadChangesNothing) {
    Project project;
    project.params.css[MenuMain].colorHover = "FF0000";
    project.tree.insert(project.tree.root(), -1, {"kept", ""});
    Recorder recorder(project);
    const std::string missing =
        (std::filesystem::temp_directory_path() / "quilso-no-such-dir/none.js").string();
    try {
        ReadProjectFile(missing, project, recorder);
        FAIL() << "no error raised";
    } catch (const FileError& error) {
        EXPECT_EQ(error.fileName(), missing);
        EXPECT_FALSE(error.reason().empty());
        EXPECT_NE(std::string(error.what()).find(missing), std::string::npos);
    }
    // A directory opens but cannot be read.
    EXPECT_THROW(ReadProjectFile(std::filesystem::temp_directory_path().string(), project, recorder),
                 FileError);
    EXPECT_TRUE(recorder.calls.empty());
    EXPECT_EQ(project.params.css[MenuMain].colorHover, "FF0000");
    EXPECT_EQ(project.tree.size(), 1u);
}

TEST(ReadProjectFile, ReadsTheSameAsTheBytesInMemory) {
    const auto path = std::filesystem::temp_directory_path() / "quilso-reader-file-test.js";
    const std::string text =
        "/* options\r\nistag=true\r\n*/\r\n" + Block(".quilso_m li {", {"  font-weight:800;"}) +
        "ca[0] = new cr(\"A&#228;\", \"a\", cs, cs, 1);\rca[1] = new cr(\"B\", \"b\", cs, 0, cs);\n";
    std::ofstream(path, std::ios::binary) << text;
    Project fromFile, fromText;
    ReadObserver none;
    ReadProjectFile(path.string(), fromFile, none);
    ReadProjectText(text, fromText, none);
    std::filesystem::remove(path);
    EXPECT_EQ(fromFile.params, fromText.params);
    EXPECT_EQ(Shape(fromFile.tree), Shape(fromText.tree));
    EXPECT_EQ(Shape(fromFile.tree), "A\xE4(a) [B(b)]");
    EXPECT_TRUE(fromFile.params.options.isTag);
}

// Files that are no menu scripts, or menu scripts that lost lines: what the reader refuses and
// what it reports.
#include "reader_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace quilso;
using namespace quilso::test;

namespace {
std::string Golden() {
    std::ifstream in(std::filesystem::path(QUILSO_WRITER_GOLDEN) / "example.js", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string Entry(std::string_view number, std::string_view next, std::string_view parent,
                  std::string_view child) {
    return "ca[" + std::string(number) + "] = new cr(\"Seite\", \"a.htm\", " + std::string(next) + ", " +
           std::string(parent) + ", " + std::string(child) + ");\r\n";
}

class DroppedRecorder : public ReadObserver {
public:
    std::vector<std::string> sentences;
    void linesDropped(const std::vector<DroppedLines>& dropped) override {
        for (const DroppedLines& kind : dropped)
            sentences.push_back(DescribeDroppedLines(kind));
    }
};

// Reads `bytes` from a file over a project holding one entry, as opening a file does.
struct FileRead {
    bool refused = false;
    std::string message;
    std::size_t entries = 0;
    std::vector<std::string> dropped;
};
FileRead ReadAsFile(const std::string& bytes) {
    const auto path =
        std::filesystem::temp_directory_path() / ("quilso-foreign-" + std::to_string(::getpid()) + ".js");
    std::ofstream(path, std::ios::binary) << bytes;
    Project project;
    project.tree.insert(project.tree.root(), -1, {"vorher", "vorher.htm"});
    DroppedRecorder recorder;
    FileRead result;
    try {
        ReadProjectFile(path.string(), project, recorder);
    } catch (const NotMenuScriptError& e) {
        result.refused = true;
        result.message = e.what();
        EXPECT_EQ(e.what(), "„" + path.string() + "“ ist keine Menüskriptdatei.");
    }
    std::filesystem::remove(path);
    result.entries = project.tree.size();
    result.dropped = recorder.sentences;
    return result;
}
} // namespace

TEST(ForeignFiles, AFileWithNothingOfAMenuScriptIsRefusedAndChangesNothing) {
    const std::string golden = Golden();
    // What follows the menu array: the end of a file that lost its beginning.
    const std::string tail = golden.substr(golden.find('\n', golden.rfind("ca[")) + 1);
    const std::string cases[] = {
        "<!DOCTYPE html>\r\n<html><head><title>Start</title>\r\n<style>p { color: red; }</style>\r\n"
        "<script>var c = 'x'; ca = [];</script></head>\r\n<body><p>Hallo</p></body></html>\r\n",
        std::string(4096, '\0'),
        tail,
        "\n",
        "ca = new Array(cs);\r\n/* option */\r\n.quilso_xyz {\r\n",
    };
    for (const std::string& bytes : cases) {
        const FileRead read = ReadAsFile(bytes);
        EXPECT_TRUE(read.refused) << bytes.substr(0, 60);
        EXPECT_EQ(read.entries, 1u) << bytes.substr(0, 60);
    }
}

TEST(ForeignFiles, AnEmptyFileOrOneWithAnyPartOfAMenuScriptOpens) {
    const std::string golden = Golden();
    const std::string options = "/* options\r\nistag=true\r\n*/\r\n";
    const struct {
        std::string bytes;
        std::size_t entries;
    } cases[] = {
        {"", 0},
        {"/* application\r\nprogram=other\r\n", 0},
        {options, 0},
        {Block(".quilso_m li a {", {"  color:#FF0000;"}), 0},
        {Entry("0", "cs", "cs", "cs"), 1},
        {golden.substr(0, golden.find("ca[1]") + 20), 1}, // cut off inside a menu line
        {golden, 3},
    };
    for (const auto& c : cases) {
        const FileRead read = ReadAsFile(c.bytes);
        EXPECT_FALSE(read.refused) << c.bytes.substr(0, 60);
        EXPECT_EQ(read.entries, c.entries) << c.bytes.substr(0, 60);
    }
}

TEST(ForeignFiles, DroppedLinesAreReportedOnceByKindWithTheirFirstLineNumbers) {
    const std::string head = "/* options\r\nistag=false\r\n*/\r\n";
    const std::string tooLong = "99999999999";
    const struct {
        std::string bytes;
        std::vector<std::string> dropped;
    } cases[] = {
        {head + Entry("0", "1", "cs", "cs") + Entry("1", "cs", "cs", "cs"), {}},
        {head + Entry(tooLong, "cs", "cs", "cs") + Entry("1", "cs", "cs", tooLong),
         {"2 Menüzeilen nicht gelesen (keine gültigen Menüzeilen): Zeilen 4, 5."}},
        {head + Entry("0", "1", "1", "cs") + Entry("1", "cs", "0", "cs"),
         {"2 Einträge nicht in den Baum übernommen (kein Eintrag der obersten Ebene): Zeilen 4, 5."}},
        {head + Entry("0", "cs", "0", "cs") + "ca[1] = new cr(\"kaputt\", \"a.htm\", cs, cs);\r\n" +
             Entry("2", "cs", "0", "cs") + Entry("3", "cs", "0", "cs") + Entry("4", "cs", "0", "cs") +
             Entry("5", "cs", "0", "cs") + Entry("6", "cs", "0", "cs") + Entry("7", "cs", "0", "cs"),
         {"1 Menüzeile nicht gelesen (keine gültige Menüzeile): Zeile 5.",
          "7 Einträge nicht in den Baum übernommen (kein Eintrag der obersten Ebene): "
          "Zeilen 4, 6, 7, 8, 9 und 2 weitere."}},
    };
    for (const auto& c : cases) {
        const FileRead read = ReadAsFile(c.bytes);
        EXPECT_FALSE(read.refused);
        EXPECT_EQ(read.dropped, c.dropped) << c.bytes;
    }
}

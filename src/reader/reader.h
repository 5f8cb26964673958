// Reads a menu script file back into the project: style records, options and site tree.
#pragma once

#include "file_io.h"
#include "project.h"
#include "read_observer.h"

#include <string>
#include <string_view>
#include <vector>

namespace quilso {

// A file that is not empty but in which the reader recognised nothing of a menu script: not its
// first line, no style block, no options block and no menu line. Opening it as a project would
// let the next save replace it. what() is the sentence for the user (UTF-8).
class NotMenuScriptError : public FileError {
public:
    explicit NotMenuScriptError(const std::string& fileName);
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// Reads the named file into `project`, overlaying the style values it names and rebuilding the
// tree. Throws FileError before anything changes when the file cannot be read, is not a
// regular file while `kinds` asks for one, or holds a line longer than MaxLineBytes; running
// out of memory is thrown as FileError (OutOfMemory) too, and a file that is no menu script
// as NotMenuScriptError. An empty file reads as one without any line.
void ReadProjectFile(const std::string& fileName, Project& project, ReadObserver& observer,
                     FileKinds kinds = FileKinds::Any);
// The same over bytes already in memory (tests, fuzzing), which are read whatever they hold.
void ReadProjectText(std::string_view bytes, Project& project, ReadObserver& observer);

// The report of dropped lines as one German sentence (UTF-8) naming up to the first five.
std::string DescribeDroppedLines(const DroppedLines& dropped);

// Line-level tools, exposed for tests.
int SplitPieces(std::string_view text, std::string_view separators, std::string_view skipped,
                std::vector<std::string>& pieces);
std::string ExtractCssText(std::string_view line);

} // namespace quilso

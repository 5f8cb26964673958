// Reads a menu script file back into the project: style records, options and site tree.
#pragma once

#include "file_io.h"
#include "project.h"
#include "read_observer.h"

#include <string>
#include <string_view>
#include <vector>

namespace quilso {

// Reads the named file into `project`, overlaying the style values it names and rebuilding the
// tree. Throws FileError before anything changes when the file cannot be read, is not a
// regular file while `kinds` asks for one, or holds a line longer than MaxLineBytes; running
// out of memory is thrown as FileError (OutOfMemory) too.
void ReadProjectFile(const std::string& fileName, Project& project, ReadObserver& observer,
                     FileKinds kinds = FileKinds::Any);
// The same over bytes already in memory (tests, fuzzing, the CLI).
void ReadProjectText(std::string_view bytes, Project& project, ReadObserver& observer);

// Line-level tools, exposed for tests.
int SplitPieces(std::string_view text, std::string_view separators, std::string_view skipped,
                std::vector<std::string>& pieces);
std::string ExtractCssText(std::string_view line);

} // namespace quilso

// Ready-made looks: the three menus' style records stored under a name, one JSON file each (the
// form StylesToJson writes). The program ships some; the user keeps their own in the data
// folder. Applying a look replaces the style records and nothing else of the project.
#pragma once

#include "params.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quilso {

// The file name ending of a stored look.
constexpr std::string_view LookFileSuffix = ".json";

// NOLINTNEXTLINE(bugprone-reserved-identifier): the compiler's own names in the copy of `css`.
struct Look {
    std::string name; // the file name without ".json", UTF-8 as the file system spells it
    std::filesystem::path file;
    bool builtIn = false;
    std::string error; // why the file could not be read (UTF-8); empty for a usable look
    MenuStyle css[MenuKindCount];

    bool usable() const { return error.empty(); }
};

// The looks in both folders: the shipped ones first, then the user's, each by name. A file that
// cannot be read is listed with its error rather than left out. A folder that does not exist
// adds nothing.
std::vector<Look> ListLooks(const std::filesystem::path& builtInDir, const std::filesystem::path& userDir);
// The look of that name among `looks` (a shipped one before the user's of the same name);
// nullptr when there is none.
const Look* FindLook(const std::vector<Look>& looks, std::string_view name);
// Reads one look file; throws FileError or ModelError.
Look ReadLook(const std::filesystem::path& file, bool builtIn);

// Puts the look's three style records into `params`; the options stay as they are.
void ApplyLook(const Look& look, ProjectParams& params);
// The lowest contrast ratio of any menu's text in any state, the sub menu also inside the main
// menu: the figure the contrast check holds against its limit.
double LowestContrast(const MenuStyle (&css)[MenuKindCount]);

// The user's folder of looks: $XDG_DATA_HOME/quilso/styles, or ~/.local/share/quilso/styles
// when that variable is unset or not an absolute path. Empty when neither can be told.
std::filesystem::path UserLooksDir();
// The shipped looks: "styles" beside the program (build tree) or in ../share/quilso/ relative
// to it (installed); empty when neither exists.
std::filesystem::path FindShippedLooks(const std::filesystem::path& programDir);

// Why `name` cannot name a look of the user's (German, UTF-8), or empty when it can: it must
// not be empty, start with a dot or a space, hold "/" or control characters, or be longer
// than 100 bytes.
std::string LookNameProblem(std::string_view name);
// Stores the three style records of `params` as the look `name` in `dir` (created when
// missing), replacing a look of that name. Throws FileError; a bad name is a FileError too.
void SaveLook(const std::filesystem::path& dir, std::string_view name, const ProjectParams& params);
// Renames the user's look; refuses (FileError) when the new name is taken or not allowed.
void RenameLook(const std::filesystem::path& dir, std::string_view from, std::string_view to);
// Removes the user's look file; throws FileError when it cannot.
void RemoveLook(const std::filesystem::path& dir, std::string_view name);

} // namespace quilso

// Turns the project into the menu script file: headers, style function, menu array, library.
#pragma once

#include "file_io.h"
#include "project.h"

#include <string>
#include <string_view>
#include <vector>

namespace quilso {

// The first line of every menu script file: what tells one apart from any other script.
inline constexpr std::string_view MenuScriptFirstLine = "/* application";

// The whole file as bytes, every line ending in CR LF; `lastSave` is the text after "lastsave=".
std::string BuildMenuScriptText(const Project& project, const ProgramInfo& program,
                                const std::string& lastSave);
// Appends every line of the file (without line ends) to `lines`; `lastSave` is the text after
// "lastsave=".
void BuildMenuScript(const Project& project, const ProgramInfo& program, const std::string& lastSave,
                     std::vector<std::string>& lines);
// Writes the whole file atomically (CR LF line ends); throws FileError and leaves an existing
// file untouched on failure.
void WriteMenuScript(const std::string& fileName, const Project& project, const ProgramInfo& program);
// Hands the whole file to `write` piece by piece, as WriteMenuScript writes it (standard
// output of the command line tool).
void WriteMenuScriptTo(const PieceSink& write, const Project& project, const ProgramInfo& program);
// "dd.MM.yyyy HH:mm:ss" of SOURCE_DATE_EPOCH when set, else of the local time now; at exactly
// midnight only the date.
std::string LastSaveStamp();

// JavaScript string-literal escaping of one text for the given quote character: backslash and
// the quote itself, control bytes as \xHH, bytes from 0x80 as \uHHHH of their Windows-1252
// character, so the result is plain ASCII.
std::string JsEscape(std::string_view text, char quote);

} // namespace quilso

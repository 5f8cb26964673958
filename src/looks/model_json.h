// The JSON form of a project that quilso-cli dumps and builds from: options, the three style
// records field by field, and the site tree. Texts are shown as Unicode characters of their
// Windows-1252 bytes, so every project survives a dump and a build unchanged.
#pragma once

#include "project.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quilso {

// A model text that is not valid JSON, not of the expected shape, or holds a character that
// Windows-1252 cannot store. The message names the place in the model.
class ModelError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The project as JSON text (UTF-8, ending in a line break). Deep trees are written without
// recursion and without indentation that grows with the depth.
std::string ProjectToJson(const Project& project);
// The same handed to `sink` in pieces of about a megabyte, so that it is never held whole.
using JsonSink = std::function<void(std::string_view)>;
void WriteProjectJson(const Project& project, const JsonSink& sink);
// Replaces `project` by the model in `json`; throws ModelError and leaves `project` unchanged
// when anything is wrong. Missing keys keep their empty defaults; unknown keys are errors.
void ProjectFromJson(std::string_view json, Project& project);

// The three menus' style records alone, as ProjectToJson lays them out: {"css": [...]}. The
// form a look is stored in.
std::string StylesToJson(const MenuStyle (&css)[MenuKindCount]);
// Reads that form into `css`; throws ModelError and leaves `css` unchanged when anything is
// wrong, also for any key beside "css".
void StylesFromJson(std::string_view json, MenuStyle (&css)[MenuKindCount]);

} // namespace quilso

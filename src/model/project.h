// The one project of the program: style records, options and the site tree, and what the writer
// adds about the program itself.
#pragma once

#include "params.h"
#include "site_tree.h"

#include <string>
#include <vector>

namespace quilso {

struct Project {
    ProjectParams params; // the three menus' style records and the options
    SiteTree tree;        // the entries, as the site tree view shows them
};

// What the writer puts into the header and appends at the end.
struct ProgramInfo {
    std::string edition = "Standard";
    std::string version = "1.0.3";
    std::vector<std::string> functionsLines; // the script library, one entry per line
};

} // namespace quilso

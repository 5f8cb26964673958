// Small builders for reader tests: script lines in the writer's shapes and a compact view of
// the rebuilt tree.
#pragma once

#include "reader.h"
#include "writer.h"

#include <initializer_list>
#include <string>
#include <string_view>

namespace quilso::test {

// "  c = c + '<css>';" with the text escaped as the writer escapes it.
inline std::string CssLine(std::string_view css) {
    return "  c = c + '" + JsEscape(css, '\'') + "';";
}

// A rule block as the writer frames it: reset line, selector, declarations, brace, empty text.
inline std::string Block(std::string_view selector, std::initializer_list<std::string_view> declarations) {
    std::string out = "  c = \"\";\r\n" + CssLine(selector) + "\r\n";
    for (std::string_view d : declarations)
        out += CssLine(d) + "\r\n";
    out += CssLine("}") + "\r\n" + CssLine("") + "\r\n  document.write(c);\r\n";
    return out;
}

// Loads `text` over a fresh project unless one is given.
inline void Load(std::string_view text, Project& project) {
    ReadObserver none;
    ReadProjectText(text, project, none);
}

// "A(a.htm) [B() [C()] D()]": texts with files, children in brackets.
inline std::string Shape(const SiteTree& tree) {
    std::string out;
    int lastDepth = 0;
    tree.forEachPreorder([&](const SiteNode* node, int depth) {
        for (; lastDepth < depth; ++lastDepth)
            out += " [";
        for (; lastDepth > depth; --lastDepth)
            out += "]";
        if (!out.empty() && out.back() != '[') out += ' ';
        out += node->entry.text + "(" + node->entry.file + ")";
    });
    for (; lastDepth > 0; --lastDepth)
        out += "]";
    return out;
}

} // namespace quilso::test

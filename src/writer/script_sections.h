// The sections of the menu script file, each appending its lines to one growing buffer. The
// driver (BuildMenuScriptText) calls them in file order; tests call single ones.
#pragma once

#include "file_io.h"
#include "project.h"

#include <string>
#include <string_view>

namespace quilso {

// The file being built: one string, every line already ending in CR LF. With a sink, the text
// is passed on whenever it has grown past SpillSize and the buffer is reused, so a large file
// is written through a small buffer instead of being held whole.
struct ScriptBuffer {
    static constexpr std::size_t SpillSize = std::size_t(1) << 17;
    std::string text;
    PieceSink sink;
    // The rule lines as plain CSS, one per line, without the script around them: the same
    // rules serve pages that are written without the script.
    bool plainCss = false;

    void addLine(std::string_view line) {
        text += line;
        text += "\r\n";
    }
    void spillIfFull() {
        if (sink && text.size() >= SpillSize) spill();
    }
    void spill() {
        if (!sink) return;
        sink(text);
        text.clear();
    }
};

void WriteApplicationHeader(ScriptBuffer& out, const ProgramInfo& program);
void WriteProjectHeader(ScriptBuffer& out, const std::string& lastSave);
void WriteOptionsHeader(ScriptBuffer& out, const ProjectOptions& options);
// The style function with the rule blocks of all three menus.
void WriteCssInit(ScriptBuffer& out, const ProjectParams& params);
// The rule blocks of one menu, in file order (the sub menu has no outer box).
void WriteMenuCss(ScriptBuffer& out, const MenuStyle& css, MenuKind kind);
void WriteMenuArray(ScriptBuffer& out, const SiteTree& tree, bool isTag);
void AppendLibrary(ScriptBuffer& out, const ProgramInfo& program);

// Line shapes inside the style function.
void AddCssLine(ScriptBuffer& out, std::string_view css);
void AddLiteralWrite(ScriptBuffer& out, std::string_view css);
void AddBufferWrite(ScriptBuffer& out);
void AddResetLine(ScriptBuffer& out);

// Appends JsEscape(text, quote) without a temporary.
void AppendJsEscaped(std::string& out, std::string_view text, char quote);
// Appends JsEscape(HtmlEncode(text, isTag), '"') in one pass.
void AppendMenuText(std::string& out, std::string_view text, bool isTag);

} // namespace quilso

#include "writer.h"

#include "cp1252.h"
#include "script_sections.h"

#include <charconv>
#include <cstdlib>
#include <ctime>
#include <optional>

namespace quilso {

namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";

void appendHex(std::string& out, unsigned value, int digits) {
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += HexDigits[(value >> shift) & 0xF];
}

void appendNumber(std::string& out, std::size_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

// The escape of one byte that cannot stand for itself inside a string literal.
void appendEscapedByte(std::string& out, unsigned char byte) {
    if (byte == '\\') {
        out += "\\\\";
    } else if (byte < 0x80) {
        out += "\\x";
        appendHex(out, byte, 2);
    } else {
        out += "\\u";
        appendHex(out, static_cast<unsigned>(Cp1252ToUnicode(byte)), 4);
    }
}

bool needsEscape(unsigned char byte, char quote) {
    return byte < 0x20 || byte >= 0x80 || byte == '\\' || byte == static_cast<unsigned char>(quote);
}

// Number of the entry's next sibling for every entry in display order, or `count` for a last
// child. One pass: a node's previous sibling is the latest entry seen at the same depth since
// their parent was visited.
std::vector<std::size_t> nextSiblingNumbers(const SiteTree& tree) {
    const std::size_t count = tree.size();
    std::vector<std::size_t> next(count, count);
    std::vector<std::size_t> latestAtDepth;
    std::size_t number = 0;
    tree.forEachPreorder([&](const SiteNode*, int depth) {
        const auto d = static_cast<std::size_t>(depth);
        if (latestAtDepth.size() > d) {
            next[latestAtDepth[d]] = number;
            latestAtDepth.resize(d);
        }
        latestAtDepth.push_back(number);
        ++number;
    });
    return next;
}

void appendLink(std::string& out, std::size_t number, std::size_t count) {
    if (number >= count)
        out += "cs";
    else
        appendNumber(out, number);
}

std::optional<std::time_t> sourceDateEpoch() {
    const char* value = std::getenv("SOURCE_DATE_EPOCH");
    if (!value || !*value) return std::nullopt;
    long long seconds = 0;
    const char* end = value + std::char_traits<char>::length(value);
    const auto result = std::from_chars(value, end, seconds);
    if (result.ec != std::errc() || result.ptr != end || seconds < 0) return std::nullopt;
    return static_cast<std::time_t>(seconds);
}

} // namespace

void AppendJsEscaped(std::string& out, std::string_view text, char quote) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!needsEscape(byte, quote)) continue;
        out.append(text, start, i - start);
        appendEscapedByte(out, byte);
        start = i + 1;
    }
    out.append(text, start);
}

std::string JsEscape(std::string_view text, char quote) {
    std::string out;
    out.reserve(text.size());
    AppendJsEscaped(out, text, quote);
    return out;
}

void AppendMenuText(std::string& out, std::string_view text, bool isTag) {
    // Character references first, then the literal's escapes; a reference never holds a byte
    // that needs escaping, so each input byte is handled once.
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = byte >= 0x20 && byte < 0x80 && c != '"' && c != '\'' && c != '\\' &&
                           ((c != '<' && c != '>') || isTag) && !(c == ' ' && i > 0 && text[i - 1] == ' ');
        if (plain) continue;
        out.append(text, start, i - start);
        start = i + 1;
        if (c == ' ') {
            out += "&nbsp;";
        } else if (c == '"' || c == '\'' || c == '<' || c == '>' || byte >= 160) {
            out += "&#";
            appendNumber(out, byte);
            out += ';';
        } else {
            appendEscapedByte(out, byte);
        }
    }
    out.append(text, start);
}

void AddCssLine(ScriptBuffer& out, std::string_view css) {
    out.text += "  c = c + '";
    AppendJsEscaped(out.text, css, '\'');
    out.text += "';\r\n";
}

void AddLiteralWrite(ScriptBuffer& out, std::string_view css) {
    out.text += "  document.write('";
    AppendJsEscaped(out.text, css, '\'');
    out.text += "');\r\n";
}

void AddBufferWrite(ScriptBuffer& out) { out.addLine("  document.write(c);"); }

void AddResetLine(ScriptBuffer& out) { out.addLine("  c = \"\";"); }

void WriteApplicationHeader(ScriptBuffer& out, const ProgramInfo& program) {
    out.addLine("/* application");
    out.addLine("program=quilso");
    out.text += "edition=";
    out.addLine(program.edition);
    out.text += "version=";
    out.addLine(program.version);
    out.addLine("*/");
    out.addLine("");
}

void WriteProjectHeader(ScriptBuffer& out, const std::string& lastSave) {
    out.addLine("/* project");
    out.text += "lastsave=";
    out.addLine(lastSave);
    out.addLine("*/");
    out.addLine("");
}

void WriteOptionsHeader(ScriptBuffer& out, const TPrjOptions& options) {
    out.addLine("/* options");
    out.addLine(options.isTag ? "istag=true" : "istag=false");
    out.addLine("*/");
    out.addLine("");
}

void WriteCssInit(ScriptBuffer& out, const TPrjParams& params) {
    out.addLine("/* CSS-Init */");
    out.addLine("function quilso_css() {");
    out.addLine("  var c;");
    AddLiteralWrite(out, "<style type=\"text/css\">");
    for (int k = 0; k < MenuKindCount; ++k) WriteMenuCss(out, params.css[k], static_cast<MenuKind>(k));
    AddLiteralWrite(out, "</style>");
    out.addLine("}");
    out.addLine("");
}

void WriteMenuArray(ScriptBuffer& out, const SiteTree& tree, bool isTag) {
    const std::size_t count = tree.size();
    out.addLine("/* menu */");
    out.text += "var cs = ";
    appendNumber(out.text, count);
    out.addLine(";");
    out.addLine("var ca = new Array(cs);");
    out.addLine("");
    out.addLine("function menuinit()\t{");

    const std::vector<std::size_t> next = nextSiblingNumbers(tree);
    // Display numbers of the current ancestors, innermost last.
    std::vector<std::size_t> ancestors;
    std::size_t number = 0;
    std::string& text = out.text;
    tree.forEachPreorder([&](const SiteNode* node, int depth) {
        ancestors.resize(static_cast<std::size_t>(depth));
        text += "ca[";
        appendNumber(text, number);
        text += "] = new cr(\"";
        AppendMenuText(text, node->entry.text, isTag);
        text += "\", \"";
        AppendJsEscaped(text, node->entry.file, '"');
        text += "\", ";
        appendLink(text, next[number], count);
        text += ", ";
        appendLink(text, ancestors.empty() ? count : ancestors.back(), count);
        text += ", ";
        // In display order a first child directly follows its parent.
        appendLink(text, node->childCount() > 0 ? number + 1 : count, count);
        text += ");\r\n";
        ancestors.push_back(number);
        ++number;
    });
    out.addLine("}");
    out.addLine("");
}

void AppendLibrary(ScriptBuffer& out, const ProgramInfo& program) {
    for (const std::string& line : program.functionsLines) out.addLine(line);
}

std::string BuildMenuScriptText(const Project& project, const ProgramInfo& program, const std::string& lastSave) {
    ScriptBuffer out;
    // Headers and styles take some 20 kB; an entry line rarely exceeds 100 bytes. One
    // allocation up front keeps large trees from copying the buffer as it grows.
    std::size_t estimate = 32768 + project.tree.size() * 48;
    for (const std::string& line : program.functionsLines) estimate += line.size() + 2;
    out.text.reserve(estimate);

    WriteApplicationHeader(out, program);
    WriteProjectHeader(out, lastSave);
    WriteOptionsHeader(out, project.params.options);
    WriteCssInit(out, project.params);
    WriteMenuArray(out, project.tree, project.params.options.isTag);
    AppendLibrary(out, program);
    return std::move(out.text);
}

void BuildMenuScript(const Project& project, const ProgramInfo& program, const std::string& lastSave,
                     std::vector<std::string>& lines) {
    const std::string text = BuildMenuScriptText(project, program, lastSave);
    // Every generated line is free of CR and LF (they are escaped), so CR LF marks line ends.
    std::size_t start = 0;
    for (std::size_t end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
        lines.emplace_back(text, start, end - start);
        start = end + 2;
    }
}

void WriteMenuScript(const std::string& fileName, const Project& project, const ProgramInfo& program) {
    WriteFileAtomically(fileName, BuildMenuScriptText(project, program, LastSaveStamp()));
}

std::string LastSaveStamp() {
    std::tm parts{};
    if (const auto epoch = sourceDateEpoch()) {
        // Reproducible output must not depend on the time zone of the machine that builds it.
        gmtime_r(&*epoch, &parts);
    } else {
        const std::time_t now = std::time(nullptr);
        localtime_r(&now, &parts);
    }
    char stamp[64];
    const bool midnight = parts.tm_hour == 0 && parts.tm_min == 0 && parts.tm_sec == 0;
    std::strftime(stamp, sizeof stamp, midnight ? "%d.%m.%Y" : "%d.%m.%Y %H:%M:%S", &parts);
    return stamp;
}

} // namespace quilso

#include "model_json.h"

#include "cp1252.h"

#include <nlohmann/json.hpp>

#include <utility>

namespace quilso {

namespace {

using Json = nlohmann::json;

// Every field of MenuStyle by the name it has in the JSON form; dump and build share these tables
// so the two directions cannot drift apart.
constexpr std::pair<const char*, std::string MenuStyle::*> StringFields[] = {
    {"clear", &MenuStyle::clear},
    {"cssFloat", &MenuStyle::cssFloat},
    {"position", &MenuStyle::position},
    {"offsetXSide", &MenuStyle::offsetXSide},
    {"offsetXValue", &MenuStyle::offsetXValue},
    {"offsetXUnit", &MenuStyle::offsetXUnit},
    {"offsetYSide", &MenuStyle::offsetYSide},
    {"offsetYValue", &MenuStyle::offsetYValue},
    {"offsetYUnit", &MenuStyle::offsetYUnit},
    {"widthValue", &MenuStyle::widthValue},
    {"widthUnit", &MenuStyle::widthUnit},
    {"heightValue", &MenuStyle::heightValue},
    {"heightUnit", &MenuStyle::heightUnit},
    {"overflow", &MenuStyle::overflow},
    {"letterSpacingValue", &MenuStyle::letterSpacingValue},
    {"letterSpacingUnit", &MenuStyle::letterSpacingUnit},
    {"lineHeightValue", &MenuStyle::lineHeightValue},
    {"lineHeightUnit", &MenuStyle::lineHeightUnit},
    {"direction", &MenuStyle::direction},
    {"textAlign", &MenuStyle::textAlign},
    {"textIndentValue", &MenuStyle::textIndentValue},
    {"textIndentUnit", &MenuStyle::textIndentUnit},
    {"textTransform", &MenuStyle::textTransform},
    {"wordSpacingValue", &MenuStyle::wordSpacingValue},
    {"wordSpacingUnit", &MenuStyle::wordSpacingUnit},
    {"verticalAlignValue", &MenuStyle::verticalAlignValue},
    {"verticalAlignUnit", &MenuStyle::verticalAlignUnit},
    {"whiteSpace", &MenuStyle::whiteSpace},
    {"fontSizeValue", &MenuStyle::fontSizeValue},
    {"fontSizeUnit", &MenuStyle::fontSizeUnit},
    {"fontStyle", &MenuStyle::fontStyle},
    {"fontVariant", &MenuStyle::fontVariant},
    {"fontWeight", &MenuStyle::fontWeight},
    {"color", &MenuStyle::color},
    {"colorSelected", &MenuStyle::colorSelected},
    {"backgroundColorSelected", &MenuStyle::backgroundColorSelected},
    {"colorHover", &MenuStyle::colorHover},
    {"backgroundColorHover", &MenuStyle::backgroundColorHover},
    {"backgroundColor", &MenuStyle::backgroundColor},
};

constexpr std::pair<const char*, bool MenuStyle::*> BoolFields[] = {
    {"textDecorationUnderline", &MenuStyle::textDecorationUnderline},
    {"textDecorationOverline", &MenuStyle::textDecorationOverline},
    {"textDecorationLineThrough", &MenuStyle::textDecorationLineThrough},
    {"textDecorationBlink", &MenuStyle::textDecorationBlink},
    {"textDecorationInherit", &MenuStyle::textDecorationInherit},
};

template <class F> void forEachStringField(F&& f) {
    for (const auto& [name, member] : StringFields)
        f(name, member);
}

// ---- dump ----

void putString(std::string& out, std::string_view cp1252) {
    out += '"';
    for (const char c : Utf8FromCp1252(cp1252)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            static constexpr char Hex[] = "0123456789abcdef";
            out += "\\u00";
            out += Hex[byte >> 4];
            out += Hex[byte & 0xF];
        } else {
            out += c;
        }
    }
    out += '"';
}

template <class Strings> void putStringArray(std::string& out, const Strings& strings) {
    out += '[';
    bool first = true;
    for (const auto& s : strings) {
        if (!first) out += ", ";
        first = false;
        putString(out, s);
    }
    out += ']';
}

void putCss(std::string& out, const MenuStyle& css) {
    out += "    {\n";
    forEachStringField([&](const char* name, std::string MenuStyle::*member) {
        out += "      \"";
        out += name;
        out += "\": ";
        putString(out, css.*member);
        out += ",\n";
    });
    for (const auto& [name, member] : BoolFields) {
        out += "      \"";
        out += name;
        out += css.*member ? "\": true,\n" : "\": false,\n";
    }
    out += "      \"fontFamilies\": ";
    putStringArray(out, css.fontFamilies);
    for (const auto& [name, boxes] :
         {std::pair{"boxValue", &css.boxValue}, std::pair{"boxUnit", &css.boxUnit}}) {
        out += ",\n      \"";
        out += name;
        out += "\": [";
        for (int p = 0; p < BoxPartCount; ++p) {
            if (p > 0) out += ", ";
            putStringArray(out, (*boxes)[p]);
        }
        out += ']';
    }
    out += ",\n      \"borderColor\": ";
    putStringArray(out, css.borderColor);
    out += ",\n      \"borderStyle\": ";
    putStringArray(out, css.borderStyle);
    out += "\n    }";
}

void putCssList(std::string& out, const MenuStyle (&css)[MenuKindCount]) {
    out += "  \"css\": [\n";
    for (int k = 0; k < MenuKindCount; ++k) {
        if (k > 0) out += ",\n";
        putCss(out, css[k]);
    }
    out += "\n  ]";
}

void putTree(std::string& out, const SiteTree& tree) {
    out += "  \"tree\": [";
    // One node per line; `open` counts the nodes whose children list is still open.
    int open = 0;
    tree.forEachPreorder([&](const SiteNode* node, int depth) {
        for (; open > depth; --open)
            out += "]}";
        out += node->parent()->child(0) == node ? "\n" : ",\n";
        out += "{\"text\": ";
        putString(out, node->entry.text);
        out += ", \"file\": ";
        putString(out, node->entry.file);
        if (node->childCount() > 0) {
            out += ", \"children\": [";
            ++open;
        } else {
            out += ", \"children\": []}";
        }
    });
    for (; open > 0; --open)
        out += "]}";
    out += tree.empty() ? "]\n" : "\n  ]\n";
}

// ---- build ----

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    throw ModelError(where + ": " + what);
}

std::string text(const Json& value, const std::string& where) {
    if (!value.is_string()) fail(where, "expected a string");
    const auto bytes = Cp1252FromUtf8(value.get_ref<const std::string&>());
    if (!bytes) fail(where, "holds a character that Windows-1252 cannot store");
    return *bytes;
}

bool flag(const Json& value, const std::string& where) {
    if (!value.is_boolean()) fail(where, "expected true or false");
    return value.get<bool>();
}

const Json& array(const Json& value, const std::string& where, std::size_t size = 0) {
    if (!value.is_array()) fail(where, "expected an array");
    if (size != 0 && value.size() != size) fail(where, "expected " + std::to_string(size) + " elements");
    return value;
}

template <std::size_t N>
void readStrings(const Json& value, const std::string& where, std::string (&target)[N]) {
    array(value, where, N);
    for (std::size_t i = 0; i < N; ++i)
        target[i] = text(value[i], where + "[" + std::to_string(i) + "]");
}

void readCss(const Json& value, const std::string& where, MenuStyle& css) {
    if (!value.is_object()) fail(where, "expected an object");
    for (const auto& item : value.items()) {
        // Named references rather than a structured binding: clang 14, which builds the fuzz
        // targets, cannot capture a binding in the lambda below.
        const std::string& key = item.key();
        const Json& field = item.value();
        std::string at = where;
        at += '.';
        at += key;
        bool known = false;
        forEachStringField([&](const char* name, std::string MenuStyle::*member) {
            if (key != name) return;
            css.*member = text(field, at);
            known = true;
        });
        for (const auto& [name, member] : BoolFields) {
            if (key != name) continue;
            css.*member = flag(field, at);
            known = true;
        }
        if (known) continue;
        if (key == "fontFamilies") {
            array(field, at);
            css.fontFamilies.clear();
            for (std::size_t i = 0; i < field.size(); ++i)
                css.fontFamilies.push_back(text(field[i], at + "[" + std::to_string(i) + "]"));
        } else if (key == "boxValue" || key == "boxUnit") {
            auto& boxes = key == "boxValue" ? css.boxValue : css.boxUnit;
            array(field, at, BoxPartCount);
            for (int p = 0; p < BoxPartCount; ++p)
                readStrings(field[p], at + "[" + std::to_string(p) + "]", boxes[p]);
        } else if (key == "borderColor") {
            readStrings(field, at, css.borderColor);
        } else if (key == "borderStyle") {
            readStrings(field, at, css.borderStyle);
        } else {
            fail(at, "unknown key");
        }
    }
}

void readCssList(const Json& value, MenuStyle (&css)[MenuKindCount]) {
    array(value, "css", MenuKindCount);
    for (int k = 0; k < MenuKindCount; ++k)
        readCss(value[static_cast<std::size_t>(k)], "css[" + std::to_string(k) + "]", css[k]);
}

Json parse(std::string_view json) {
    try {
        return Json::parse(json.begin(), json.end());
    } catch (const Json::exception& e) {
        // Not only syntax errors: a number too large for a double is refused while parsing too.
        throw ModelError(std::string("not valid JSON: ") + e.what());
    }
}

// The place of a node for messages: tree[0].children[3]...
std::string nodePath(const std::vector<std::size_t>& rows) {
    std::string path = "tree";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i > 0) path += ".children";
        path += "[" + std::to_string(rows[i]) + "]";
    }
    return path;
}

void readTree(const Json& value, SiteTree& tree) {
    array(value, "tree");
    // Explicit stack of open child lists: a chain of 100,000 levels must not recurse.
    struct Frame {
        const Json* list;
        std::size_t next;
        SiteNode* parent;
    };
    std::vector<Frame> stack{{&value, 0, tree.root()}};
    std::vector<std::size_t> rows;
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.list->size()) {
            stack.pop_back();
            if (!rows.empty()) rows.pop_back();
            continue;
        }
        const Json& node = (*frame.list)[frame.next];
        rows.push_back(frame.next++);
        SiteEntry entry;
        const Json* children = nullptr;
        // Messages name the node by its path, built only when something is wrong: building it
        // for every node would cost the depth each time.
        try {
            if (!node.is_object()) fail("", "expected an object");
            for (const auto& [key, field] : node.items()) {
                if (key == "text")
                    entry.text = text(field, ".text");
                else if (key == "file")
                    entry.file = text(field, ".file");
                else if (key == "children")
                    children = &array(field, ".children");
                else
                    fail("." + key, "unknown key");
            }
        } catch (const ModelError& e) {
            throw ModelError(nodePath(rows) + e.what());
        }
        SiteNode* created = tree.insert(frame.parent, -1, std::move(entry));
        if (children && !children->empty())
            stack.push_back({children, 0, created}); // `frame` is not used after this
        else
            rows.pop_back();
    }
}

} // namespace

std::string ProjectToJson(const Project& project) {
    std::string out;
    out.reserve(16384 + project.tree.size() * 64);
    out += "{\n  \"isTag\": ";
    out += project.params.options.isTag ? "true" : "false";
    out += ",\n";
    putCssList(out, project.params.css);
    out += ",\n";
    putTree(out, project.tree);
    out += "}\n";
    return out;
}

std::string StylesToJson(const MenuStyle (&css)[MenuKindCount]) {
    std::string out = "{\n";
    putCssList(out, css);
    out += "\n}\n";
    return out;
}

void StylesFromJson(std::string_view json, MenuStyle (&css)[MenuKindCount]) {
    const Json root = parse(json);
    if (!root.is_object()) fail("model", "expected an object");
    const auto found = root.find("css");
    if (found == root.end()) fail("model", "expected the key css");
    for (const auto& item : root.items())
        if (item.key() != "css") fail(item.key(), "unknown key (a look holds only the styles)");
    MenuStyle read[MenuKindCount];
    readCssList(*found, read);
    std::move(std::begin(read), std::end(read), std::begin(css));
}

void ProjectFromJson(std::string_view json, Project& project) {
    const Json root = parse(json);
    if (!root.is_object()) fail("model", "expected an object");

    ProjectParams params;
    SiteTree tree;
    for (const auto& [key, field] : root.items()) {
        if (key == "isTag") {
            params.options.isTag = flag(field, key);
        } else if (key == "css") {
            readCssList(field, params.css);
        } else if (key == "tree") {
            readTree(field, tree);
        } else {
            fail(key, "unknown key");
        }
    }
    project.params = std::move(params);
    project.tree.swap(tree);
}

} // namespace quilso

#include "model_json.h"

#include "cp1252.h"
#include "unit_choices.h"

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

// Hands what `out` holds to `sink` once it has grown past this, so that the JSON form of a
// large tree is never held whole.
constexpr std::size_t FlushBytes = std::size_t(1) << 20;

// Appends the JSON string form of `cp1252` without its quotes.
void putStringPiece(std::string& out, std::string_view cp1252) {
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
}

// With a sink, a long text goes out piece by piece: its JSON form is never held whole beside it.
void putString(std::string& out, std::string_view cp1252, const JsonSink* sink = nullptr) {
    out += '"';
    constexpr std::size_t Piece = std::size_t(64) << 10; // a byte is a character: any cut is fine
    for (std::size_t at = 0; at < cp1252.size(); at += Piece) {
        putStringPiece(out, cp1252.substr(at, Piece));
        if (sink && out.size() >= FlushBytes) {
            (*sink)(out);
            out.clear();
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

void putTree(std::string& out, const SiteTree& tree, const JsonSink& sink) {
    out += "  \"tree\": [";
    // One node per line; `open` counts the nodes whose children list is still open.
    int open = 0;
    tree.forEachPreorder([&](const SiteNode* node, int depth) {
        for (; open > depth; --open)
            out += "]}";
        out += node->parent()->child(0) == node ? "\n" : ",\n";
        out += "{\"text\": ";
        putString(out, node->entry.text, &sink);
        out += ", \"file\": ";
        putString(out, node->entry.file, &sink);
        if (node->childCount() > 0) {
            out += ", \"children\": [";
            ++open;
        } else {
            out += ", \"children\": []}";
        }
        if (out.size() >= FlushBytes) {
            sink(out);
            out.clear();
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

// A value of a CSS declaration. ';', '{' and '}' would end the declaration or the rule early,
// and the values after it would be lost when the file is read back.
std::string cssText(const Json& value, const std::string& where) {
    std::string css = text(value, where);
    if (css.find_first_of(";{}") != std::string::npos)
        fail(where, "holds ';', '{' or '}', which would end the rule");
    return css;
}

// A unit field's value: one of the items of the style panels' unit list.
std::string unitText(const Json& value, const std::string& where, const UnitChoices& choices) {
    std::string unit = cssText(value, where);
    if (!IsUnitChoice(choices, unit)) fail(where, "'" + unit + "' is not a unit the style panels offer");
    return unit;
}

constexpr std::pair<const char*, UnitChoices> UnitFields[] = {
    {"offsetXUnit", {PositionUnitKeywords}},
    {"offsetYUnit", {PositionUnitKeywords}},
    {"widthUnit", {PositionUnitKeywords}},
    {"heightUnit", {PositionUnitKeywords}},
    {"letterSpacingUnit", {SpacingUnitKeywords, false}},
    {"wordSpacingUnit", {SpacingUnitKeywords, false}},
    {"lineHeightUnit", {LineHeightUnitKeywords}},
    {"textIndentUnit", {InheritUnitKeyword}},
    {"verticalAlignUnit", {VerticalAlignUnitKeywords}},
    {"fontSizeUnit", {FontSizeUnitKeywords}},
};

template <std::size_t N>
void readStrings(const Json& value, const std::string& where, std::string (&target)[N],
                 const UnitChoices* units = nullptr) {
    array(value, where, N);
    for (std::size_t i = 0; i < N; ++i) {
        const std::string at = where + "[" + std::to_string(i) + "]";
        target[i] = units ? unitText(value[i], at, *units) : cssText(value[i], at);
    }
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
            const UnitChoices* units = nullptr;
            for (const auto& [unitName, choices] : UnitFields)
                if (key == unitName) units = &choices;
            css.*member = units ? unitText(field, at, *units) : cssText(field, at);
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
                css.fontFamilies.push_back(cssText(field[i], at + "[" + std::to_string(i) + "]"));
        } else if (key == "boxValue" || key == "boxUnit") {
            const bool units = key == "boxUnit";
            auto& boxes = units ? css.boxUnit : css.boxValue;
            array(field, at, BoxPartCount);
            for (int p = 0; p < BoxPartCount; ++p)
                readStrings(field[p], at + "[" + std::to_string(p) + "]", boxes[p],
                            units ? &BoxUnitChoices[static_cast<std::size_t>(p)] : nullptr);
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

bool isCssKey(const std::string& key) {
    for (const auto& [name, member] : StringFields)
        if (key == name) return true;
    for (const auto& [name, member] : BoolFields)
        if (key == name) return true;
    return key == "fontFamilies" || key == "boxValue" || key == "boxUnit" || key == "borderColor" ||
           key == "borderStyle";
}

// Reads the model as the parser meets it instead of from a document of the whole: the tree's
// nodes are made as they come, and a key the model does not know is refused when it is met, so
// neither a large tree nor a large value under a wrong key is ever held as JSON values. Only
// the three style records, which are small, are gathered as JSON values first.
class ModelReader : public nlohmann::json_sax<Json> {
public:
    ModelReader(ProjectParams& params, SiteTree& tree) : params_(params), tree_(tree) {}

    bool null() override { return value(Json(nullptr)); }
    bool boolean(bool b) override { return value(Json(b)); }
    bool number_integer(number_integer_t n) override { return value(Json(n)); }
    bool number_unsigned(number_unsigned_t n) override { return value(Json(n)); }
    bool number_float(number_float_t n, const string_t&) override { return value(Json(n)); }
    bool string(string_t& s) override { return value(Json(std::move(s))); }
    bool binary(binary_t&) override { return value(Json()); }

    bool start_object(std::size_t) override {
        if (!css_.empty()) return startCss(Json::object());
        switch (place()) {
        case Place::Top:
            stack_.push_back(Place::Model);
            return true;
        case Place::List:
            return startNode();
        default:
            return value(Json::object());
        }
    }
    bool end_object() override {
        if (!css_.empty()) return endCss();
        if (place() == Place::Node) {
            rows_.pop_back();
            nodes_.pop_back();
        }
        stack_.pop_back();
        return true;
    }
    bool start_array(std::size_t) override {
        if (!css_.empty()) return startCss(Json::array());
        if (place() == Place::Model && key_ == "css") {
            cssValue_ = Json::array();
            css_.push_back(&cssValue_);
            return true;
        }
        if (place() == Place::Model && key_ == "tree") {
            stack_.push_back(Place::List);
            lists_.push_back({tree_.root(), 0});
            return true;
        }
        if (place() == Place::Node && key_ == ".children") {
            stack_.push_back(Place::List);
            lists_.push_back({nodes_.back(), 0});
            return true;
        }
        return value(Json::array());
    }
    bool end_array() override {
        if (!css_.empty()) return endCss();
        stack_.pop_back();
        lists_.pop_back();
        return true;
    }
    bool key(string_t& key) override {
        if (!css_.empty()) {
            // A key of one of the three records: refused at once when it is none of the model's.
            if (css_.size() == 2 && !isCssKey(key))
                fail("css[" + std::to_string(cssValue_.size() - 1) + "]." + key, "unknown key");
            cssKey_ = key;
            return true;
        }
        if (place() == Place::Model) {
            if (key != "isTag" && key != "css" && key != "tree") fail(key, "unknown key");
            key_ = key;
        } else {
            if (key != "text" && key != "file" && key != "children")
                fail(nodePath(rows_) + "." + key, "unknown key");
            key_ = "." + key;
        }
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) override {
        // Not only syntax errors: a number too large for a double is refused while parsing too.
        throw ModelError(std::string("not valid JSON: ") + e.what());
    }

    // The style records, once the whole model was read.
    void finish() {
        if (cssRead_) {
            array(cssValue_, "css", MenuKindCount);
            for (int k = 0; k < MenuKindCount; ++k)
                readCss(cssValue_[static_cast<std::size_t>(k)], "css[" + std::to_string(k) + "]",
                        params_.css[k]);
        }
    }

private:
    enum class Place { Top, Model, List, Node };
    struct List {
        SiteNode* parent;
        std::size_t next;
    };

    Place place() const { return stack_.empty() ? Place::Top : stack_.back(); }

    // A value that is not a container the reader walks into.
    bool value(Json v) {
        if (!css_.empty()) return addCss(std::move(v));
        switch (place()) {
        case Place::Top:
            fail("model", "expected an object");
        case Place::Model:
            if (key_ == "isTag") {
                params_.options.isTag = flag(v, key_);
                return true;
            }
            fail(key_, "expected an array"); // "css" or "tree"
        case Place::List:
            rows_.push_back(lists_.back().next++);
            fail(nodePath(rows_), "expected an object");
        case Place::Node:
            // The node's place is named only when something is wrong: building it for every
            // text would cost the depth each time.
            try {
                if (key_ == ".children") fail(key_, "expected an array");
                (key_ == ".text" ? nodes_.back()->entry.text : nodes_.back()->entry.file) = text(v, key_);
            } catch (const ModelError& e) {
                throw ModelError(nodePath(rows_) + e.what());
            }
            return true;
        }
        return true;
    }

    bool startNode() {
        List& list = lists_.back();
        rows_.push_back(list.next++);
        nodes_.push_back(tree_.insert(list.parent, -1, SiteEntry{}));
        stack_.push_back(Place::Node);
        return true;
    }

    // The style records are gathered as JSON values; a fourth is refused before it is.
    void countRecord() {
        if (css_.size() == 1 && cssValue_.size() >= MenuKindCount)
            fail("css", "expected " + std::to_string(MenuKindCount) + " elements");
    }
    bool addCss(Json v) {
        countRecord();
        Json& container = *css_.back();
        if (container.is_array()) {
            container.push_back(std::move(v));
            return true;
        }
        container[cssKey_] = std::move(v);
        return true;
    }
    bool startCss(Json container) {
        countRecord();
        Json& parent = *css_.back();
        Json* added = nullptr;
        if (parent.is_array()) {
            parent.push_back(std::move(container));
            added = &parent.back();
        } else {
            added = &(parent[cssKey_] = std::move(container));
        }
        css_.push_back(added);
        return true;
    }
    bool endCss() {
        css_.pop_back();
        if (css_.empty()) cssRead_ = true;
        return true;
    }

    ProjectParams& params_;
    SiteTree& tree_;
    std::vector<Place> stack_;
    std::string key_;         // the model's key, or the node's (with a leading '.')
    std::vector<List> lists_; // the open lists of nodes, innermost last
    std::vector<SiteNode*> nodes_;
    std::vector<std::size_t> rows_;
    Json cssValue_;
    std::vector<Json*> css_; // the open containers of the style records, innermost last
    std::string cssKey_;
    bool cssRead_ = false;
};

} // namespace

std::string ProjectToJson(const Project& project) {
    std::string json;
    json.reserve(16384 + project.tree.size() * 64);
    WriteProjectJson(project, [&json](std::string_view piece) { json += piece; });
    return json;
}

void WriteProjectJson(const Project& project, const JsonSink& sink) {
    std::string out;
    out.reserve(FlushBytes + 4096);
    out += "{\n  \"isTag\": ";
    out += project.params.options.isTag ? "true" : "false";
    out += ",\n";
    putCssList(out, project.params.css);
    out += ",\n";
    putTree(out, project.tree, sink);
    out += "}\n";
    sink(out);
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
    ProjectParams params;
    SiteTree tree;
    ModelReader reader(params, tree);
    Json::sax_parse(json.begin(), json.end(), &reader);
    reader.finish();
    project.params = std::move(params);
    project.tree.swap(tree);
}

} // namespace quilso

// Line-level tools: line walking, piece splitting and the CSS text of a script line.
#include "cp1252.h"
#include "reader.h"
#include "reader_internal.h"

namespace quilso {

namespace reader {

namespace {
constexpr CharSet Equals("=");
constexpr CharSet Plus("+");
constexpr CharSet Space(" ");

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Value of `count` hex digits at text[at...], or -1 when they are not all hex digits.
long HexNumber(std::string_view text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) return -1;
    long value = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const int digit = HexValue(text[at + k]);
        if (digit < 0) return -1;
        value = value * 16 + digit;
    }
    return value;
}

// Decodes the escape starting with the backslash at text[i] into `out`; returns how many
// characters it took, or 0 when the backslash starts no escape and stands for itself.
std::size_t DecodeEscape(std::string_view text, std::size_t i, std::string& out) {
    if (i + 1 >= text.size()) return 0;
    switch (text[i + 1]) {
    case '\\':
        out += '\\';
        return 2;
    case 'x': {
        const long byte = HexNumber(text, i + 2, 2);
        if (byte < 0) return 0;
        out += static_cast<char>(byte);
        return 4;
    }
    case 'u': {
        const long codePoint = HexNumber(text, i + 2, 4);
        if (codePoint < 0) return 0;
        if (const auto byte = UnicodeToCp1252(static_cast<char32_t>(codePoint)))
            out += *byte;
        else
            out.append(text.substr(i, 6)); // no byte for it: keep the escape as written
        return 6;
    }
    default:
        return 0;
    }
}

void AppendQuotedText(std::string_view piece, std::string& out) {
    if (piece.empty() || piece[0] != '\'') return;
    const std::size_t start = out.size();
    std::size_t i = 1;
    while (i < piece.size()) {
        const char c = piece[i];
        if (c == '\\') {
            if (const std::size_t used = DecodeEscape(piece, i, out)) {
                i += used;
                continue;
            }
        } else if (c == '\'') {
            // Older files double a quote inside the text; a single one ends it.
            if (i + 1 < piece.size() && piece[i + 1] == '\'') {
                out += '\'';
                i += 2;
                continue;
            }
            return;
        }
        out += c;
        ++i;
    }
    // No closing quote: the last character is taken for it.
    if (out.size() > start) out.pop_back();
}
} // namespace

std::string_view Trim(std::string_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

void AppendJsUnescaped(std::string_view text, std::string& out) {
    std::size_t i = 0;
    while (i < text.size()) {
        // Copy the run up to the next backslash in one go.
        const std::size_t slash = text.find('\\', i);
        if (slash == std::string_view::npos) {
            out.append(text.substr(i));
            return;
        }
        out.append(text.substr(i, slash - i));
        i = slash;
        if (const std::size_t used = DecodeEscape(text, i, out)) {
            i += used;
        } else {
            out += '\\';
            ++i;
        }
    }
}

std::string QuotedText(std::string_view piece) {
    std::string out;
    AppendQuotedText(piece, out);
    return out;
}

bool CssTextOf(std::string_view line, std::string& out) {
    out.clear();
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] != 'c') return false;
    // Most lines of a large file are menu lines; they fail on the first piece, so look at that
    // before scanning the rest of the line.
    std::string_view rhs;
    bool firstIsC = false;
    const int pieces = ForEachPiece(trimmed, Equals, Space, [&](std::string_view piece) {
        if (!firstIsC) {
            if (Trim(piece) != "c") return false;
            firstIsC = true;
            return true;
        }
        if (rhs.empty()) rhs = piece;
        return true;
    });
    if (!firstIsC || pieces != 2) return false;
    if (!Contains(trimmed, "=") || trimmed.find_first_of(":.") == std::string_view::npos) return false;
    const auto sum = SplitAtMost<2>(rhs, Plus, Space);
    if (sum.count != 2 || Trim(sum.piece[0]) != "c") return false;
    AppendQuotedText(sum.piece[1], out);
    return !out.empty();
}

bool LineCursor::next(std::string_view& line) {
    const std::size_t size = text_.size();
    if (pos_ >= size) return false;
    const char* const data = text_.data();
    if (!lfKnown_ || nextLf_ < pos_) {
        const void* lf = std::memchr(data + pos_, '\n', size - pos_);
        nextLf_ = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - data) : size;
        lfKnown_ = true;
    }
    if (const void* cr = std::memchr(data + pos_, '\r', nextLf_ - pos_)) {
        const auto at = static_cast<std::size_t>(static_cast<const char*>(cr) - data);
        line = text_.substr(pos_, at - pos_);
        pos_ = at + 1 == nextLf_ ? nextLf_ + 1 : at + 1;
        return true;
    }
    line = text_.substr(pos_, nextLf_ - pos_);
    pos_ = nextLf_ + 1;
    return true;
}

} // namespace reader

int SplitPieces(std::string_view text, std::string_view separators, std::string_view skipped,
                std::vector<std::string>& pieces) {
    const reader::CharSet separatorSet(separators);
    const reader::CharSet skippedSet(skipped);
    return reader::ForEachPiece(text, separatorSet, skippedSet, [&](std::string_view piece) {
        pieces.emplace_back(piece);
        return true;
    });
}

std::string ExtractCssText(std::string_view line) {
    std::string out;
    reader::CssTextOf(line, out);
    return out;
}

} // namespace quilso

// Line-level tools: line walking, piece splitting and the CSS text of a script line.
#include "cp1252.h"
#include "reader.h"
#include "reader_internal.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <string>
#include <system_error>
#include <unistd.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quilso {

namespace reader {

namespace {
constexpr Splitter Assignment("=", " ");
constexpr Splitter Sum("+", " ");

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

// Appends the decimal character reference of `codePoint`.
void AppendReference(char32_t codePoint, std::string& out) {
    out += "&#";
    out += std::to_string(static_cast<unsigned long>(codePoint));
    out += ';';
}

// The \uXXXX escape at text[i] (its four digits `unit` already read) for a character without a
// byte, as a reference: with the escape after it when it is a surrogate pair, as the page's
// script would join them; a lone surrogate is no character and stands for the replacement
// character. Returns how many characters it took.
std::size_t AppendUnmappedReference(std::string_view text, std::size_t i, long unit, std::string& out) {
    constexpr long HighFirst = 0xD800, LowFirst = 0xDC00, LowLast = 0xDFFF;
    if (unit < HighFirst || unit > LowLast) {
        AppendReference(static_cast<char32_t>(unit), out);
        return 6;
    }
    if (unit < LowFirst && text.substr(i + 6, 2) == "\\u") {
        const long low = HexNumber(text, i + 8, 4);
        if (low >= LowFirst && low <= LowLast) {
            AppendReference(static_cast<char32_t>(0x10000 + ((unit - HighFirst) << 10) + (low - LowFirst)),
                            out);
            return 12;
        }
    }
    AppendReference(0xFFFD, out);
    return 6;
}

// Decodes the escape starting with the backslash at text[i] into `out`; returns how many
// characters it took, or 0 when the backslash starts no escape and stands for itself.
std::size_t DecodeEscape(std::string_view text, std::size_t i, std::string& out,
                         BytelessChars byteless = BytelessChars::KeepEscape) {
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
        if (const auto byte = UnicodeToCp1252(static_cast<char32_t>(codePoint))) {
            out += *byte;
        } else if (byteless == BytelessChars::Reference) {
            return AppendUnmappedReference(text, i, codePoint, out);
        } else {
            out.append(text.substr(i, 6)); // no byte for it: keep the escape as written
        }
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
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

void AppendJsUnescaped(std::string_view text, std::string& out, BytelessChars byteless) {
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
        if (const std::size_t used = DecodeEscape(text, i, out, byteless)) {
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
    const int pieces = Assignment.forEach(trimmed, [&](std::string_view piece) {
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
    const auto sum = SplitAtMost<2>(rhs, Sum);
    if (sum.count != 2 || Trim(sum.piece[0]) != "c") return false;
    AppendQuotedText(sum.piece[1], out);
    return !out.empty();
}

namespace {
// Position of the first CR or LF at or after `pos`, or `size`.
std::size_t FindLineEnd(const char* data, std::size_t pos, std::size_t size) {
#if defined(__SSE2__)
    // Sixteen bytes per step: most lines of a large file are a few dozen bytes long.
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    while (pos + 16 <= size) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + pos));
        const int hits =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, cr), _mm_cmpeq_epi8(block, lf)));
        if (hits != 0) return pos + static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(hits)));
        pos += 16;
    }
#endif
    while (pos < size && data[pos] != '\r' && data[pos] != '\n')
        ++pos;
    return pos;
}
} // namespace

LineCursor::LineCursor(int fd, std::string fileName, std::size_t maxLine)
    : fd_(fd), fileName_(std::move(fileName)), block_(std::make_unique_for_overwrite<char[]>(1 << 17)),
      capacity_(1 << 17), maxLine_(maxLine) {
    text_ = std::string_view(block_.get(), 0);
}

void LineCursor::readMore() {
    // Keep the unfinished line at the front of the block and fill the rest from the file.
    const std::size_t rest = text_.size() - pos_;
    if (rest == capacity_) {
        // The block never needs to hold more than the longest line allowed and its CR LF.
        const std::size_t grown =
            capacity_ >= maxLine_ / 2 ? std::max(maxLine_ + 2, capacity_ + 1) : capacity_ * 2;
        auto bigger = std::make_unique_for_overwrite<char[]>(grown);
        std::memcpy(bigger.get(), text_.data() + pos_, rest);
        block_ = std::move(bigger);
        capacity_ = grown;
    } else if (rest > 0 && pos_ > 0) {
        std::memmove(block_.get(), text_.data() + pos_, rest);
    }
    ssize_t got;
    do {
        got = ::read(fd_, block_.get() + rest, capacity_ - rest);
    } while (got < 0 && errno == EINTR);
    if (got < 0) throw FileError(fileName_, SystemErrorText(errno));
    if (got == 0) endOfInput_ = true;
    text_ = std::string_view(block_.get(), rest + static_cast<std::size_t>(got));
    pos_ = 0;
}

bool LineCursor::next(std::string_view& line) {
    for (;;) {
        const std::size_t size = text_.size();
        if (pos_ >= size) {
            if (endOfInput_) return false;
            readMore();
            continue;
        }
        const char* const data = text_.data();
        const std::size_t end = FindLineEnd(data, pos_ + scanned_, size);
        if (end - pos_ > maxLine_) throw FileError(fileName_, "Zeile zu lang", FileProblem::LineTooLong);
        // Without the rest of the file it is open where this line ends, or whether an LF follows
        // a CR at the end of the block.
        if (!endOfInput_ && (end == size || (end + 1 == size && data[end] == '\r'))) {
            scanned_ = end - pos_;
            readMore();
            continue;
        }
        scanned_ = 0;
        line = text_.substr(pos_, end - pos_);
        if (end == size)
            pos_ = size;
        else if (data[end] == '\r' && end + 1 < size && data[end + 1] == '\n')
            pos_ = end + 2;
        else
            pos_ = end + 1;
        return true;
    }
}

} // namespace reader

int SplitPieces(std::string_view text, std::string_view separators, std::string_view skipped,
                std::vector<std::string>& pieces) {
    const reader::Splitter splitter(separators, skipped);
    return splitter.forEach(text, [&](std::string_view piece) {
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

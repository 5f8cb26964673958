#include "value_helpers.h"

#include "params.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace quilso {

namespace {
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool contains(std::string_view text, char c) {
    return text.find(c) != std::string_view::npos;
}

void appendDecimal(std::string& out, unsigned value) {
    char digits[10];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0)
        out += digits[--n];
}

} // namespace

std::string HtmlEncode(std::string_view text, bool isTag) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto code = static_cast<unsigned char>(c);
        if (c == ' ') {
            // A run of spaces keeps its width: the first stays a space so lines can still break.
            if (i > 0 && text[i - 1] == ' ')
                out += "&nbsp;";
            else
                out += ' ';
        } else if (c == '"' || c == '\'' || ((c == '<' || c == '>') && !isTag) || code >= 160) {
            out += "&#";
            appendDecimal(out, code);
            out += ';';
        } else {
            out += c;
        }
    }
    return out;
}

std::string HtmlDecode(std::string_view text, bool isTag) {
    std::string out;
    HtmlDecodeTo(text, out, isTag);
    return out;
}

namespace {
// The references HtmlEncode writes with `isTag`, each decoded where it starts; every other
// ampersand is copied.
void DecodeTagModeTo(std::string_view text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t amp = std::min(text.find('&', i), text.size());
        out.append(text.data() + i, amp - i);
        if (amp == text.size()) break;
        const std::string_view at = text.substr(amp);
        struct Fixed {
            std::string_view from;
            char to;
        };
        static constexpr Fixed fixed[] = {{"&nbsp;", ' '}, {"&#34;", '"'}, {"&#39;", '\''}};
        std::size_t used = 0;
        char decoded = 0;
        for (const Fixed& f : fixed)
            if (at.starts_with(f.from)) {
                used = f.from.size();
                decoded = f.to;
            }
        if (used == 0 && at.size() >= 6 && at[1] == '#' && at[5] == ';' && isDigit(at[2]) && isDigit(at[3]) &&
            isDigit(at[4])) {
            const int value = (at[2] - '0') * 100 + (at[3] - '0') * 10 + (at[4] - '0');
            if (value >= 160 && value <= 255) {
                used = 6;
                decoded = static_cast<char>(value);
            }
        }
        if (used != 0) {
            out += decoded;
            i = amp + used;
        } else {
            out += '&';
            i = amp + 1;
        }
    }
}
} // namespace

void HtmlDecodeTo(std::string_view text, std::string& work, bool isTag) {
    if (isTag) {
        DecodeTagModeTo(text, work);
        return;
    }
    // Stage one: the five fixed references. They cannot overlap, and the character that replaces
    // one cannot be part of another, so one pass does what five successive replacements do. The
    // runs between ampersands are copied whole.
    struct Fixed {
        std::string_view from;
        char to;
    };
    static constexpr Fixed fixed[] = {
        {"&#34;", '"'}, {"&#39;", '\''}, {"&#60;", '<'}, {"&#62;", '>'}, {"&nbsp;", ' '}};
    work.clear();
    // The common case of a text with one ampersand, starting a decimal reference to a byte:
    // both stages together replace just that reference by its byte (the fixed references among
    // them by the same byte as the second stage would).
    const std::size_t length = text.size();
    if (const std::size_t amp = text.find('&'); amp != std::string_view::npos && amp + 4 < length &&
                                                text[amp + 1] == '#' && text[amp + 3] != ';' &&
                                                text.find('&', amp + 1) == std::string_view::npos) {
        const std::size_t semi = text[amp + 4] == ';'                       ? amp + 4
                                 : amp + 5 < length && text[amp + 5] == ';' ? amp + 5
                                                                            : 0;
        unsigned value = 0;
        bool digits = semi != 0;
        for (std::size_t i = amp + 2; digits && i < semi; ++i) {
            digits = isDigit(text[i]);
            value = value * 10 + static_cast<unsigned>(text[i] - '0');
        }
        if (digits && value <= 255) {
            // Written in place: three appends cost more than the decoding itself.
            const std::size_t rest = length - semi - 1;
            work.resize(amp + 1 + rest);
            char* const out = work.data();
            std::memcpy(out, text.data(), amp);
            out[amp] = static_cast<char>(value);
            std::memcpy(out + amp + 1, text.data() + semi + 1, rest);
            return;
        }
    }
    work.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t amp = std::min(text.find('&', i), text.size());
        work.append(text.data() + i, amp - i);
        if (amp == text.size()) break;
        i = amp;
        const Fixed* hit = nullptr;
        for (const Fixed& f : fixed)
            if (text.substr(i, f.from.size()) == f.from) hit = &f;
        if (hit) {
            work += hit->to;
            i += hit->from.size();
        } else {
            work += '&';
            ++i;
        }
    }

    // Stage two, in place over the working text: the output never runs ahead of the input.
    // A reference ends at the first ';' from p + 3 on and counts only when that is p + 4 or
    // p + 5, so those three places are all that need looking at: one long run of "&#" without
    // a ';' must not be searched to its end at every '&'.
    std::size_t out = 0;
    std::size_t p = 0;
    const std::size_t size = work.size();
    char* const data = work.data();
    while (p < size) {
        const auto* amp = static_cast<const char*>(std::memchr(data + p, '&', size - p));
        const std::size_t next = amp ? static_cast<std::size_t>(amp - data) : size;
        if (out != p) std::memmove(data + out, data + p, next - p);
        out += next - p;
        p = next;
        if (p == size) break;
        if (p + 3 < size && data[p + 1] == '#' && data[p + 3] != ';') {
            std::size_t semi = 0;
            if (p + 4 < size && data[p + 4] == ';')
                semi = p + 4;
            else if (p + 5 < size && data[p + 5] == ';')
                semi = p + 5;
            if (semi != 0) {
                bool digits = true;
                unsigned value = 0;
                for (std::size_t i = p + 2; i < semi; ++i) {
                    digits = digits && isDigit(data[i]);
                    value = value * 10 + static_cast<unsigned>(data[i] - '0');
                }
                // A code beyond one byte has no character here; cutting it to its low byte
                // would put a different letter into the text, so it stays as written.
                if (digits && value <= 255) {
                    data[out++] = static_cast<char>(value);
                    p = semi + 1;
                    continue;
                }
            }
        }
        data[out++] = data[p++];
    }
    work.resize(out);
}

int IndexOfText(const std::string_view* table, int last, std::string_view text) {
    for (int i = 0; i <= last; ++i)
        if (table[i] == text) return i;
    return -1;
}

int CssUnitIndex(std::string_view text) {
    return IndexOfText(CssUnits.data(), CssUnitsLast, text);
}

bool SplitValueUnit(std::string_view text, std::string& number, std::string& unit) {
    number.clear();
    unit.clear();
    std::size_t p = 0;
    bool hasNumber = false;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) number += text[p++];
    auto takeDigits = [&] {
        while (p < text.size() && isDigit(text[p])) {
            number += text[p++];
            hasNumber = true;
        }
    };
    takeDigits();
    if (p < text.size() && (text[p] == ',' || text[p] == '.')) {
        number += text[p++];
        takeDigits();
    }
    unit.assign(text.substr(p));
    return hasNumber && !unit.empty();
}

void SplitColor(std::uint32_t colour, int& red, int& green, int& blue) {
    red = static_cast<int>(colour % 256);
    green = static_cast<int>(colour / 256 % 256);
    // Only the RGB bytes count; a flag byte above them must not leak into blue.
    blue = static_cast<int>(colour / 65536 % 256);
}

char KeyEnterToNext(char key) {
    return key == '\r' ? '\0' : key;
}

char KeyDecimalComma(std::string_view text, char key) {
    if (key == '\b' || isDigit(key)) return key;
    if (key == ',' || key == '.') return contains(text, ',') ? '\0' : ',';
    return '\0';
}

char KeyDecimalPoint(std::string_view text, char key) {
    if (key == '\b' || isDigit(key)) return key;
    if (key == ',' || key == '.') return contains(text, '.') ? '\0' : '.';
    return '\0';
}

char KeyDecimal(std::string_view text, char key) {
    if (key == '\b' || isDigit(key)) return key;
    if (key == ',' || key == '.') return contains(text, ',') || contains(text, '.') ? '\0' : key;
    return '\0';
}

char KeySignedDecimal(std::string_view text, char key, int caret) {
    // Nothing may be typed in front of an existing minus sign.
    if (caret == 0 && contains(text, '-') && key != '\b') return '\0';
    if (key == '\b' || key == '\n' || isDigit(key)) return key;
    if (key == ',' || key == '.') return contains(text, ',') || contains(text, '.') ? '\0' : key;
    if (key == '-') return caret == 0 ? key : '\0';
    return '\0';
}

char KeyHexDigit(char key) {
    if (key == '\b' || isDigit(key) || (key >= 'A' && key <= 'F')) return key;
    if (key >= 'a' && key <= 'f') return static_cast<char>(key - 32);
    return '\0';
}

int StrToIntDef(std::string_view text, int fallback) {
    std::size_t p = 0;
    bool negative = false;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';
    if (p == text.size()) return fallback;
    // Accumulate the magnitude in 64 bits; more than ten significant digits is out of range anyway.
    long long value = 0;
    for (; p < text.size(); ++p) {
        if (!isDigit(text[p])) return fallback;
        value = value * 10 + (text[p] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) return fallback;
    }
    if (negative) value = -value;
    if (value > INT_MAX || value < INT_MIN) return fallback;
    return static_cast<int>(value);
}

bool IsUnsafeAddress(std::string_view address) {
    std::string squeezed;
    for (char c : address) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b == 0x7F) continue;
        squeezed += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (squeezed.size() > 11) break;
    }
    return squeezed.starts_with("javascript:") || squeezed.starts_with("vbscript:") ||
           squeezed.starts_with("data:");
}

std::string PercentDecode(std::string_view text) {
    const auto hexValue = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int hi = hexValue(text[i + 1]), lo = hexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

} // namespace quilso

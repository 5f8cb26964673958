// The menu-text decoding the reader relies on, against its definition: five successive
// replacements of the fixed references, then the numeric references over the result.
#include "value_helpers.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace quilso;

namespace {
std::string ReplaceAll(const std::string& text, const std::string& from, char to) {
    std::string out;
    std::size_t start = 0;
    for (std::size_t hit = text.find(from); hit != std::string::npos; hit = text.find(from, start)) {
        out.append(text, start, hit - start);
        out += to;
        start = hit + from.size();
    }
    out.append(text, start);
    return out;
}

std::string DefinedDecode(const std::string& text) {
    std::string work = ReplaceAll(text, "&#34;", '"');
    work = ReplaceAll(work, "&#39;", '\'');
    work = ReplaceAll(work, "&#60;", '<');
    work = ReplaceAll(work, "&#62;", '>');
    work = ReplaceAll(work, "&nbsp;", ' ');
    std::string out;
    std::size_t p = 0;
    while (p < work.size()) {
        if (work[p] == '&' && p + 3 < work.size() && work[p + 1] == '#') {
            const std::size_t semi = work.find(';', p + 3);
            if (semi == p + 4 || semi == p + 5) {
                const std::string digits = work.substr(p + 2, semi - p - 2);
                if (digits.find_first_not_of("0123456789") == std::string::npos && std::stoi(digits) <= 255) {
                    out += static_cast<char>(std::stoi(digits));
                    p = semi + 1;
                    continue;
                }
            }
        }
        out += work[p++];
    }
    return out;
}
} // namespace

TEST(HtmlDecode, AgreesWithItsDefinitionOnReferenceSoup) {
    std::mt19937 rng(11);
    const std::string parts[] = {
        "&", "#", ";", "&#", "&#3",  "&#34;",  "&#39;",   "&#60;", "&#62;",  "&nbsp;", "nbsp",   "0", "3",
        "4", "9", "a", " ",  "\xE4", "&#228;", "&#0099;", "&#x4;", "&#255;", "&#256;", "&#969;", "2", "5"};
    for (int round = 0; round < 50000; ++round) {
        std::string text;
        for (unsigned k = rng() % 12; k > 0; --k)
            text += parts[rng() % std::size(parts)];
        ASSERT_EQ(HtmlDecode(text), DefinedDecode(text)) << text;
    }
}

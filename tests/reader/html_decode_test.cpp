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

TEST(HtmlDecode, MarkupTextsKeepEveryReferenceButTheWritersOwn) {
    // In a markup text the page's '<' is its own, so a reference stays a reference unless the
    // writer itself writes it in that mode.
    const struct {
        std::string in, out;
    } cases[] = {
        {"&#34;a&#39; b&nbsp;c", "\"a' b c"},
        {"&#160;&#228;&#255;", "\xA0\xE4\xFF"},
        {"&#60;img src=x onerror=alert(1)&#62;", "&#60;img src=x onerror=alert(1)&#62;"},
        {"&#38;lt;b&#38;gt;", "&#38;lt;b&#38;gt;"},
        {"&#65;&#159;&#256;&#0228;&#034;", "&#65;&#159;&#256;&#0228;&#034;"},
        {"<b>&amp;</b>&#x41;&#;&", "<b>&amp;</b>&#x41;&#;&"},
        {"&#&#228;;&nbsp", "&#\xE4;&nbsp"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HtmlDecode(c.in, true), c.out) << c.in;
}

TEST(HtmlDecode, PlainDecodingOfAMarkupDecodedTextIsPlainDecoding) {
    // The reader decodes texts as markup before it knows whether they are, and decodes the rest
    // only for a file whose texts are plain.
    std::mt19937 rng(12);
    const std::string parts[] = {"&",      "#",      ";",      "&#",   "&#3",    "&#34;",  "&#39;",
                                 "&#60;",  "&#62;",  "&nbsp;", "nbsp", "0",      "1",      "6",
                                 "2",      "5",      " ",      "\xE4", "&#228;", "&#160;", "&#0099;",
                                 "&#255;", "&#256;", "&#16",   "&#22", "8;",     "0;",     "&n"};
    for (int round = 0; round < 50000; ++round) {
        std::string text;
        for (unsigned k = rng() % 12; k > 0; --k)
            text += parts[rng() % std::size(parts)];
        ASSERT_EQ(HtmlDecode(HtmlDecode(text, true)), HtmlDecode(text)) << text;
    }
}

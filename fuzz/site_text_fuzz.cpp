// Reads arbitrary bytes as a page head, a sitemap and a stored file name, and checks what must
// hold for any input: among it that a title or an address becomes a menu text a browser shows as
// that very text, with the tag option on or off, and never as markup.
#include "cp1252.h"
#include "site_import.h"
#include "site_text.h"
#include "value_helpers.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

bool startsMarkup(std::string_view html) {
    for (std::size_t i = 0; i + 1 < html.size(); ++i) {
        const char next = html[i + 1];
        if (html[i] == '<' &&
            (((next | 0x20) >= 'a' && (next | 0x20) <= 'z') || next == '/' || next == '!' || next == '?'))
            return true;
    }
    return false;
}

// What the menu script carries for `stored` with the tag option, read back as the browser reads
// it: no markup, and the text that was meant.
void checkShown(std::string_view stored, const std::u32string* meant) {
    const std::string written = quilso::HtmlEncode(stored, true);
    if (startsMarkup(written)) std::abort();
    // A saved file read back gives the same text.
    if (quilso::HtmlDecode(written) != stored ||
        quilso::HtmlDecode(quilso::HtmlEncode(stored, false)) != stored)
        std::abort();
    if (meant) {
        std::u32string shown;
        for (unsigned char c : written)
            shown += quilso::Cp1252ToUnicode(c);
        if (quilso::DecodeHtmlReferences(shown) != *meant) std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // A title has no white space at its ends and no runs of it.
    if (const auto title = quilso::PageTitle(bytes)) {
        if (title->empty() || title->front() == U' ' || title->back() == U' ' ||
            title->find(U"  ") != std::u32string::npos)
            std::abort();
        // Controls a browser does not show are left out of the menu text.
        std::u32string meant;
        for (char32_t c : *title)
            if (c < 0x80 || c >= 0xA0 || quilso::UnicodeToCp1252(c)) meant += c;
        checkShown(quilso::StoredTextFromUnicode(*title), &meant);
    }
    // The sitemap's folders, however deep, become entries in time linear in the input; the fuzz
    // run's time-out catches anything slower.
    quilso::ImportSummary summary;
    quilso::SiteTree tree;
    quilso::BuildImportedTree(quilso::ParseSitemap(bytes, summary), tree);
    // One entry per page and folder at most: a folder's index page is the folder's entry.
    if (tree.size() > summary.pages + summary.folders) std::abort();
    tree.forEachPreorder([](const quilso::SiteNode* node, int) { checkShown(node->entry.text, nullptr); });
    // Every file system name comes back unchanged through its stored form.
    if (quilso::Utf8PathFromStoredFileName(quilso::StoredFileNameFromUtf8(bytes)) != bytes) std::abort();
    return 0;
}

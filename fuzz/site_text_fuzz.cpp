// Reads arbitrary bytes as a page head, a sitemap and a stored file name, and checks what must
// hold for any input.
#include "site_import.h"
#include "site_text.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // A title has no white space at its ends and no runs of it.
    if (const auto title = quilso::PageTitle(bytes)) {
        if (title->empty() || title->front() == U' ' || title->back() == U' ' ||
            title->find(U"  ") != std::u32string::npos)
            std::abort();
    }
    quilso::ImportSummary summary;
    quilso::SiteTree tree;
    quilso::BuildImportedTree(quilso::ParseSitemap(bytes, summary), tree);
    // One entry per page and folder at most: a folder's index page is the folder's entry.
    if (tree.size() > summary.pages + summary.folders) std::abort();
    // Every file system name comes back unchanged through its stored form.
    if (quilso::Utf8PathFromStoredFileName(quilso::StoredFileNameFromUtf8(bytes)) != bytes) std::abort();
    return 0;
}

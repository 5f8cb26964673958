// Arbitrary menu text (as markup) and an arbitrary page, split at the first NUL byte: the
// static menus written into the page must never be able to break out of their block.
#include "menu_markup.h"
#include "publish.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = bytes.find('\0');
    const std::string_view text = bytes.substr(0, cut);
    const std::string_view page = cut == std::string_view::npos ? std::string_view() : bytes.substr(cut + 1);

    // A link's content is ASCII and holds no comment: a comment could hide an end marker.
    const quilso::LinkText link = quilso::StaticLinkText(text);
    for (char c : link.markup)
        if (static_cast<unsigned char>(c) >= 0x80) std::abort();
    if (link.markup.find("<!") != std::string::npos || link.markup.find("-->") != std::string::npos)
        std::abort();

    quilso::Project project;
    project.params.options.isTag = true;
    quilso::SiteNode* top = project.tree.insert(project.tree.root(), -1, {std::string(text), "a/b.htm"});
    project.tree.insert(top, -1, {std::string(text), std::string(text)});
    // Publishing a published page again changes nothing.
    const quilso::PageRewrite once = quilso::RewritePage(page, project, 0, "a/b.htm");
    if (once.reason != quilso::PageReason::None) {
        if (once.bytes != page) std::abort();
        return 0;
    }
    const quilso::PageRewrite twice = quilso::RewritePage(once.bytes, project, 0, "a/b.htm");
    if (twice.reason != quilso::PageReason::None || twice.bytes != once.bytes) std::abort();
    return 0;
}

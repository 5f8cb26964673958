// Walking a page as an HTML parser reads it, to tell a comment of the page's markup from text
// that only looks like one: inside a script, a style sheet, a text field, a tag or a CDATA
// section the same bytes are not a comment, and writing there breaks the page.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

namespace quilso {

// What a stretch of the page is, other than the document's text.
enum class MarkupPart {
    Comment,          // "<!--" up to and with its end ("-->", "--!>" or the end of the page)
    Tag,              // a start or end tag with its attributes, quoted values included
    RawText,          // the content of script, style, xmp, iframe, noembed, noframes, plaintext
    EscapableRawText, // the content of textarea and title
    Cdata,            // "<![CDATA[" up to and with "]]>"
    Declaration,      // "<!DOCTYPE …>", "<?…>" and the other constructs a parser skips as a comment
};

struct MarkupSpan {
    MarkupPart part;
    std::size_t begin; // offsets into the page
    std::size_t end;
    // The element a tag names or whose content a raw text span is, as the page writes its name;
    // empty otherwise.
    std::string_view element;
};

// Calls `visit` for every stretch of `page` that is not text of the document, in page order;
// the text between them is not reported. One pass, without recursion, whatever the page holds.
// Element names are those of HTML content: <style> inside an <svg> counts as raw text too.
void WalkMarkup(std::string_view page, const std::function<void(const MarkupSpan&)>& visit);

} // namespace quilso

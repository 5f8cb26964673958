// Reads arbitrary bytes as a menu script file, twice over the same project (the second load
// overlays the first and replaces its tree), and checks what must hold for any input.
#include "reader.h"
#include "reader_internal.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    quilso::Project project;
    quilso::ReadObserver none;
    quilso::ReadProjectText(bytes, project, none);
    const std::size_t first = project.tree.size();
    quilso::ReadProjectText(bytes, project, none);
    // The same bytes give the same tree, and no tree has more entries than the input has lines.
    std::size_t lines = 1;
    for (char c : bytes)
        lines += c == '\n' || c == '\r';
    if (project.tree.size() != first || first > lines) std::abort();

    // The shortcut for writer-shaped menu lines takes nothing the general split reads differently.
    quilso::reader::LineCursor cursor(bytes);
    std::string_view line;
    while (cursor.next(line)) {
        quilso::reader::MenuPieces fast, general;
        if (!quilso::reader::SplitWriterMenuLine(line, fast)) continue;
        if (!quilso::reader::SplitMenuLine(line, general) || fast.text != general.text ||
            fast.file != general.file || fast.nextSibling != general.nextSibling ||
            fast.parent != general.parent || fast.firstChild != general.firstChild)
            std::abort();
    }

    // The tree order taken straight from the links, where it is taken, is the rebuild's.
    {
        quilso::reader::MenuTable table;
        std::string blockLines;
        quilso::reader::LineCursor all(bytes);
        quilso::reader::CollectLines(all, table, blockLines);
        // The lines kept for the block scan are those it can react to, shortcuts or not.
        std::string expected, scratch;
        quilso::reader::LineCursor again(bytes);
        for (std::string_view line; again.next(line);)
            if (quilso::reader::MattersToBlockScan(line, scratch)) expected.append(line).append("\n");
        if (blockLines != expected) std::abort();
        table.finish();
        const std::int32_t top = table.firstTopLevel();
        quilso::reader::DisplayOrder direct;
        if (quilso::reader::DisplayOrderFromLinks(table.nextSibling, table.firstChild, top, direct)) {
            const auto rebuilt = quilso::reader::DisplayOrderOf(
                quilso::reader::RebuildTreeShape(table.nextSibling, table.firstChild, top));
            if (direct.entry != rebuilt.entry || direct.depth != rebuilt.depth) std::abort();
        }
    }

    // Nodes made while the lines are read, where they are, give the tree of the table and the
    // rebuild.
    {
        quilso::Project rebuilt;
        quilso::reader::MenuTable table;
        table.stream.active = false;
        std::string blockLines;
        quilso::reader::LineCursor all(bytes);
        quilso::reader::CollectLines(all, table, blockLines);
        quilso::reader::ReadContext ctx{rebuilt, none, {}};
        quilso::reader::ReadMenuArray(ctx, table);
        std::vector<std::pair<const quilso::SiteEntry*, int>> a, b;
        project.tree.forEachPreorder(
            [&](const quilso::SiteNode* n, int depth) { a.emplace_back(&n->entry, depth); });
        rebuilt.tree.forEachPreorder(
            [&](const quilso::SiteNode* n, int depth) { b.emplace_back(&n->entry, depth); });
        if (a.size() != b.size()) std::abort();
        for (std::size_t i = 0; i < a.size(); ++i)
            if (*a[i].first != *b[i].first || a[i].second != b[i].second) std::abort();
    }

    std::vector<std::string> pieces;
    quilso::SplitPieces(bytes, ",'\"", " \t", pieces);
    (void)quilso::ExtractCssText(bytes);
    return 0;
}

// How the reader tells a GUI what it read, so the GUI can set its controls. Every call comes
// after the model was updated; the default implementations do nothing (the CLI's null observer).
#pragma once

#include "params.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace quilso {

// The six rule blocks of a menu, in the order the writer emits them.
enum class BlockKind { OuterBox, Container, Item, Link, SelectedLink, Hover };

// Lines the reader passed over although they belong to the project, by kind.
enum class DroppedKind {
    UnreadableEntry, // a menu line ("ca[") without the shape of one, such as a number out of range
    UnplacedEntry,   // a menu entry no link places in the tree: none of the entries is top-level
};
struct DroppedLines {
    static constexpr std::size_t MaxListed = 5;
    DroppedKind kind;
    std::size_t count = 0;
    std::vector<std::size_t> firstLines; // numbers (from 1) of the first MaxListed of them
    void add(std::size_t line) {
        ++count;
        if (firstLines.size() < MaxListed) firstLines.push_back(line);
    }
};

class ReadObserver {
public:
    virtual ~ReadObserver() = default;
    // A load begins (the file was read without error): the hover colours and hover backgrounds
    // of all three menus have just been emptied, since a file without a hover block has none.
    virtual void readStarted() {}
    // A declaration the block reader recognised by its property name (as written in the file,
    // e.g. "font-size", "border-left-width"); `stored` tells whether its value was accepted.
    // Every field the declaration touches is already updated, including those set even when the
    // value is rejected (offsetXSide for "left"/"right", offsetYSide for "top"/"bottom").
    // Declarations a block does not read are not reported.
    virtual void declarationRead(MenuKind kind, BlockKind block, std::string_view property, bool stored) {
        (void)kind, (void)block, (void)property, (void)stored;
    }
    // The "istag" line of the options block was read; the model's isTag is already set.
    virtual void optionsRead(bool isTag) { (void)isTag; }
    // The block scan is over: the GUI refreshes the three border panels here.
    virtual void blockScanFinished() {}
    // Bracket the replacement of the site tree by the rebuilt one (also when it is empty). The
    // old nodes are still alive when treeRebuilt() runs and are freed right after it.
    virtual void treeAboutToBeRebuilt() {}
    virtual void treeRebuilt() {}
    // After treeRebuilt(), once, when the read passed over lines: one record per kind.
    virtual void linesDropped(const std::vector<DroppedLines>& dropped) { (void)dropped; }
};

} // namespace quilso

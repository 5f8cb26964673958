// How the reader tells a GUI what it read, so the GUI can set its controls. Every call comes
// after the model was updated; the default implementations do nothing (the CLI's null observer).
#pragma once

#include "params.h"

#include <string_view>

namespace quilso {

// The six rule blocks of a menu, in the order the writer emits them.
enum class BlockKind { OuterBox, Container, Item, Link, SelectedLink, Hover };

class ReadObserver {
public:
    virtual ~ReadObserver() = default;
    // A declaration the block reader recognised by its property name (as written in the file,
    // e.g. "font-size", "border-left-width"); `stored` tells whether its value was accepted.
    virtual void declarationRead(MenuKind kind, BlockKind block, std::string_view property, bool stored) {
        (void)kind, (void)block, (void)property, (void)stored;
    }
    // The "istag=" line of the options block was read.
    virtual void optionsRead(bool isTag) { (void)isTag; }
    // The block scan is over: the GUI refreshes the three border panels here.
    virtual void blockScanFinished() {}
    // Bracket the replacement of the site tree by the rebuilt one.
    virtual void treeAboutToBeRebuilt() {}
    virtual void treeRebuilt() {}
};

} // namespace quilso

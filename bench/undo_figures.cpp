// Figures for the undo history, printed as text: 1,000 moves of a 50,000-entry block in a
// 100,000-entry tree (there and back in turn), the heap the history holds afterwards, and the
// time of each move against the time of undoing it.
// Run offscreen: QT_QPA_PLATFORM=offscreen ./undo_figures
#include "project_document.h"
#include "site_tree.h"
#include "site_tree_model.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QUndoStack>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {
constexpr int Entries = 100000;
constexpr int Block = 50000;
constexpr int Moves = 1000;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::size_t heapInUse() {
    return mallinfo2().uordblks;
}
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ProjectDocument document(QStringLiteral("/nonexistent/default.js"),
                             QStringLiteral("/nonexistent/lib.js"));
    {
        quilso::SiteTree tree;
        for (int i = 0; i < Entries; ++i)
            tree.append(tree.root(), "Seite " + std::to_string(i), "s" + std::to_string(i) + ".htm");
        document.replaceTree(tree);
    }
    quilso::SiteNode* root = document.treeModel()->nodeOf({});
    // The block is selected wherever it is, as in the window: each step keeps that selection.
    int blockFirst = 0;
    document.currentSelection = [&] {
        return TreeSelection{quilso::NodesAt(root, {{blockFirst, Block}}), root->child(blockFirst)};
    };

    const std::size_t heapBefore = heapInUse();
    std::vector<double> moveMs;
    QElapsedTimer timer;
    for (int i = 0; i < Moves; ++i) {
        const std::vector<quilso::SiteNode*> block = quilso::NodesAt(root, {{blockFirst, Block}});
        const int target = blockFirst == 0 ? Entries - Block : 0;
        timer.start();
        document.moveEntriesTo(block, root, target);
        moveMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        blockFirst = target;
    }
    const std::size_t heapAfter = heapInUse();
    const int steps = document.undoStack()->count();

    std::vector<double> undoMs;
    for (int i = 0; i < Moves; ++i) {
        timer.start();
        document.undoStack()->undo();
        undoMs.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    const bool back = root->child(0)->entry.text == "Seite 0" &&
                      root->child(Entries - 1)->entry.text == "Seite " + std::to_string(Entries - 1);

    std::printf("undo history: %d moves of %d entries in a %d-entry tree\n", Moves, Block, Entries);
    std::printf("  steps on the stack:        %d\n", steps);
    std::printf("  heap held by the history:  %.2f MB (limit 50 MB)\n",
                double(heapAfter > heapBefore ? heapAfter - heapBefore : 0) / 1e6);
    std::printf("  move, median:              %.2f ms\n", median(moveMs));
    std::printf("  undo of a move, median:    %.2f ms\n", median(undoMs));
    std::printf("  tree back in its first order after undoing all: %s\n", back ? "yes" : "NO");
    return back ? 0 : 1;
}

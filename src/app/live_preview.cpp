#include "live_preview.h"

#include "page_lookup.h"
#include "preview_scheme_handler.h"
#include "preview_window.h"
#include "project_document.h"
#include "site_page.h"
#include "site_tree_model.h"
#include "text_convert.h"
#include "ui_seams.h"
#include "writer.h"

#include <QFile>
#include <QFileInfo>
#include <QTreeView>
#include <QWebEngineView>

using quilso::SiteNode;

namespace {
const QString kUnsavedCaption = QStringLiteral("Vorschau: [neues Projekt]");

QString captionFor(const QString& path) {
    return QStringLiteral("Vorschau: ") + path;
}
} // namespace

LivePreview::LivePreview(ProjectDocument* document, SitePage* sitePage,
                         std::function<PreviewWindow*()> window, QObject* parent)
    : QObject(parent), document_(document), sitePage_(sitePage), window_(std::move(window)) {
    refreshTimer_.setSingleShot(true);
    refreshTimer_.setInterval(RefreshDelayMs);
    connect(&refreshTimer_, &QTimer::timeout, this, &LivePreview::refresh);

    // Every change of the project reaches the page; how the tree looks (marks of missing
    // pages) is no change of it.
    SiteTreeModel* model = document_->treeModel();
    auto changed = [this] { scheduleRefresh(); };
    connect(model, &QAbstractItemModel::rowsInserted, this, changed);
    connect(model, &QAbstractItemModel::rowsRemoved, this, changed);
    connect(model, &QAbstractItemModel::rowsMoved, this, changed);
    connect(model, &QAbstractItemModel::layoutChanged, this, changed);
    connect(model, &QAbstractItemModel::modelReset, this, changed);
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                if (roles.isEmpty() || roles.contains(Qt::DisplayRole)) scheduleRefresh();
            });
    connect(document_, &ProjectDocument::styleChanged, this, changed);
    connect(document_, &ProjectDocument::optionsChanged, this, changed);
    connect(document_, &ProjectDocument::projectRead, this, changed);
    connect(document_, &ProjectDocument::captionChanged, this, [this] {
        restartPending_ = true;
        scheduleRefresh();
    });

    QTreeView* view = sitePage_->siteView();
    connect(view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (preview_ && preview_->showsSite()) showEntry(document_->treeModel()->nodeOf(index), true);
    });
    connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        if (preview_ && preview_->followsSelection()) scheduleRefresh();
    });
}

QString LivePreview::siteFolder() const {
    // A project made from a folder is named after it before it is ever saved. Any other new
    // project has no folder yet: the one last used for another project is not its own.
    const QString named = document_->saveDialogFileName();
    return named.isEmpty() ? QString() : QFileInfo(named).absolutePath();
}

QByteArray LivePreview::menuScript() {
    if (!scriptCurrent_) {
        const std::string text = quilso::BuildMenuScriptText(document_->project(), document_->programInfo(),
                                                             quilso::LastSaveStamp());
        script_ = QByteArray(text.data(), qsizetype(text.size()));
        scriptCurrent_ = true;
    }
    return script_;
}

QString LivePreview::entryPagePath(const QString& folder, const std::string& file, bool* found,
                                   bool* outside) {
    const quilso::PageLookup page =
        quilso::FindEntryPage(file, std::filesystem::path(QFile::encodeName(folder).toStdString()));
    if (found) *found = page.found();
    if (outside) *outside = page.result == quilso::PageLookupResult::Outside;
    const bool named = page.found() || page.result == quilso::PageLookupResult::Missing ||
                       page.result == quilso::PageLookupResult::Outside;
    return folder + QLatin1Char('/') +
           (named ? QFile::decodeName(page.relative.c_str()) : FileNameToUi(file));
}

QString LivePreview::pagePath(const SiteNode* node) const {
    return entryPagePath(siteFolder(), node->entry.file.str());
}

int LivePreview::menuNumber(const SiteNode* node) const {
    // The menu array numbers the entries depth first.
    int number = 0;
    int found = 0;
    document_->project().tree.forEachPreorder([&](const SiteNode* each, int) {
        if (each == node) found = number;
        ++number;
    });
    return found;
}

void LivePreview::prepareWindow() {
    if (!preview_) {
        preview_ = window_();
        preview_->siteServer()->setScriptSource([this] { return menuScript(); });
        connect(preview_, &PreviewWindow::followSelectionToggled, this, [this](bool on) {
            if (on) scheduleRefresh();
        });
    }
    preview_->siteServer()->setSite(siteFolder(), document_->fileName());
    preview_->siteServer()->renew();
}

void LivePreview::showStartPage() {
    const quilso::SiteTree& tree = document_->project().tree;
    if (tree.empty()) {
        MessageBoxes::information(document_->dialogParent(),
                                  QStringLiteral("Keine Seite zum Anzeigen vorhanden"));
        return;
    }
    const SiteNode* first = tree.root()->child(0);
    if (siteFolder().isEmpty()) {
        prepareWindow();
        preview_->showSitePage(preview_->siteServer()->builtInUrl(0), kUnsavedCaption);
        return;
    }
    bool found = false;
    bool outside = false;
    const QString path = entryPagePath(siteFolder(), first->entry.file.str(), &found, &outside);
    if (!found) {
        MessageBoxes::information(document_->dialogParent(),
                                  outside ? PreviewSchemeHandler::outsidePageText(path)
                                          : PreviewSchemeHandler::missingPageText(path));
        return;
    }
    prepareWindow();
    preview_->showSitePage(preview_->siteServer()->siteUrl(path), captionFor(path));
}

LivePreview::Page LivePreview::pageOf(const SiteNode* node) const {
    if (siteFolder().isEmpty())
        return {preview_->siteServer()->builtInUrl(menuNumber(node)), kUnsavedCaption};
    // A link to another site is shown as it is.
    const QUrl external(FileNameToUi(node->entry.file));
    if (external.scheme() == QLatin1String("http") || external.scheme() == QLatin1String("https"))
        return {external, external.toString()};
    const QString path = pagePath(node);
    return {preview_->siteServer()->siteUrl(path), captionFor(path)};
}

void LivePreview::showEntry(const SiteNode* node, bool activate) {
    if (!node || node->isRoot()) return;
    prepareWindow();
    const Page page = pageOf(node);
    preview_->showSitePage(page.url, page.caption, activate);
}

void LivePreview::scheduleRefresh() {
    scriptCurrent_ = false;
    if (!preview_ || !preview_->showsSite()) {
        restartPending_ = false;
        return;
    }
    // Not restarted by later changes: a stream of edits must not hold the page back.
    if (!refreshTimer_.isActive()) refreshTimer_.start();
}

void LivePreview::refresh() {
    const bool restart = std::exchange(restartPending_, false);
    if (!preview_ || !preview_->showsSite()) return;
    prepareWindow();
    const quilso::SiteTree& tree = document_->project().tree;
    const SiteNode* focused = sitePage_->focusedNode();
    const SiteNode* target = nullptr;
    if (preview_->followsSelection() && focused && !focused->isRoot())
        target = focused;
    else if (restart && !tree.empty())
        target = tree.root()->child(0);
    if (target) {
        // Loaded anew only when it is another page; the same page keeps its scroll position.
        const Page page = pageOf(target);
        if (!PreviewSchemeHandler::samePage(page.url, preview_->webBrowser()->url())) {
            preview_->showSitePage(page.url, page.caption, false);
            return;
        }
    }
    preview_->reloadKeepingScroll(preview_->siteServer()->renewed(preview_->webBrowser()->url()));
}

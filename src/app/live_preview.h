// Keeps the preview window on the project as it is now: "Vorschau" shows the start page with the
// menu script file served from memory, and while the preview is open every change of the project
// (undo and redo included) loads the page again, at its scroll position. A double-click on an
// entry shows its page; with "Auswahl folgen" the preview shows the selected entry's page.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <string>

class PreviewWindow;
class ProjectDocument;
class SitePage;

namespace quilso {
class SiteNode;
}

class LivePreview : public QObject {
    Q_OBJECT
public:
    // `window` returns the preview window, making it when first asked; nothing is made before
    // the first preview.
    LivePreview(ProjectDocument* document, SitePage* sitePage, std::function<PreviewWindow*()> window,
                QObject* parent = nullptr);

    // "Vorschau": the page of the first top-level entry, or the built-in page when the project
    // has no folder. A missing page or an empty tree is told in a message box.
    void showStartPage();
    // Shows an entry's page in the preview (a missing page says so in the preview).
    void showEntry(const quilso::SiteNode* node, bool activate);

    // The folder the pages are taken from: the project's, for a project that was never saved
    // the folder it was made from; empty when there is none (the built-in page shows then).
    QString siteFolder() const;
    // The menu script file as the writer would save it now.
    QByteArray menuScript();

    // The path under `folder` (for the page server's siteUrl) of the page an entry's stored file
    // name names: the site folder's lookup decides, so a folder entry shows its index page. A
    // name that finds nothing keeps its own path, for the message the server then shows.
    // `found` receives whether it is a page of the folder, `outside` whether it lies outside.
    static QString entryPagePath(const QString& folder, const std::string& file, bool* found = nullptr,
                                 bool* outside = nullptr);

    // How long changes are gathered before the page is loaded again.
    static constexpr int RefreshDelayMs = 25;

private:
    void scheduleRefresh();
    void refresh();
    void prepareWindow();
    struct Page {
        QUrl url;
        QString caption;
    };
    Page pageOf(const quilso::SiteNode* node) const;
    QString pagePath(const quilso::SiteNode* node) const;
    int menuNumber(const quilso::SiteNode* node) const;

    ProjectDocument* document_;
    SitePage* sitePage_;
    std::function<PreviewWindow*()> window_;
    QPointer<PreviewWindow> preview_;
    QTimer refreshTimer_;
    QByteArray script_;
    bool scriptCurrent_ = false;
    // Another project (or the same under another name): its start page, not the old page.
    bool restartPending_ = false;
};

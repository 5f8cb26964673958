// The main window: menus and tool bar, the site page, the five style pages with one panel per
// menu, the options page and the status line; the edit commit step before commands that leave
// a field, and the preview and help commands. The project itself is the document's.
#pragma once

#include "params.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

class EditState;
class LinkChecker;
class LivePreview;
class QAction;
class PreviewWindow;
class ProjectDocument;
class QCheckBox;
class QStatusBar;
class QTabWidget;
class RecentProjects;
class SitePage;
class StylePages;

struct StartupOptions {
    // Directory holding default.js, quilso_functions.js, hilfe.htm and the manual; empty:
    // beside the program, or ../share/quilso/ for an installed program.
    QString dataDir;
    // The command-line arguments after the program name; the first names the start-up project.
    QStringList arguments;
};

// Where the data files are for a program in `programDir` (both with a trailing separator).
QString FindDataDirectory(const QString& programDir);

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(const StartupOptions& options, QWidget* parent = nullptr);
    ~MainWindow() override;

    ProjectDocument* document() const { return document_; }
    SitePage* sitePage() const { return sitePage_; }
    StylePages* stylePages() const { return stylePages_.get(); }
    QString dataDirectory() const { return dataDirectory_; }
    // Marks the entries whose page is missing.
    LinkChecker* linkChecker() const { return linkChecker_; }
    // The caption without the modified marker.
    QString caption() const { return caption_; }

    // The commit step of every command: the focused field's pending entry is checked and
    // stored as leaving the field would; false when it was refused (the command does not run).
    bool commitPendingEdit();
    void showHint(const QString& hint);

    // Saves, then writes the static menus into the site's pages and shows the report.
    void publishSite();
    // Preview of the site's start page, the help page, the manual.
    void showPreview();
    void showHelp();
    void showManual();
    PreviewWindow* previewWindow(); // created on first use
    // Keeps the open preview on the project as it is now.
    LivePreview* livePreview() const { return livePreview_; }

signals:
    // The window closed for good (the program ends).
    void closed();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class PanelObserver;
    friend class UiTestAccess;

    void buildActions();
    QList<QAction*> buildHistoryActions();
    void buildStylePages();
    void buildOptionsPage();
    void setCaption(const QString& caption);
    void focusTabs();
    bool tabSwitchAllowed(QObject* watched, QEvent* event);
    void loadStartupProject();
    // Ctrl+Tab and Ctrl+Shift+Tab: the next or previous tab, from any control.
    void switchTab(int step);

    ProjectDocument* document_;
    LinkChecker* linkChecker_ = nullptr;
    std::unique_ptr<PanelObserver> observer_;
    QString dataDirectory_;
    QStringList arguments_;
    QString caption_;
    bool firstActivation_ = true;
    std::unique_ptr<StylePages> stylePages_;
    QPointer<PreviewWindow> previewWindow_;
    LivePreview* livePreview_ = nullptr;
    RecentProjects* recentProjects_ = nullptr;

    QTabWidget* pageTabs_ = nullptr;
    SitePage* sitePage_ = nullptr;
    QStatusBar* statusLine_ = nullptr;
    QCheckBox* tagOption_ = nullptr;
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
};

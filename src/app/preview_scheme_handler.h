// Serves the site to the preview's browser under a scheme of its own: the pages and whatever
// they load come from the site's folder on disk, but the menu script file comes from memory, as
// the writer would save it now. So the preview shows the project as it is, saved or not, and
// nothing is written to disk for it.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

#include <functional>

// The scheme's name; it must be registered before QApplication exists (see
// PrepareWebEngineEnvironment).
inline constexpr char kPreviewScheme[] = "quilso-preview";

// Registers the scheme with the browser engine; call before QApplication exists. Later calls
// do nothing.
void RegisterPreviewScheme();

class PreviewSchemeHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    explicit PreviewSchemeHandler(QObject* parent = nullptr);

    // Where the pages are (absolute, empty: no folder, only the built-in page) and the menu
    // script file served from memory: `scriptPath` is the project's file; empty for a project
    // that was never saved, where every script of the folder that is a menu script file, or is
    // not on disk yet, stands for it.
    void setSite(const QString& folder, const QString& scriptPath);
    QString folder() const { return folder_; }
    // The bytes of the menu script file, asked for whenever a page loads it.
    void setScriptSource(std::function<QByteArray()> source) { scriptSource_ = std::move(source); }

    // A new state of the project: addresses made from now on differ from all earlier ones.
    // The engine keeps a script it has loaded by its address, so a page loaded again under the
    // same address could run the menu script file of an earlier state.
    void renew() { ++generation_; }
    // The address of a file of the site (an absolute path).
    QUrl siteUrl(const QString& path) const;
    // The built-in page that shows the three menus with `entry` (its number in the menu array)
    // as the current page.
    QUrl builtInUrl(int entry) const;
    // The same page under the current state's address; other addresses stay as they are.
    QUrl renewed(const QUrl& url) const;
    // Whether two addresses name the same page, whatever state they were made in.
    static bool samePage(const QUrl& a, const QUrl& b);
    // Whether an address is one of ours (a page of the site or the built-in page).
    static bool isPreviewUrl(const QUrl& url);
    // The message a page shows when its file is missing.
    static QString missingPageText(const QString& path);
    // The message a page shows when its file lies outside the site's folder.
    static QString outsidePageText(const QString& path);

    // What the server gives for the path of an address (absolute, as siteUrl takes it): the
    // page the site folder's lookup finds, a folder address without its '/' sent on to its
    // index page, or nothing - missing, or outside the folder (links resolved).
    struct SiteAnswer {
        enum Kind { File, Redirect, Missing, Outside } kind = Missing;
        QString path; // File: the file to send; Redirect: the index page's path for siteUrl
    };
    SiteAnswer answerFor(const QString& path) const;

    void requestStarted(QWebEngineUrlRequestJob* job) override;

private:
    bool isMenuScript(const QString& path) const;

    QString folder_;
    QString scriptPath_;
    std::function<QByteArray()> scriptSource_;
    int generation_ = 0;
};

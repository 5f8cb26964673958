#include "preview_scheme_handler.h"

#include "page_lookup.h"
#include "publish.h"
#include "writer.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QUrlQuery>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

namespace {

// The host tells the kind of page and the state it was made in: "s12", "b12".
constexpr QChar kSiteHost = u's';
constexpr QChar kBuiltInHost = u'b';

QChar kindOf(const QUrl& url) {
    const QString host = url.host();
    return host.isEmpty() ? QChar() : host.front();
}
const QString kBuiltInPage = QStringLiteral("/vorschau.htm");
const QString kBuiltInScript = QStringLiteral("/menu.js");

void replyWith(QWebEngineUrlRequestJob* job, const QByteArray& contentType, const QByteArray& bytes) {
    auto* buffer = new QBuffer(job); // lives as long as the job that reads it
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    job->reply(contentType, buffer);
}

QString htmlEscaped(const QString& text) {
    return text.toHtmlEscaped();
}

QByteArray messagePage(const QString& text) {
    return QStringLiteral(
               "<!DOCTYPE html>\n<html lang=\"de\"><head><meta charset=\"utf-8\"><title>Vorschau</title>"
               "</head>\n<body><p id=\"quilso-preview-message\">%1</p></body></html>\n")
        .arg(htmlEscaped(text))
        .toUtf8();
}

// The three menus on an otherwise empty page, for a project without a folder to show it in.
QByteArray builtInPage(int entry) {
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"de\"><head><meta charset=\"utf-8\">"
                          "<title>Vorschau</title>\n<script src=\"menu.js\"></script>\n"
                          "<script>window.quilso_page = %1; quilso_css();</script>\n"
                          "<style>section { clear: both; overflow: auto; margin-bottom: 1.5em; }"
                          " h2 { font: bold 0.9em sans-serif; color: #555; }</style>\n</head>\n<body>\n"
                          "<section><h2>Vorgänger-Menü</h2><script>quilso_write(\"bc\");</script></section>\n"
                          "<section><h2>Haupt-Menü</h2><script>quilso_write(\"m\");</script></section>\n"
                          "<section><h2>Unter-Menü</h2><script>quilso_write(\"um\");</script></section>\n"
                          "</body></html>\n")
        .arg(entry)
        .toUtf8();
}

// The page with its published menus replaced by live ones: the preview shows the project as it
// is, and the published blocks would keep their kinds from the library.
QByteArray withLiveMenus(const QByteArray& page) {
    const std::string live =
        quilso::WithLiveMenus(std::string_view(page.constData(), std::size_t(page.size())));
    return QByteArray(live.data(), qsizetype(live.size()));
}

bool isPageName(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix.isEmpty() || suffix == QLatin1String("htm") || suffix == QLatin1String("html") ||
           suffix == QLatin1String("shtml") || suffix == QLatin1String("shtm") ||
           suffix == QLatin1String("php");
}

QByteArray contentTypeOf(const QString& path) {
    // Server-side pages would be offered for download under their own types.
    if (isPageName(path)) return "text/html";
    static const QMimeDatabase mimeTypes;
    return mimeTypes.mimeTypeForFile(path, QMimeDatabase::MatchExtension).name().toLatin1();
}

// A menu script file starts with its application header; the writer never writes anything else
// first.
bool startsLikeMenuScript(const QString& path) {
    QFile file(path);
    const std::string_view first = quilso::MenuScriptFirstLine;
    return file.open(QIODevice::ReadOnly) &&
           file.read(qint64(first.size())) == QByteArrayView(first.data(), qsizetype(first.size()));
}

} // namespace

void RegisterPreviewScheme() {
    if (QCoreApplication::instance() || !QWebEngineUrlScheme::schemeByName(kPreviewScheme).name().isEmpty())
        return;
    QWebEngineUrlScheme scheme(kPreviewScheme);
    // A host and a path, so relative addresses in the pages resolve as they do on disk.
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalAccessAllowed |
                    QWebEngineUrlScheme::CorsEnabled);
    QWebEngineUrlScheme::registerScheme(scheme);
}

PreviewSchemeHandler::PreviewSchemeHandler(QObject* parent) : QWebEngineUrlSchemeHandler(parent) {}

void PreviewSchemeHandler::setSite(const QString& folder, const QString& scriptPath) {
    folder_ = folder;
    scriptPath_ = scriptPath;
}

QUrl PreviewSchemeHandler::siteUrl(const QString& path) const {
    QUrl url;
    url.setScheme(QString::fromLatin1(kPreviewScheme));
    url.setHost(kSiteHost + QString::number(generation_));
    // Decoded: a "%" in a real file name is part of the name.
    url.setPath(path.startsWith(u'/') ? path : QLatin1Char('/') + path, QUrl::DecodedMode);
    return url;
}

QUrl PreviewSchemeHandler::builtInUrl(int entry) const {
    QUrl url;
    url.setScheme(QString::fromLatin1(kPreviewScheme));
    url.setHost(kBuiltInHost + QString::number(generation_));
    url.setPath(kBuiltInPage);
    url.setQuery(QStringLiteral("eintrag=%1").arg(entry));
    return url;
}

QUrl PreviewSchemeHandler::renewed(const QUrl& url) const {
    if (!isPreviewUrl(url)) return url;
    QUrl now = url;
    now.setHost(kindOf(url) + QString::number(generation_));
    return now;
}

bool PreviewSchemeHandler::samePage(const QUrl& a, const QUrl& b) {
    if (!isPreviewUrl(a) || !isPreviewUrl(b)) return a == b;
    return kindOf(a) == kindOf(b) && a.path() == b.path() && a.query() == b.query();
}

bool PreviewSchemeHandler::isPreviewUrl(const QUrl& url) {
    return url.scheme() == QLatin1String(kPreviewScheme);
}

QString PreviewSchemeHandler::missingPageText(const QString& path) {
    return QStringLiteral("Kann Datei ") + path + QStringLiteral(" nicht öffnen");
}

QString PreviewSchemeHandler::outsidePageText(const QString& path) {
    return QStringLiteral("Datei liegt außerhalb des Ordners: ") + path;
}

PreviewSchemeHandler::SiteAnswer PreviewSchemeHandler::answerFor(const QString& path) const {
    if (folder_.isEmpty()) return {SiteAnswer::Missing, {}};
    const QString prefix = folder_.endsWith(u'/') ? folder_ : folder_ + QLatin1Char('/');
    if (path != folder_ && !path.startsWith(prefix)) return {SiteAnswer::Outside, {}};
    const QString relative = path.mid(prefix.size());
    const quilso::SitePageFinder pages(std::filesystem::path(QFile::encodeName(folder_).toStdString()));
    const quilso::PageLookup page = pages.findPath(QFile::encodeName(relative).toStdString());
    switch (page.result) {
    case quilso::PageLookupResult::Found:
        // Without its '/' a folder's page would resolve its relative addresses one level up.
        if (!path.endsWith(u'/') && QFileInfo(path).isDir())
            return {SiteAnswer::Redirect, prefix + QFile::decodeName(page.relative.c_str())};
        return {SiteAnswer::File, QFile::decodeName(page.real.c_str())};
    case quilso::PageLookupResult::Outside:
        return {SiteAnswer::Outside, {}};
    default:
        return {SiteAnswer::Missing, {}};
    }
}

bool PreviewSchemeHandler::isMenuScript(const QString& path) const {
    if (!scriptPath_.isEmpty()) return path == scriptPath_;
    if (folder_.isEmpty() || !path.endsWith(QLatin1String(".js"), Qt::CaseInsensitive)) return false;
    // Never saved: the pages include the file it will become; any earlier menu script file in
    // the folder is what they show now.
    return QFileInfo(path).absolutePath() == folder_ &&
           (!QFileInfo::exists(path) || startsLikeMenuScript(path));
}

void PreviewSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
    const QUrl url = job->requestUrl();
    const QString path = url.path(QUrl::FullyDecoded);
    const QByteArray script = "application/javascript";
    if (kindOf(url) == kBuiltInHost) {
        if (path == kBuiltInScript) {
            replyWith(job, script, scriptSource_ ? scriptSource_() : QByteArray());
        } else if (path == kBuiltInPage) {
            replyWith(job, "text/html",
                      builtInPage(QUrlQuery(url).queryItemValue(QStringLiteral("eintrag")).toInt()));
        } else {
            // A link followed from the built-in page: there is no folder to find it in.
            replyWith(job, "text/html", messagePage(missingPageText(path.mid(1))));
        }
        return;
    }
    if (kindOf(url) != kSiteHost) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    if (isMenuScript(path)) {
        replyWith(job, script, scriptSource_ ? scriptSource_() : QByteArray());
        return;
    }
    const SiteAnswer answer = answerFor(path);
    if (answer.kind == SiteAnswer::Redirect) {
        job->redirect(siteUrl(answer.path));
        return;
    }
    if (answer.kind == SiteAnswer::File) {
        auto* file = new QFile(answer.path, job);
        if (file->open(QIODevice::ReadOnly)) {
            if (isPageName(answer.path))
                replyWith(job, contentTypeOf(answer.path), withLiveMenus(file->readAll()));
            else
                job->reply(contentTypeOf(answer.path), file);
            return;
        }
    }
    if (!isPageName(path)) {
        job->fail(answer.kind == SiteAnswer::Outside ? QWebEngineUrlRequestJob::RequestDenied
                                                     : QWebEngineUrlRequestJob::UrlNotFound);
    } else if (answer.kind == SiteAnswer::Outside) {
        replyWith(job, "text/html", messagePage(outsidePageText(path)));
    } else {
        replyWith(job, "text/html", messagePage(missingPageText(path)));
    }
}

// Shared by the preview tests: scripts run in the browser, the demo site, the preview windows.
#pragma once

#include "preview_window.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

inline const QString kDataDir = QStringLiteral(QUILSO_DATA_DIR);
inline const QString kDemoDir = QStringLiteral(QUILSO_SOURCE_DIR "/examples/demo");

// Runs a script in the page and waits for its result.
inline QVariant evalJs(QWebEngineView* view, const QString& script) {
    QVariant result;
    bool done = false;
    view->page()->runJavaScript(script, [&](const QVariant& v) {
        result = v;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 10000)) return QStringLiteral("<timeout>");
    return result;
}

// A JavaScript expression's JSON result as a list of strings.
inline QStringList jsStrings(QWebEngineView* view, const QString& expression) {
    const QString json = evalJs(view, QStringLiteral("JSON.stringify(%1)").arg(expression)).toString();
    QStringList out;
    for (const QJsonValue& v : QJsonDocument::fromJson(json.toUtf8()).array())
        out << v.toString();
    return out;
}

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The demo site's files (not its sub-folders) copied to `to`.
inline bool copyDemo(const QString& to) {
    QDir().mkpath(to);
    for (const QFileInfo& f : QDir(kDemoDir).entryInfoList(QDir::Files))
        if (!QFile::copy(f.filePath(), to + QLatin1Char('/') + f.fileName())) return false;
    return true;
}

// Top-level preview windows alive; the commands must reuse one.
inline int previewWindows() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += qobject_cast<PreviewWindow*>(w) != nullptr;
    return n;
}

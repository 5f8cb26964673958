#include "main_window.h"
#include "preview_window.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QPainter>
#include <QPixmap>
#include <QTranslator>

#include <cstdio>
#include <cstring>

namespace {
// The installed SVG icon drawn with QPainter, so the window needs no image plugin for it.
QIcon programIcon() {
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2f, 0x5d, 0x8a));
    p.drawRoundedRect(4, 4, 56, 56, 10, 10);
    p.setBrush(Qt::white);
    p.drawRoundedRect(12, 14, 40, 8, 2, 2);
    p.setBrush(QColor(0xc9, 0xdc, 0xef));
    p.drawRoundedRect(20, 28, 32, 6, 2, 2);
    p.drawRoundedRect(20, 38, 32, 6, 2, 2);
    p.setBrush(QColor(0xf2, 0xb5, 0x44));
    p.drawRoundedRect(12, 48, 24, 6, 2, 2);
    p.setPen(QPen(QColor(0xc9, 0xdc, 0xef), 2));
    p.drawPolyline(QPolygon({QPoint(14, 26), QPoint(14, 41), QPoint(19, 41)}));
    return QIcon(pixmap);
}
} // namespace

int main(int argc, char* argv[]) {
    // Answered before QApplication exists, so they work without a display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs("quilso " QUILSO_VERSION "\n", stdout);
        return 0;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs("Aufruf: quilso [PROJEKTDATEI]\n"
                   "  Öffnet die Menü-Skriptdatei PROJEKTDATEI, ohne sie ein neues Projekt.\n"
                   "  quilso --version   gibt die Version aus\n"
                   "  quilso --help      gibt diese Hilfe aus\n",
                   stdout);
        return 0;
    }
    PrepareWebEngineEnvironment();
    // The preview's web view shares its GL context with the widgets.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quilso"));
    QApplication::setApplicationVersion(QStringLiteral(QUILSO_VERSION));
    // The desktop entry is named after the application id, not the program, so the window says
    // which entry (and icon) it belongs to.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUILSO_APP_ID));
    QApplication::setWindowIcon(programIcon());

    // Qt's own texts (standard buttons, field context menus, file dialogs) in German.
    QTranslator qtGerman;
    if (qtGerman.load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtGerman);

    StartupOptions options;
    options.arguments = QApplication::arguments().mid(1);
    MainWindow window(options);
    QObject::connect(&window, &MainWindow::closed, &app, &QApplication::quit, Qt::QueuedConnection);
    window.show();
    return QApplication::exec();
}

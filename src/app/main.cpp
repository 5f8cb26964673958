#include "main_form.h"
#include "web_anzeige_form.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char* argv[]) {
    PrepareWebEngineEnvironment();
    // The preview's web view shares its GL context with the widgets.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quilso"));
    QApplication::setApplicationVersion(QStringLiteral(QUILSO_VERSION));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

    // Qt's own texts (standard buttons, field context menus, file dialogs) in German.
    QTranslator qtGerman;
    if (qtGerman.load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtGerman);

    StartupOptions options;
    options.arguments = QApplication::arguments().mid(1);
    TMainForm window(options);
    QObject::connect(&window, &TMainForm::closed, &app, &QApplication::quit, Qt::QueuedConnection);
    window.show();
    return QApplication::exec();
}

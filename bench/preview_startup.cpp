// Start-up cost of the preview window's browser: the time from entering main() until the main
// window has been shown and the event loop has run once, with the browser created at start-up
// ("eager") or left for the first preview ("lazy", what the program does).
//   preview_startup eager|lazy      prints the milliseconds
#include "preview_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>

#include <memory>

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[]) {
    QElapsedTimer clock;
    clock.start();
    const bool eager = argc > 1 && std::strcmp(argv[1], "eager") == 0;
    PrepareWebEngineEnvironment();
    QApplication app(argc, argv);
    QMainWindow main;
    main.resize(780, 580);
    auto form = std::make_unique<PreviewWindow>(&main);
    if (eager) form->ensureWebBrowser();
    main.show();
    QTimer::singleShot(0, [&] {
        std::printf("%s %lld ms\n", eager ? "eager" : "lazy", static_cast<long long>(clock.elapsed()));
        QApplication::quit();
    });
    const int rc = QApplication::exec();
    form.reset();
    return rc;
}

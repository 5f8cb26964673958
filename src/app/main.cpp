#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("quilso 1.0.3"));
    QMainWindow window;
    window.resize(780, 580);
    window.show();
    return QApplication::exec();
}

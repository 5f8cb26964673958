#include "app_test_support.h"

#include "preview_window.h"
#include "ui_seams.h"
#include "writer.h"

#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

void WriteProjectFile(const QString& path, const quilso::Project& project) {
    quilso::ProgramInfo program;
    program.functionsLines = {"function quilso_library() {}"};
    quilso::WriteMenuScript(QFile::encodeName(path).toStdString(), project, program);
}

void FillTopLevel(quilso::SiteTree& tree, const char* letters) {
    for (const char* p = letters; *p; ++p)
        tree.insert(tree.root(), -1, {std::string(1, *p), std::string(1, *p) + ".htm"});
}

QByteArray WithoutSaveTime(const QByteArray& bytes) {
    static const QRegularExpression saveTime(QStringLiteral("lastsave=[^\r\n]*"));
    return QString::fromLatin1(bytes).replace(saveTime, QStringLiteral("lastsave=")).toLatin1();
}

std::string TreeShape(const quilso::SiteTree& tree) {
    std::string out;
    std::function<void(const quilso::SiteNode*)> walk = [&](const quilso::SiteNode* node) {
        for (int i = 0; i < node->childCount(); ++i) {
            if (i) out += ' ';
            out += node->child(i)->entry.text;
            if (node->child(i)->childCount()) {
                out += '[';
                walk(node->child(i));
                out += ']';
            }
        }
    };
    walk(tree.root());
    return out;
}

AppFixture::AppFixture(const char* topLevel) {
    quilso::Project project;
    FillTopLevel(project.tree, topLevel);
    WriteProjectFile(dir_.filePath(QStringLiteral("default.js")), project);
    QFile functions(dir_.filePath(QStringLiteral("quilso_functions.js")));
    functions.open(QIODevice::WriteOnly);
    functions.write("function quilso_library() {}\r\n");
    MessageBoxes::setTestMode(true);
    FileDialogs::setTestMode(true);
}

AppFixture::~AppFixture() {
    MessageBoxes::setTestMode(true);
    FileDialogs::setTestMode(true);
}

std::unique_ptr<MainWindow> AppFixture::makeForm(const QStringList& arguments, bool load) {
    auto form = std::make_unique<MainWindow>(StartupOptions{dir_.path(), arguments});
    if (load) UiTestAccess::activate(*form);
    return form;
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    PrepareWebEngineEnvironment();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    // What the window remembers between runs stays with this run.
    const QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    MessageBoxes::setTestMode(true);
    FileDialogs::setTestMode(true);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

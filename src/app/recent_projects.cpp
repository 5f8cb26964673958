#include "recent_projects.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

namespace {
const QString kFilesKey = QStringLiteral("recentProjects");

QStringList storedFiles() {
    QSettings settings(QStringLiteral("quilso"), QStringLiteral("quilso"));
    return settings.value(kFilesKey).toStringList();
}

void storeFiles(const QStringList& files) {
    QSettings settings(QStringLiteral("quilso"), QStringLiteral("quilso"));
    settings.setValue(kFilesKey, files);
}
} // namespace

RecentProjects::RecentProjects(QMenu* menu, QObject* parent) : QObject(parent), menu_(menu) {
    connect(menu_, &QMenu::aboutToShow, this, &RecentProjects::fillMenu);
    fillMenu();
}

void RecentProjects::note(const QString& path) {
    QStringList files = storedFiles();
    files.removeAll(path);
    files.prepend(path);
    while (files.size() > MaxCount)
        files.removeLast();
    storeFiles(files);
    menu_->menuAction()->setEnabled(true);
}

QStringList RecentProjects::files() const {
    const QStringList stored = storedFiles();
    QStringList present;
    for (const QString& file : stored)
        if (QFileInfo::exists(file)) present << file;
    if (present != stored) storeFiles(present);
    return present;
}

void RecentProjects::fillMenu() {
    menu_->clear();
    const QStringList list = files();
    for (int i = 0; i < list.size(); ++i) {
        // "&1" to "&9", then "1&0": each entry has a key of its own.
        const QString number = i < 9 ? QStringLiteral("&%1").arg(i + 1) : QStringLiteral("1&0");
        const QString& path = list.at(i);
        QAction* action = menu_->addAction(number + u' ' + QDir::toNativeSeparators(path));
        action->setData(path);
        action->setStatusTip(path);
        connect(action, &QAction::triggered, this, [this, path] { emit chosen(path); });
    }
    menu_->menuAction()->setEnabled(!list.isEmpty());
}

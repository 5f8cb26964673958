// "Zuletzt geöffnet": the projects last opened or saved under a name, newest first, kept in the
// user's settings from one run to the next.
#pragma once

#include <QObject>
#include <QStringList>

class QMenu;

class RecentProjects : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxCount = 10;

    // Fills `menu` with the list whenever it opens; choosing an entry emits `chosen`.
    explicit RecentProjects(QMenu* menu, QObject* parent = nullptr);

    // `path` was opened or saved: it goes to the top.
    void note(const QString& path);
    // The stored list without the projects that are gone from disk (which it forgets).
    QStringList files() const;

signals:
    void chosen(const QString& path);

private:
    void fillMenu();

    QMenu* menu_;
};

// "Neueintrag": the modal dialog in which the user enters one new site-tree entry or up to ten
// at once in a two-column grid that is kept gap-free from the top.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QTableWidget>

#include <functional>

class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

// The grid of the dialog. It asks its owner before the cursor moves to another cell, whether by
// mouse, arrow keys or Tab, and keeps an editor open on the current cell.
class SiteGrid : public QTableWidget {
    Q_OBJECT
public:
    static constexpr int LastRow = 10;
    explicit SiteGrid(QWidget* parent = nullptr);

    // Rows count from 1 (row 0 is the header row).
    QString cell(int col, int row) const;
    void setCell(int col, int row, const QString& text);
    int currentGridRow() const { return currentRow() + 1; }
    int currentGridCol() const { return currentColumn() < 0 ? 0 : currentColumn(); }
    // Moves the cursor without asking.
    void moveCursorTo(int col, int row);
    // Opens the editor on the current cell unless one is open.
    void ensureEditor();

    // Asked with the target cell before the cursor moves; false keeps it where it is.
    std::function<bool(int col, int row)> selectCell;
    // Return or Enter in a cell, after the cell took the typed text.
    std::function<void()> returnPressed;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    friend class LiveDelegate;
    bool mayMoveTo(const QModelIndex& target);
    QPointer<QWidget> editor_; // the open cell editor
};

class NewEntryDialog : public QDialog {
    Q_OBJECT
public:
    explicit NewEntryDialog(QWidget* parent = nullptr);
    ~NewEntryDialog() override;

    bool isSingleMode() const;
    QString menuText() const;
    QString fileName() const;
    SiteGrid* grid() const { return grid_; }
    // The folder picked files are linked relative to; empty: the folder last picked from.
    void setBaseFolder(const QString& folder) { baseFolder_ = folder; }
    // How a picked file is linked: its path below the base folder with '/' separators and the
    // characters that change a link's meaning percent-encoded, else its name alone.
    QString linkFor(const QString& chosen);

    // The menu text a file name suggests: no extension, first letter a-z upper-cased.
    static QString menuTextFromFileName(const QString& fileName);

    // Handlers, public so the commands can be driven directly.
    void switchToOneEntry();
    void switchToSeveralEntries();
    void updateOkButton();
    bool mayEnterCell(int col, int row);
    void moveRowUp();
    void moveRowDown();
    void insertEmptyRow();
    void deleteRow();
    void clearRows();
    void insertRowFromFile();
    void pickFile();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool blank(int row) const;
    bool complete(int row) const;
    bool holdsAnything(int row) const;
    void copyRow(int from, int to);
    void swapRows(int a, int b);
    void shiftDownFrom(int row); // rows row..9 move down one; row becomes empty
    void prepareForShow();
    void focusGrid();

    QRadioButton* rbOne_;
    QRadioButton* rbSome_;
    QLineEdit* leText_;
    QLineEdit* leFile_;
    QToolButton* sbAddFile_;
    SiteGrid* grid_;
    QPushButton* bRowUp_;
    QPushButton* bRowDown_;
    QPushButton* bAddRow_;
    QPushButton* bDeleteRow_;
    QPushButton* bDeleteAll_;
    QToolButton* sbAddFiles_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
    QString baseFolder_;
    QString lastPickFolder_;
};

#include "new_entry_dialog.h"

#include "ui_seams.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

// Writes every keystroke through to the cell, so the row checks see what is being typed.
class LiveDelegate : public QStyledItemDelegate {
public:
    explicit LiveDelegate(SiteGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        grid_->editor_ = editor;
        if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            edit->setObjectName(QStringLiteral("SGValuesEditor"));
            edit->setAccessibleName(columnName(index.column()));
            connect(edit, &QLineEdit::textEdited, this,
                    [this, edit] { emit const_cast<LiveDelegate*>(this)->commitData(edit); });
        }
        return editor;
    }

    // The column's header text, which is what the cell holds.
    static QString columnName(int column) {
        return column == 0 ? QStringLiteral("Menütext") : QStringLiteral("Dateiname");
    }

protected:
    // The stock editor takes Return as "done with this cell"; here it finishes the dialog, as it
    // does in the single fields.
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && grid_->returnPressed) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                if (auto* editor = qobject_cast<QWidget*>(object)) emit commitData(editor);
                grid_->returnPressed();
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    SiteGrid* grid_;
};

namespace {

QString pickerFilter() {
    return QStringLiteral("HTML (*.htm *.html);;PHP (*.php *.php3 *.php4);;SHTML (*.shtm *.shtml);;"
                          "Text (*.txt);;alle Dateien (*)");
}

FileDialogRequest pickerRequest() {
    return {QStringLiteral("Datei auswählen"), pickerFilter(), QStringLiteral("htm"), {}};
}
} // namespace

// ---------------------------------------------------------------------------------------------

SiteGrid::SiteGrid(QWidget* parent) : QTableWidget(LastRow, 2, parent) {
    setHorizontalHeaderLabels({QStringLiteral("Menütext"), QStringLiteral("Dateiname")});
    verticalHeader()->setVisible(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    horizontalHeader()->setSectionsClickable(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::AllEditTriggers);
    setTabKeyNavigation(true);
    // All ten rows in view: the grid is small and fixed, scrolling would only hide rows.
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 10);
    setMinimumHeight(horizontalHeader()->sizeHint().height() +
                     LastRow * verticalHeader()->defaultSectionSize() + 4);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setItemDelegate(new LiveDelegate(this));
    for (int r = 0; r < LastRow; ++r)
        for (int c = 0; c < 2; ++c)
            setItem(r, c, new QTableWidgetItem);
    setCurrentCell(0, 0);
}

QString SiteGrid::cell(int col, int row) const {
    return item(row - 1, col)->text();
}

void SiteGrid::setCell(int col, int row, const QString& text) {
    item(row - 1, col)->setText(text);
}

void SiteGrid::moveCursorTo(int col, int row) {
    setCurrentCell(row - 1, col);
}

void SiteGrid::ensureEditor() {
    // An editor opened while the grid was disabled is still open but lacks the focus.
    if (state() == EditingState && editor_) {
        editor_->setFocus();
    } else if (currentIndex().isValid()) {
        edit(currentIndex());
    }
}

bool SiteGrid::mayMoveTo(const QModelIndex& target) {
    if (!target.isValid() || target == currentIndex() || !selectCell) return true;
    return selectCell(target.column(), target.row() + 1);
}

QModelIndex SiteGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex target = QTableWidget::moveCursor(action, modifiers);
    return mayMoveTo(target) ? target : currentIndex();
}

void SiteGrid::mousePressEvent(QMouseEvent* event) {
    const QModelIndex target = indexAt(event->position().toPoint());
    if (target.isValid() && !mayMoveTo(target)) {
        event->accept();
        return;
    }
    QTableWidget::mousePressEvent(event);
}

void SiteGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    QTableWidget::closeEditor(editor, hint);
    // The editor stays open on the current cell, also when a refused Tab left the cursor put.
    if (isEnabled() && state() != EditingState && currentIndex().isValid() &&
        hint != QAbstractItemDelegate::RevertModelCache)
        edit(currentIndex());
}

// ---------------------------------------------------------------------------------------------

NewEntryDialog::NewEntryDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DlgTreeItem"));
    setWindowTitle(QStringLiteral("Neueintrag"));
    setModal(true);

    rbOne_ = new QRadioButton(QStringLiteral("Ein Eintrag"), this);
    rbOne_->setObjectName(QStringLiteral("rbOne"));
    rbSome_ = new QRadioButton(QStringLiteral("Mehrere Einträge"), this);
    rbSome_->setObjectName(QStringLiteral("rbSome"));

    leText_ = new QLineEdit(this);
    leText_->setObjectName(QStringLiteral("leText"));
    leFile_ = new QLineEdit(this);
    leFile_->setObjectName(QStringLiteral("leFile"));
    sbAddFile_ = new QToolButton(this);
    sbAddFile_->setObjectName(QStringLiteral("sbAddFile"));
    sbAddFile_->setText(QStringLiteral("…"));
    sbAddFile_->setToolTip(QStringLiteral("Datei auswählen"));
    sbAddFile_->setAccessibleName(sbAddFile_->toolTip());

    grid_ = new SiteGrid(this);
    grid_->setObjectName(QStringLiteral("SGValues"));
    grid_->selectCell = [this](int col, int row) { return mayEnterCell(col, row); };
    grid_->returnPressed = [this] {
        updateOkButton();
        if (okButton_->isEnabled()) okButton_->click();
    };
    // What a screen reader reads: the fields by their labels, the symbol buttons by what they do.
    leText_->setAccessibleName(QStringLiteral("Menütext"));
    leFile_->setAccessibleName(QStringLiteral("Dateiname"));
    grid_->setAccessibleName(QStringLiteral("Einträge"));

    auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    bRowUp_ = button("bRowUp", QStringLiteral("↑"));
    bRowUp_->setAccessibleName(QStringLiteral("Zeile nach oben"));
    bRowDown_ = button("bRowDown", QStringLiteral("↓"));
    bRowDown_->setAccessibleName(QStringLiteral("Zeile nach unten"));
    bAddRow_ = button("bAddRow", QStringLiteral("+"));
    bAddRow_->setAccessibleName(QStringLiteral("Zeile einfügen"));
    bDeleteRow_ = button("bDeleteRow", QStringLiteral("-"));
    bDeleteRow_->setAccessibleName(QStringLiteral("Zeile löschen"));
    bDeleteAll_ = button("bDeleteAll", QStringLiteral("Alles löschen"));
    sbAddFiles_ = new QToolButton(this);
    sbAddFiles_->setObjectName(QStringLiteral("sbAddFiles"));
    sbAddFiles_->setText(QStringLiteral("…"));
    sbAddFiles_->setToolTip(QStringLiteral("Datei auswählen"));
    sbAddFiles_->setAccessibleName(sbAddFiles_->toolTip());
    okButton_ = button("OKBtn", QStringLiteral("OK"));
    okButton_->setDefault(true);
    cancelButton_ = button("CancelBtn", QStringLiteral("Abbrechen"));

    auto* single = new QGridLayout;
    auto* textLabel = new QLabel(QStringLiteral("Menütext:"), this);
    textLabel->setBuddy(leText_);
    single->addWidget(textLabel, 0, 0);
    single->addWidget(leText_, 0, 1);
    auto* fileLabel = new QLabel(QStringLiteral("Dateiname:"), this);
    fileLabel->setBuddy(leFile_);
    single->addWidget(fileLabel, 1, 0);
    single->addWidget(leFile_, 1, 1);
    single->addWidget(sbAddFile_, 1, 2);

    auto* rowButtons = new QVBoxLayout;
    for (QWidget* w :
         {static_cast<QWidget*>(bRowUp_), static_cast<QWidget*>(bRowDown_), static_cast<QWidget*>(bAddRow_),
          static_cast<QWidget*>(bDeleteRow_), static_cast<QWidget*>(sbAddFiles_)})
        rowButtons->addWidget(w);
    rowButtons->addStretch();
    rowButtons->addWidget(bDeleteAll_);
    auto* multi = new QHBoxLayout;
    multi->addWidget(grid_, 1);
    multi->addLayout(rowButtons);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(okButton_);
    bottom->addWidget(cancelButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(rbOne_);
    layout->addLayout(single);
    layout->addWidget(rbSome_);
    layout->addLayout(multi, 1);
    layout->addLayout(bottom);
    resize(520, 440);

    connect(rbOne_, &QRadioButton::toggled, this, [this](bool on) {
        if (on) switchToOneEntry();
    });
    connect(rbSome_, &QRadioButton::toggled, this, [this](bool on) {
        if (on) switchToSeveralEntries();
    });
    connect(leText_, &QLineEdit::textChanged, this, &NewEntryDialog::updateOkButton);
    connect(leFile_, &QLineEdit::textChanged, this, &NewEntryDialog::updateOkButton);
    connect(grid_, &QTableWidget::itemChanged, this, &NewEntryDialog::updateOkButton);
    grid_->installEventFilter(this);
    grid_->viewport()->installEventFilter(this);
    connect(bRowUp_, &QPushButton::clicked, this, &NewEntryDialog::moveRowUp);
    connect(bRowDown_, &QPushButton::clicked, this, &NewEntryDialog::moveRowDown);
    connect(bAddRow_, &QPushButton::clicked, this, &NewEntryDialog::insertEmptyRow);
    connect(bDeleteRow_, &QPushButton::clicked, this, &NewEntryDialog::deleteRow);
    connect(bDeleteAll_, &QPushButton::clicked, this, &NewEntryDialog::clearRows);
    connect(sbAddFiles_, &QToolButton::clicked, this, &NewEntryDialog::insertRowFromFile);
    connect(sbAddFile_, &QToolButton::clicked, this, &NewEntryDialog::pickFile);
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
}

NewEntryDialog::~NewEntryDialog() {
    // A cell being edited commits when the focus leaves it as the dialog goes; by then this part
    // of the object is gone, so nothing may reach its slots any more.
    const QList<QObject*> senders = findChildren<QObject*>();
    for (QObject* sender : senders)
        disconnect(sender, nullptr, this, nullptr);
}

bool NewEntryDialog::isSingleMode() const {
    return rbOne_->isChecked();
}
QString NewEntryDialog::menuText() const {
    return leText_->text();
}
QString NewEntryDialog::fileName() const {
    return leFile_->text();
}

QString NewEntryDialog::menuTextFromFileName(const QString& fileName) {
    QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot >= 0) name.truncate(dot);
    if (!name.isEmpty() && name.at(0) >= u'a' && name.at(0) <= u'z') name[0] = name.at(0).toUpper();
    return name;
}

void NewEntryDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    prepareForShow();
}

void NewEntryDialog::prepareForShow() {
    if (rbOne_->isChecked() == rbSome_->isChecked()) {
        rbSome_->setChecked(true);
        rbOne_->setChecked(true);
    }
    // Each use starts at the menu text, the last one's text selected so that typing replaces it.
    if (rbOne_->isChecked()) {
        leText_->setFocus();
        leText_->selectAll();
    } else {
        focusGrid();
    }
}

bool NewEntryDialog::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == grid_ || watched == grid_->viewport()) &&
        (event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::KeyRelease))
        updateOkButton();
    return QDialog::eventFilter(watched, event);
}

void NewEntryDialog::switchToOneEntry() {
    for (QWidget* w :
         {static_cast<QWidget*>(leText_), static_cast<QWidget*>(leFile_), static_cast<QWidget*>(sbAddFile_)})
        w->setEnabled(true);
    for (QWidget* w :
         {static_cast<QWidget*>(grid_), static_cast<QWidget*>(bRowUp_), static_cast<QWidget*>(bRowDown_),
          static_cast<QWidget*>(bDeleteRow_), static_cast<QWidget*>(bAddRow_),
          static_cast<QWidget*>(sbAddFiles_), static_cast<QWidget*>(bDeleteAll_)})
        w->setEnabled(false);
    leText_->setFocus();
    updateOkButton();
}

void NewEntryDialog::switchToSeveralEntries() {
    for (QWidget* w :
         {static_cast<QWidget*>(leText_), static_cast<QWidget*>(leFile_), static_cast<QWidget*>(sbAddFile_)})
        w->setEnabled(false);
    for (QWidget* w :
         {static_cast<QWidget*>(grid_), static_cast<QWidget*>(bRowUp_), static_cast<QWidget*>(bRowDown_),
          static_cast<QWidget*>(bDeleteRow_), static_cast<QWidget*>(bAddRow_),
          static_cast<QWidget*>(sbAddFiles_), static_cast<QWidget*>(bDeleteAll_)})
        w->setEnabled(true);
    focusGrid();
    updateOkButton();
}

void NewEntryDialog::focusGrid() {
    grid_->setFocus();
    grid_->ensureEditor();
}

void NewEntryDialog::updateOkButton() {
    if (rbOne_->isChecked()) {
        okButton_->setEnabled(!leText_->text().trimmed().isEmpty() && !leFile_->text().trimmed().isEmpty());
    } else {
        const int row = grid_->currentGridRow();
        okButton_->setEnabled(blank(row) || complete(row));
    }
}

bool NewEntryDialog::blank(int row) const {
    return grid_->cell(0, row).trimmed().isEmpty() && grid_->cell(1, row).trimmed().isEmpty();
}

bool NewEntryDialog::complete(int row) const {
    return !grid_->cell(0, row).trimmed().isEmpty() && !grid_->cell(1, row).trimmed().isEmpty();
}

bool NewEntryDialog::holdsAnything(int row) const {
    return !grid_->cell(0, row).isEmpty() || !grid_->cell(1, row).isEmpty();
}

void NewEntryDialog::copyRow(int from, int to) {
    grid_->setCell(0, to, grid_->cell(0, from));
    grid_->setCell(1, to, grid_->cell(1, from));
}

void NewEntryDialog::swapRows(int a, int b) {
    for (int c = 0; c < 2; ++c) {
        const QString t = grid_->cell(c, a);
        grid_->setCell(c, a, grid_->cell(c, b));
        grid_->setCell(c, b, t);
    }
}

void NewEntryDialog::shiftDownFrom(int row) {
    for (int r = SiteGrid::LastRow; r > row; --r)
        copyRow(r - 1, r);
    grid_->setCell(0, row, {});
    grid_->setCell(1, row, {});
}

bool NewEntryDialog::mayEnterCell(int /*col*/, int row) {
    bool allowed = true;
    const int current = grid_->currentGridRow();
    if (row != current) {
        if (!blank(current) && !complete(current)) {
            allowed = false;
        } else if (blank(current)) {
            // A blank row closes up: the rows below move up and the cursor stays on its row
            // number when that moved anything into it.
            for (int r = current; r <= SiteGrid::LastRow - 1; ++r) {
                if (holdsAnything(r)) allowed = false;
                copyRow(r + 1, r);
            }
            grid_->setCell(0, SiteGrid::LastRow, {});
            grid_->setCell(1, SiteGrid::LastRow, {});
        }
    }
    if (allowed && row != 1) allowed = complete(row - 1);
    return allowed;
}

void NewEntryDialog::moveRowUp() {
    const int row = grid_->currentGridRow();
    if (row > 1 && !blank(row)) {
        swapRows(row, row - 1);
        grid_->moveCursorTo(grid_->currentGridCol(), row - 1);
    }
    focusGrid();
}

void NewEntryDialog::moveRowDown() {
    const int row = grid_->currentGridRow();
    if (row < SiteGrid::LastRow && complete(row + 1) && !blank(row)) {
        swapRows(row, row + 1);
        grid_->moveCursorTo(grid_->currentGridCol(), row + 1);
    }
    focusGrid();
}

void NewEntryDialog::insertEmptyRow() {
    const int row = grid_->currentGridRow();
    if (blank(SiteGrid::LastRow) && complete(row)) {
        shiftDownFrom(row);
        grid_->setCell(0, row, QStringLiteral("neue Zeile"));
        grid_->moveCursorTo(0, row);
    }
    focusGrid();
}

void NewEntryDialog::deleteRow() {
    const int row = grid_->currentGridRow();
    for (int r = row; r < SiteGrid::LastRow; ++r)
        copyRow(r + 1, r);
    grid_->setCell(0, SiteGrid::LastRow, {});
    grid_->setCell(1, SiteGrid::LastRow, {});
    focusGrid();
}

void NewEntryDialog::clearRows() {
    for (int r = 1; r <= SiteGrid::LastRow; ++r) {
        grid_->setCell(0, r, {});
        grid_->setCell(1, r, {});
    }
    grid_->moveCursorTo(0, 1);
    focusGrid();
}

void NewEntryDialog::insertRowFromFile() {
    const int row = grid_->currentGridRow();
    if (!blank(SiteGrid::LastRow) || !(blank(row) || complete(row))) return;
    const QString chosen = FileDialogs::getOpenFileName(this, pickerRequest());
    if (chosen.isEmpty()) return;
    shiftDownFrom(row);
    grid_->setCell(1, row, linkFor(chosen));
    grid_->setCell(0, row, menuTextFromFileName(QFileInfo(chosen).fileName()));
    grid_->moveCursorTo(0, row < SiteGrid::LastRow ? row + 1 : row);
    focusGrid();
}

void NewEntryDialog::pickFile() {
    const QString chosen = FileDialogs::getOpenFileName(this, pickerRequest());
    if (chosen.isEmpty()) return;
    leFile_->setText(linkFor(chosen));
    leText_->setText(menuTextFromFileName(QFileInfo(chosen).fileName()));
}

QString NewEntryDialog::linkFor(const QString& chosen) {
    const QFileInfo file(chosen);
    const QString base = baseFolder_.isEmpty() ? lastPickFolder_ : baseFolder_;
    lastPickFolder_ = file.absolutePath();
    if (!base.isEmpty()) {
        const QString relative = QDir(base).relativeFilePath(file.absoluteFilePath());
        if (!relative.startsWith(QStringLiteral("../")) && !QDir::isAbsolutePath(relative)) {
            QString link;
            for (QChar ch : QDir::fromNativeSeparators(relative)) {
                switch (ch.unicode()) {
                case u'%':
                    link += QStringLiteral("%25");
                    break;
                case u' ':
                    link += QStringLiteral("%20");
                    break;
                case u'#':
                    link += QStringLiteral("%23");
                    break;
                case u'?':
                    link += QStringLiteral("%3F");
                    break;
                default:
                    link += ch;
                }
            }
            return link;
        }
    }
    return file.fileName();
}

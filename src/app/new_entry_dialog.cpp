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
            connect(edit, &QLineEdit::textEdited, this,
                    [this, edit] { emit const_cast<LiveDelegate*>(this)->commitData(edit); });
        }
        return editor;
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

    rbOne = new QRadioButton(QStringLiteral("Ein Eintrag"), this);
    rbOne->setObjectName(QStringLiteral("rbOne"));
    rbSome = new QRadioButton(QStringLiteral("Mehrere Einträge"), this);
    rbSome->setObjectName(QStringLiteral("rbSome"));

    leText = new QLineEdit(this);
    leText->setObjectName(QStringLiteral("leText"));
    leFile = new QLineEdit(this);
    leFile->setObjectName(QStringLiteral("leFile"));
    sbAddFile = new QToolButton(this);
    sbAddFile->setObjectName(QStringLiteral("sbAddFile"));
    sbAddFile->setText(QStringLiteral("…"));
    sbAddFile->setToolTip(QStringLiteral("Datei auswählen"));

    SGValues = new SiteGrid(this);
    SGValues->setObjectName(QStringLiteral("SGValues"));
    SGValues->selectCell = [this](int col, int row) { return SGValuesSelectCell(col, row); };

    auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    bRowUp = button("bRowUp", QStringLiteral("↑"));
    bRowDown = button("bRowDown", QStringLiteral("↓"));
    bAddRow = button("bAddRow", QStringLiteral("+"));
    bDeleteRow = button("bDeleteRow", QStringLiteral("-"));
    bDeleteAll = button("bDeleteAll", QStringLiteral("Alles löschen"));
    sbAddFiles = new QToolButton(this);
    sbAddFiles->setObjectName(QStringLiteral("sbAddFiles"));
    sbAddFiles->setText(QStringLiteral("…"));
    sbAddFiles->setToolTip(QStringLiteral("Datei auswählen"));
    OKBtn = button("OKBtn", QStringLiteral("OK"));
    OKBtn->setDefault(true);
    CancelBtn = button("CancelBtn", QStringLiteral("Abbrechen"));

    auto* single = new QGridLayout;
    single->addWidget(new QLabel(QStringLiteral("Menütext:"), this), 0, 0);
    single->addWidget(leText, 0, 1);
    single->addWidget(new QLabel(QStringLiteral("Dateiname:"), this), 1, 0);
    single->addWidget(leFile, 1, 1);
    single->addWidget(sbAddFile, 1, 2);

    auto* rowButtons = new QVBoxLayout;
    for (QWidget* w :
         {static_cast<QWidget*>(bRowUp), static_cast<QWidget*>(bRowDown), static_cast<QWidget*>(bAddRow),
          static_cast<QWidget*>(bDeleteRow), static_cast<QWidget*>(sbAddFiles)})
        rowButtons->addWidget(w);
    rowButtons->addStretch();
    rowButtons->addWidget(bDeleteAll);
    auto* multi = new QHBoxLayout;
    multi->addWidget(SGValues, 1);
    multi->addLayout(rowButtons);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(OKBtn);
    bottom->addWidget(CancelBtn);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(rbOne);
    layout->addLayout(single);
    layout->addWidget(rbSome);
    layout->addLayout(multi, 1);
    layout->addLayout(bottom);
    resize(520, 440);

    connect(rbOne, &QRadioButton::toggled, this, [this](bool on) {
        if (on) rbOneClick();
    });
    connect(rbSome, &QRadioButton::toggled, this, [this](bool on) {
        if (on) rbSomeClick();
    });
    connect(leText, &QLineEdit::textChanged, this, &NewEntryDialog::CheckOKButton);
    connect(leFile, &QLineEdit::textChanged, this, &NewEntryDialog::CheckOKButton);
    connect(SGValues, &QTableWidget::itemChanged, this, &NewEntryDialog::CheckOKButton);
    SGValues->installEventFilter(this);
    SGValues->viewport()->installEventFilter(this);
    connect(bRowUp, &QPushButton::clicked, this, &NewEntryDialog::bRowUpClick);
    connect(bRowDown, &QPushButton::clicked, this, &NewEntryDialog::bRowDownClick);
    connect(bAddRow, &QPushButton::clicked, this, &NewEntryDialog::bAddRowClick);
    connect(bDeleteRow, &QPushButton::clicked, this, &NewEntryDialog::bDeleteRowClick);
    connect(bDeleteAll, &QPushButton::clicked, this, &NewEntryDialog::bDeleteAllClick);
    connect(sbAddFiles, &QToolButton::clicked, this, &NewEntryDialog::sbAddFilesClick);
    connect(sbAddFile, &QToolButton::clicked, this, &NewEntryDialog::sbAddFileClick);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

bool NewEntryDialog::isSingleMode() const {
    return rbOne->isChecked();
}
QString NewEntryDialog::menuText() const {
    return leText->text();
}
QString NewEntryDialog::fileName() const {
    return leFile->text();
}

QString NewEntryDialog::MenuTextFromFileName(const QString& fileName) {
    QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot >= 0) name.truncate(dot);
    if (!name.isEmpty() && name.at(0) >= u'a' && name.at(0) <= u'z') name[0] = name.at(0).toUpper();
    return name;
}

void NewEntryDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void NewEntryDialog::FormShow() {
    if (rbOne->isChecked() == rbSome->isChecked()) {
        rbSome->setChecked(true);
        rbOne->setChecked(true);
    }
}

bool NewEntryDialog::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == SGValues || watched == SGValues->viewport()) &&
        (event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::KeyRelease))
        CheckOKButton();
    return QDialog::eventFilter(watched, event);
}

void NewEntryDialog::rbOneClick() {
    for (QWidget* w :
         {static_cast<QWidget*>(leText), static_cast<QWidget*>(leFile), static_cast<QWidget*>(sbAddFile)})
        w->setEnabled(true);
    for (QWidget* w :
         {static_cast<QWidget*>(SGValues), static_cast<QWidget*>(bRowUp), static_cast<QWidget*>(bRowDown),
          static_cast<QWidget*>(bDeleteRow), static_cast<QWidget*>(bAddRow),
          static_cast<QWidget*>(sbAddFiles), static_cast<QWidget*>(bDeleteAll)})
        w->setEnabled(false);
    leText->setFocus();
    CheckOKButton();
}

void NewEntryDialog::rbSomeClick() {
    for (QWidget* w :
         {static_cast<QWidget*>(leText), static_cast<QWidget*>(leFile), static_cast<QWidget*>(sbAddFile)})
        w->setEnabled(false);
    for (QWidget* w :
         {static_cast<QWidget*>(SGValues), static_cast<QWidget*>(bRowUp), static_cast<QWidget*>(bRowDown),
          static_cast<QWidget*>(bDeleteRow), static_cast<QWidget*>(bAddRow),
          static_cast<QWidget*>(sbAddFiles), static_cast<QWidget*>(bDeleteAll)})
        w->setEnabled(true);
    focusGrid();
    CheckOKButton();
}

void NewEntryDialog::focusGrid() {
    SGValues->setFocus();
    SGValues->ensureEditor();
}

void NewEntryDialog::CheckOKButton() {
    if (rbOne->isChecked()) {
        OKBtn->setEnabled(!leText->text().trimmed().isEmpty() && !leFile->text().trimmed().isEmpty());
    } else {
        const int row = SGValues->currentGridRow();
        OKBtn->setEnabled(blank(row) || complete(row));
    }
}

bool NewEntryDialog::blank(int row) const {
    return SGValues->cell(0, row).trimmed().isEmpty() && SGValues->cell(1, row).trimmed().isEmpty();
}

bool NewEntryDialog::complete(int row) const {
    return !SGValues->cell(0, row).trimmed().isEmpty() && !SGValues->cell(1, row).trimmed().isEmpty();
}

bool NewEntryDialog::holdsAnything(int row) const {
    return !SGValues->cell(0, row).isEmpty() || !SGValues->cell(1, row).isEmpty();
}

void NewEntryDialog::copyRow(int from, int to) {
    SGValues->setCell(0, to, SGValues->cell(0, from));
    SGValues->setCell(1, to, SGValues->cell(1, from));
}

void NewEntryDialog::swapRows(int a, int b) {
    for (int c = 0; c < 2; ++c) {
        const QString t = SGValues->cell(c, a);
        SGValues->setCell(c, a, SGValues->cell(c, b));
        SGValues->setCell(c, b, t);
    }
}

void NewEntryDialog::shiftDownFrom(int row) {
    for (int r = SiteGrid::LastRow; r > row; --r)
        copyRow(r - 1, r);
    SGValues->setCell(0, row, {});
    SGValues->setCell(1, row, {});
}

bool NewEntryDialog::SGValuesSelectCell(int /*col*/, int row) {
    bool allowed = true;
    const int current = SGValues->currentGridRow();
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
            SGValues->setCell(0, SiteGrid::LastRow, {});
            SGValues->setCell(1, SiteGrid::LastRow, {});
        }
    }
    if (allowed && row != 1) allowed = complete(row - 1);
    return allowed;
}

void NewEntryDialog::bRowUpClick() {
    const int row = SGValues->currentGridRow();
    if (row > 1 && !blank(row)) {
        swapRows(row, row - 1);
        SGValues->moveCursorTo(SGValues->currentGridCol(), row - 1);
    }
    focusGrid();
}

void NewEntryDialog::bRowDownClick() {
    const int row = SGValues->currentGridRow();
    if (row < SiteGrid::LastRow && complete(row + 1) && !blank(row)) {
        swapRows(row, row + 1);
        SGValues->moveCursorTo(SGValues->currentGridCol(), row + 1);
    }
    focusGrid();
}

void NewEntryDialog::bAddRowClick() {
    const int row = SGValues->currentGridRow();
    if (blank(SiteGrid::LastRow) && complete(row)) {
        shiftDownFrom(row);
        SGValues->setCell(0, row, QStringLiteral("neue Zeile"));
        SGValues->moveCursorTo(0, row);
    }
    focusGrid();
}

void NewEntryDialog::bDeleteRowClick() {
    const int row = SGValues->currentGridRow();
    for (int r = row; r < SiteGrid::LastRow; ++r)
        copyRow(r + 1, r);
    SGValues->setCell(0, SiteGrid::LastRow, {});
    SGValues->setCell(1, SiteGrid::LastRow, {});
    focusGrid();
}

void NewEntryDialog::bDeleteAllClick() {
    for (int r = 1; r <= SiteGrid::LastRow; ++r) {
        SGValues->setCell(0, r, {});
        SGValues->setCell(1, r, {});
    }
    SGValues->moveCursorTo(0, 1);
    focusGrid();
}

void NewEntryDialog::sbAddFilesClick() {
    const int row = SGValues->currentGridRow();
    if (!blank(SiteGrid::LastRow) || !(blank(row) || complete(row))) return;
    const QString chosen = FileDialogs::getOpenFileName(this, pickerRequest());
    if (chosen.isEmpty()) return;
    shiftDownFrom(row);
    SGValues->setCell(1, row, linkFor(chosen));
    SGValues->setCell(0, row, MenuTextFromFileName(QFileInfo(chosen).fileName()));
    SGValues->moveCursorTo(0, row < SiteGrid::LastRow ? row + 1 : row);
    focusGrid();
}

void NewEntryDialog::sbAddFileClick() {
    const QString chosen = FileDialogs::getOpenFileName(this, pickerRequest());
    if (chosen.isEmpty()) return;
    leFile->setText(linkFor(chosen));
    leText->setText(MenuTextFromFileName(QFileInfo(chosen).fileName()));
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

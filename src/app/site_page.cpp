#include "site_page.h"

#include "new_entry_dialog.h"
#include "project_document.h"
#include "site_tree_model.h"
#include "text_convert.h"

#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <unordered_set>

using quilso::SiteEntry;
using quilso::SiteNode;

namespace {

const QColor kSilver(0xC0, 0xC0, 0xC0);

QLabel* roundLabel(QWidget* parent, const char* name, const QString& text, int size, const QString& colour) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignCenter);
    label->setFixedSize(size, size);
    label->setCursor(Qt::PointingHandCursor);
    label->setStyleSheet(QStringLiteral("QLabel { background: %1; color: white; border-radius: %2px;"
                                        " font-weight: bold; font-size: 18px; }")
                             .arg(colour)
                             .arg(size / 2));
    return label;
}

// A selection of thousands of separate entries would make the stock view build a region of
// thousands of rectangles on every selection change; repainting the visible area is cheaper.
//
// Dragging within the tree is always a move: the view takes every drop as one (Ctrl's copy
// included) and starts its own drags, which leave the source alone once the drop has moved the
// entries (the stock drag would ask the model to remove them after a move).
class SiteTreeView : public QTreeView {
public:
    explicit SiteTreeView(SitePage* page) : QTreeView(page), page_(page) {}

protected:
    QRegion visualRegionForSelection(const QItemSelection& selection) const override {
        if (selection.size() > 32) return QRegion(viewport()->rect());
        return QTreeView::visualRegionForSelection(selection);
    }

    void keyPressEvent(QKeyEvent* event) override {
        // Alt+arrows are the move commands; where a move is not possible they must not walk
        // or fold the tree instead.
        const int key = event->key();
        if (event->modifiers() == Qt::AltModifier &&
            (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right)) {
            event->accept();
            return;
        }
        // The context menu from the keyboard opens at the focused entry, not at the pointer.
        if (key == Qt::Key_Menu || (key == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
            event->accept();
            const QModelIndex current = currentIndex();
            if (current.isValid()) scrollTo(current);
            const QRect place = current.isValid() ? visualRect(current) : QRect();
            emit customContextMenuRequested(current.isValid() ? QPoint(place.left() + 8, place.center().y())
                                                              : QPoint(8, 8));
            return;
        }
        QTreeView::keyPressEvent(event);
    }

    bool event(QEvent* event) override {
        // Handled as a key above; the context menu event the platform may make of the same key
        // would open the menu a second time, at the pointer.
        if (event->type() == QEvent::ContextMenu &&
            static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
            event->accept();
            return true;
        }
        return QTreeView::event(event);
    }

    void paintEvent(QPaintEvent* event) override {
        QTreeView::paintEvent(event);
        // An empty tree draws nothing that could carry the focus mark.
        if (!hasFocus() || model()->rowCount() > 0) return;
        QPainter painter(viewport());
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = viewport()->rect().adjusted(2, 2, -2, -2);
        option.backgroundColor = palette().color(QPalette::Base);
        // However the focus came: an empty tree has nothing else that shows it.
        option.state |= QStyle::State_KeyboardFocusChange;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }

    void focusInEvent(QFocusEvent* event) override {
        QTreeView::focusInEvent(event);
        viewport()->update();
    }

    void focusOutEvent(QFocusEvent* event) override {
        QTreeView::focusOutEvent(event);
        viewport()->update();
    }

    void mousePressEvent(QMouseEvent* event) override {
        pressedAt_ = event->position().toPoint();
        QTreeView::mousePressEvent(event);
    }

    void startDrag(Qt::DropActions) override {
        const std::vector<SiteNode*> dragged = page_->selectedEntries();
        if (dragged.empty()) return;
        auto* tree = static_cast<SiteTreeModel*>(model());
        QModelIndexList indexes;
        indexes.reserve(qsizetype(dragged.size()));
        for (const SiteNode* node : dragged)
            indexes.append(tree->indexOf(node));
        auto* drag = new QDrag(this);
        drag->setMimeData(tree->mimeData(indexes));
        QPoint hotSpot;
        const QPixmap picture = draggedRowsPicture(dragged, &hotSpot);
        if (!picture.isNull()) {
            drag->setPixmap(picture);
            drag->setHotSpot(hotSpot);
        }
        drag->exec(Qt::MoveAction, Qt::MoveAction);
    }

    void dragEnterEvent(QDragEnterEvent* event) override {
        takeAsMove(event);
        QTreeView::dragEnterEvent(event);
        if (event->isAccepted()) event->setDropAction(Qt::MoveAction);
    }

    void dragMoveEvent(QDragMoveEvent* event) override {
        takeAsMove(event);
        QDragMoveEvent aimed(dropPoint(event->position()).toPoint(), event->possibleActions(),
                             event->mimeData(), event->buttons(), event->modifiers());
        aimed.setDropAction(Qt::MoveAction);
        setDropIndicatorShown(true);
        QTreeView::dragMoveEvent(&aimed);
        if (aimed.isAccepted() && !overDraggedEntry(aimed)) {
            event->setDropAction(Qt::MoveAction);
            event->accept();
        } else {
            // The stock view leaves the last indicator standing over a refused place.
            event->ignore();
            setDropIndicatorShown(false);
            viewport()->update();
        }
    }

    void dropEvent(QDropEvent* event) override {
        takeAsMove(event);
        QDropEvent aimed(dropPoint(event->position()), event->possibleActions(), event->mimeData(),
                         event->buttons(), event->modifiers());
        aimed.setDropAction(Qt::MoveAction);
        if (overDraggedEntry(aimed)) {
            event->ignore();
            setState(NoState);
            viewport()->update();
            return;
        }
        QTreeView::dropEvent(&aimed);
        event->setDropAction(Qt::MoveAction);
        event->setAccepted(aimed.isAccepted());
    }

private:
    static void takeAsMove(QDropEvent* event) {
        if (event->possibleActions() & Qt::MoveAction) event->setDropAction(Qt::MoveAction);
    }

    // Where the stock view should look for the drop. Left of an entry's text (its indentation)
    // it would find no entry and drop at the end of the top level; below an expanded entry it
    // would drop after the entry's whole subtree although the line shows above its first child.
    QPointF dropPoint(const QPointF& pos) const {
        const QModelIndex index = indexAt(pos.toPoint());
        if (!index.isValid()) return pos;
        const QRect rect = visualRect(index);
        QPointF aimed(std::max(pos.x(), qreal(rect.left() + 1)), pos.y());
        // The margin the view itself uses between "above", "on" and "below" an entry.
        const int margin = std::clamp(qRound(qreal(rect.height()) / 5.5), 2, 12);
        if (isExpanded(index) && model()->hasChildren(index) && rect.bottom() - pos.y() < margin) {
            const QRect first = visualRect(model()->index(0, 0, index));
            aimed = QPointF(first.left() + 1, first.top());
        }
        return aimed;
    }

    // Before, on or after one of the dragged entries: nowhere to go. (The stock view knows
    // this only for its own drags, by the selection.)
    bool overDraggedEntry(const QDropEvent& event) const {
        const QModelIndex index = indexAt(event.position().toPoint());
        if (!index.isValid()) return false;
        auto* tree = static_cast<SiteTreeModel*>(model());
        const SiteNode* node = tree->nodeOf(index);
        const std::vector<SiteNode*> dragged = tree->draggedEntries(event.mimeData());
        if (dragged.empty() || dragged.front()->parent() != node->parent()) return false;
        return std::binary_search(dragged.begin(), dragged.end(), node,
                                  [](const SiteNode* a, const SiteNode* b) { return a->row() < b->row(); });
    }

    // The visible dragged rows as the drag shows them; only the rows on screen are looked at,
    // however many entries are dragged.
    QPixmap draggedRowsPicture(const std::vector<SiteNode*>& dragged, QPoint* hotSpot) {
        const std::unordered_set<const SiteNode*> wanted(dragged.begin(), dragged.end());
        auto* tree = static_cast<SiteTreeModel*>(model());
        std::vector<QRect> rows;
        QRect area;
        for (QModelIndex i = indexAt(QPoint(1, 1)); i.isValid(); i = indexBelow(i)) {
            const QRect rect = visualRect(i);
            if (rect.top() > viewport()->height()) break;
            if (!wanted.count(tree->nodeOf(i))) continue;
            rows.push_back(rect);
            area |= rect;
        }
        if (rows.empty()) return {};
        area &= viewport()->rect();
        QPixmap picture(area.size() * devicePixelRatio());
        picture.setDevicePixelRatio(devicePixelRatio());
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        painter.setOpacity(0.7);
        for (const QRect& rect : rows)
            painter.drawPixmap(rect.topLeft() - area.topLeft(), viewport()->grab(rect));
        // Hung a little below the pointer, so the picture never hides the drop line.
        *hotSpot = QPoint(pressedAt_.x() - area.left(), -8);
        return picture;
    }

    SitePage* page_;
    QPoint pressedAt_;
};

void setFieldState(QLineEdit* field, QLabel* hint, bool filled) {
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, filled ? QApplication::palette().color(QPalette::Base) : kSilver);
    field->setPalette(palette);
    hint->setVisible(!filled);
}

} // namespace

SitePage::SitePage(ProjectDocument* document, QWidget* parent) : QWidget(parent), document_(document) {
    setObjectName(QStringLiteral("tsExplorer"));
    runNewEntryDialog = [](NewEntryDialog& dialog) { return dialog.exec() == QDialog::Accepted; };
    buildTreeView();
    buildActions();
    buildFields();

    SiteTreeModel* model = document_->treeModel();
    // The reader replaces the whole tree: the selection goes with it, and the controls follow
    // once the new tree is there.
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        rebuilding_ = true;
        selection_.clear();
    });
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        rebuilding_ = false;
        updateControls();
    });
    connect(document_, &ProjectDocument::projectRead, this, [this] { updateControls(); });
    document_->currentSelection = [this] {
        collectSelection();
        return TreeSelection{selection_, focusedNode()};
    };
    connect(document_, &ProjectDocument::selectionRestored, this,
            [this](const std::vector<SiteNode*>& nodes, SiteNode* focus) {
                reopenSubtrees(nodes);
                selectNodes(nodes, focus);
            });
    auto selectionChanged = [this] {
        keepSiblingSelection();
        if (!adjustingSelection_ && !rebuilding_) updateControls();
    };
    connect(siteView_->selectionModel(), &QItemSelectionModel::selectionChanged, this, selectionChanged);
    connect(siteView_->selectionModel(), &QItemSelectionModel::currentChanged, this, selectionChanged);
    connect(siteView_, &QTreeView::expanded, this, [this](const QModelIndex& i) {
        document_->setEntryExpanded(document_->treeModel()->nodeOf(i), true);
    });
    connect(siteView_, &QTreeView::collapsed, this, [this](const QModelIndex& i) {
        document_->setEntryExpanded(document_->treeModel()->nodeOf(i), false);
    });
    updateControls();
}

void SitePage::buildTreeView() {
    siteView_ = new SiteTreeView(this);
    siteView_->setObjectName(QStringLiteral("tvSite"));
    siteView_->setModel(document_->treeModel());
    siteView_->setHeaderHidden(true);
    siteView_->setUniformRowHeights(true); // no per-row measuring: 100,000 entries lay out at once
    siteView_->setIndentation(19);
    siteView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    siteView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    siteView_->setContextMenuPolicy(Qt::CustomContextMenu);
    QPalette keepHighlight = siteView_->palette();
    keepHighlight.setColor(QPalette::Inactive, QPalette::Highlight,
                           keepHighlight.color(QPalette::Active, QPalette::Highlight));
    keepHighlight.setColor(QPalette::Inactive, QPalette::HighlightedText,
                           keepHighlight.color(QPalette::Active, QPalette::HighlightedText));
    siteView_->setPalette(keepHighlight);
    siteView_->viewport()->installEventFilter(this);
    siteView_->setDragEnabled(true);
    siteView_->setAcceptDrops(true);
    siteView_->setDragDropMode(QAbstractItemView::DragDrop);
    siteView_->setDefaultDropAction(Qt::MoveAction);
    siteView_->setDropIndicatorShown(true);
    document_->treeModel()->moveDroppedEntries = [this](const std::vector<SiteNode*>& siblings,
                                                        SiteNode* newParent, int row) {
        return dropEntries(siblings, newParent, row);
    };
}

void SitePage::buildActions() {
    auto action = [this](const char* name, const QString& text, void (SitePage::*command)()) {
        auto* a = new QAction(text, this);
        a->setObjectName(QString::fromLatin1(name));
        a->setProperty("category", QStringLiteral("Tree"));
        connect(a, &QAction::triggered, this, command);
        return a;
    };
    // Each with a letter of its own in the context menu, also beside "&Rückgängig" and
    // "&Wiederholen" at its top.
    addAction_ = action("aNodeNew", QStringLiteral("Neuer &Eintrag"), &SitePage::addEntries);
    addChildAction_ =
        action("aNodeNewChild", QStringLiteral("Neuer &Untereintrag"), &SitePage::addChildEntries);
    deleteAction_ = action("aNodeDelete", QStringLiteral("Eintrag &löschen"), &SitePage::deleteEntries);
    editTextAction_ =
        action("aNodeEditText", QStringLiteral("&Menütext bearbeiten"), &SitePage::editMenuText);
    upAction_ = action("aNodeUp", QStringLiteral("nach &oben"), &SitePage::moveEntriesUp);
    downAction_ = action("aNodeDown", QStringLiteral("nach u&nten"), &SitePage::moveEntriesDown);
    rightAction_ = action("aNodeRight", QStringLiteral("nach re&chts"), &SitePage::moveEntriesRight);
    leftAction_ = action("aNodeLeft", QStringLiteral("nach lin&ks"), &SitePage::moveEntriesLeft);
    // The keys of a tree: only while the tree has the focus, so that Delete in a field
    // deletes a character and not the entry.
    const std::pair<QAction*, Qt::Key> treeKeys[] = {
        {addAction_, Qt::Key_Insert}, {deleteAction_, Qt::Key_Delete}, {editTextAction_, Qt::Key_F2}};
    for (const auto& [command, key] : treeKeys) {
        command->setShortcut(QKeySequence(key));
        command->setShortcutContext(Qt::WidgetShortcut);
        siteView_->addAction(command);
    }
    // The arrow pad's moves for the keyboard, wherever the focus is on this page.
    const std::pair<QAction*, Qt::Key> moveKeys[] = {{upAction_, Qt::Key_Up},
                                                     {downAction_, Qt::Key_Down},
                                                     {rightAction_, Qt::Key_Right},
                                                     {leftAction_, Qt::Key_Left}};
    for (const auto& [move, key] : moveKeys) {
        move->setShortcut(QKeySequence(Qt::ALT | key));
        move->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(move);
    }
    treeMenu_ = new QMenu(this);
    treeMenu_->setObjectName(QStringLiteral("pmTree"));
    treeMenu_->addActions({addAction_, addChildAction_, deleteAction_, editTextAction_});
    treeMenu_->addSeparator();
    treeMenu_->addActions({upAction_, downAction_, rightAction_, leftAction_});
    connect(siteView_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { treeMenu_->popup(siteView_->viewport()->mapToGlobal(at)); });
}

void SitePage::addHistoryActions(const QList<QAction*>& actions) {
    QAction* first = treeMenu_->actions().value(0);
    treeMenu_->insertActions(first, actions);
    treeMenu_->insertSeparator(first);
}

QList<QAction*> SitePage::treeActions() const {
    return {addAction_, addChildAction_, deleteAction_, editTextAction_,
            upAction_,  downAction_,     rightAction_,  leftAction_};
}

void SitePage::buildFields() {
    textField_ = new QLineEdit(this);
    textField_->setObjectName(QStringLiteral("leText"));
    fileField_ = new QLineEdit(this);
    fileField_->setObjectName(QStringLiteral("leFile"));
    auto hintLabel = [this](const char* name, const QString& text) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QString::fromLatin1(name));
        label->setStyleSheet(QStringLiteral("QLabel { color: #800000; font-weight: bold; }"));
        label->hide();
        return label;
    };
    textHint_ = hintLabel("lText", QStringLiteral("Bitte Menütext eingeben"));
    fileHint_ = hintLabel("lFile", QStringLiteral("Bitte Dateiname eingeben"));
    connect(textField_, &QLineEdit::textChanged, this, [this] { storeMenuText(); });
    connect(fileField_, &QLineEdit::textChanged, this, [this] { storeFileName(); });
    // The keys typed into a field are one step until the field is left.
    connect(textField_, &QLineEdit::editingFinished, document_, &ProjectDocument::sealEntryEdit);
    connect(fileField_, &QLineEdit::editingFinished, document_, &ProjectDocument::sealEntryEdit);

    // The arrow pad.
    auto* pad = new QFrame(this);
    pad->setObjectName(QStringLiteral("pNodePad"));
    pad->setFixedSize(112, 112);
    pad->setStyleSheet(QStringLiteral(
        "QFrame#pNodePad { background: #dfe6ee; border: 1px solid #9aa8b8; border-radius: 56px; }"));
    auto arrow = [this, pad](const char* name, Qt::ArrowType type, void (SitePage::*command)()) {
        auto* button = new QToolButton(pad);
        button->setObjectName(QString::fromLatin1(name));
        button->setArrowType(type);
        button->setAutoRaise(true);
        button->setFixedSize(30, 30);
        button->setIconSize(QSize(22, 22));
        button->hide();
        connect(button, &QToolButton::clicked, this, command);
        return button;
    };
    upButton_ = arrow("iNodeUp", Qt::UpArrow, &SitePage::moveEntriesUp);
    downButton_ = arrow("iNodeDown", Qt::DownArrow, &SitePage::moveEntriesDown);
    leftButton_ = arrow("iNodeLeft", Qt::LeftArrow, &SitePage::moveEntriesLeft);
    rightButton_ = arrow("iNodeRight", Qt::RightArrow, &SitePage::moveEntriesRight);
    for (auto [button, move] : {std::pair{upButton_, upAction_}, std::pair{downButton_, downAction_},
                                std::pair{leftButton_, leftAction_}, std::pair{rightButton_, rightAction_}}) {
        button->setAccessibleName(move->iconText()); // the text without its "&"
        button->setToolTip(QStringLiteral("%1 (%2)").arg(
            move->iconText(), move->shortcut().toString(QKeySequence::NativeText)));
    }
    upButton_->move(41, 6);
    downButton_->move(41, 76);
    leftButton_->move(6, 41);
    rightButton_->move(76, 41);

    // Round add, oval add-child and round delete buttons.
    addButton_ = roundLabel(this, "lNodeAdd", QStringLiteral(" + "), 40, QStringLiteral("#3c8d3c"));
    addButton_->setToolTip(QStringLiteral("Neuer Eintrag"));
    deleteButton_ = roundLabel(this, "lNodeDelete", QStringLiteral(" - "), 40, QStringLiteral("#a33"));
    deleteButton_->setToolTip(QStringLiteral("Eintrag löschen"));
    deleteButton_->hide();
    addChildButton_ = new QFrame(this);
    addChildButton_->setObjectName(QStringLiteral("pNodeAddChild"));
    addChildButton_->setFixedSize(64, 40);
    addChildButton_->setToolTip(QStringLiteral("Neuer Untereintrag"));
    addChildButton_->setStyleSheet(
        QStringLiteral("QFrame#pNodeAddChild { background: #3c6d9d; border-radius: 20px; }"
                       " QLabel { color: white; font-weight: bold; font-size: 18px; }"));
    addChildPlus_ = new QLabel(QStringLiteral(" +"), addChildButton_);
    addChildPlus_->setObjectName(QStringLiteral("lAddChild1"));
    addChildArrow_ = new QLabel(QStringLiteral("»"), addChildButton_);
    addChildArrow_->setObjectName(QStringLiteral("lAddChild2"));
    auto* childLayout = new QHBoxLayout(addChildButton_);
    childLayout->setContentsMargins(10, 0, 10, 0);
    childLayout->addWidget(addChildPlus_);
    childLayout->addWidget(addChildArrow_);
    for (QLabel* label : {addButton_, deleteButton_, addChildPlus_, addChildArrow_}) {
        label->installEventFilter(this);
        label->setCursor(Qt::PointingHandCursor);
    }
    // The round buttons are reached with Tab, in the order they show, and pressed with Space or
    // Return; a ring marks the one with the focus.
    for (QWidget* button : {static_cast<QWidget*>(addButton_), static_cast<QWidget*>(addChildButton_),
                            static_cast<QWidget*>(deleteButton_)}) {
        button->setFocusPolicy(Qt::TabFocus);
        button->setAccessibleName(button->toolTip());
        button->installEventFilter(this);
    }
    addButton_->setStyleSheet(addButton_->styleSheet() +
                              QStringLiteral(" QLabel:focus { border: 3px solid #1d3f1d; }"));
    deleteButton_->setStyleSheet(deleteButton_->styleSheet() +
                                 QStringLiteral(" QLabel:focus { border: 3px solid #4d1616; }"));
    addChildButton_->setStyleSheet(
        addChildButton_->styleSheet() +
        QStringLiteral(" QFrame#pNodeAddChild:focus { border: 3px solid #1c3550; }"));
    setTabOrder(addButton_, addChildButton_);
    setTabOrder(addChildButton_, deleteButton_);

    auto* fields = new QVBoxLayout;
    // Alt with their letters takes the focus to the fields; the menu bar does not use them.
    auto* textCaption = new QLabel(QStringLiteral("&Menütext"), this);
    textCaption->setBuddy(textField_);
    auto* fileCaption = new QLabel(QStringLiteral("Da&tei:"), this);
    fileCaption->setBuddy(fileField_);
    siteView_->setAccessibleName(QStringLiteral("Site-Struktur"));
    fields->addWidget(textCaption);
    fields->addWidget(textField_);
    fields->addWidget(textHint_);
    fields->addSpacing(8);
    fields->addWidget(fileCaption);
    fields->addWidget(fileField_);
    fields->addWidget(fileHint_);
    fields->addSpacing(16);
    auto* padRow = new QHBoxLayout;
    padRow->addStretch();
    padRow->addWidget(pad);
    padRow->addStretch();
    fields->addLayout(padRow);
    fields->addSpacing(12);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(addButton_);
    buttons->addWidget(addChildButton_);
    buttons->addWidget(deleteButton_);
    buttons->addStretch();
    fields->addLayout(buttons);
    fields->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(siteView_, 3);
    layout->addLayout(fields, 2);
}

void SitePage::prepareNewEntryDialog() {
    // Picked pages are linked relative to the project's folder; a new project has none yet.
    const QString file = document_->fileName();
    newEntryDialog()->setBaseFolder(file.isEmpty() ? QString() : QFileInfo(file).absolutePath());
}

NewEntryDialog* SitePage::newEntryDialog() {
    if (!newEntryDialog_) newEntryDialog_ = new NewEntryDialog(window());
    return newEntryDialog_;
}

bool SitePage::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (siteView_ && watched == siteView_->viewport() && type == QEvent::MouseButtonRelease) {
        addSampleSite();
    } else if (type == QEvent::KeyPress &&
               (watched == addButton_ || watched == addChildButton_ || watched == deleteButton_)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == addButton_)
                addEntries();
            else if (watched == addChildButton_)
                addChildEntries();
            else
                deleteEntries();
            return true;
        }
    } else if (type == QEvent::MouseButtonRelease &&
               static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == addButton_) {
            addEntries();
            return true;
        }
        if (watched == deleteButton_) {
            deleteEntries();
            return true;
        }
        if (watched == addChildPlus_ || watched == addChildArrow_) {
            addChildEntries();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Selection

SiteNode* SitePage::focusedNode() const {
    const QModelIndex current = siteView_->selectionModel()->currentIndex();
    return current.isValid() ? document_->treeModel()->nodeOf(current) : nullptr;
}

void SitePage::keepSiblingSelection() {
    if (adjustingSelection_ || rebuilding_) return;
    QItemSelectionModel* model = siteView_->selectionModel();
    const QModelIndex current = model->currentIndex();
    if (!current.isValid()) return;
    const QModelIndex parent = current.parent();
    QItemSelection strays;
    for (const QItemSelectionRange& range : model->selection())
        if (range.parent() != parent) strays.append(range);
    if (strays.isEmpty()) return;
    adjustingSelection_ = true;
    model->select(strays, QItemSelectionModel::Deselect);
    adjustingSelection_ = false;
}

void SitePage::collectSelection() {
    selection_.clear();
    QItemSelectionModel* model = siteView_->selectionModel();
    const QItemSelection selection = model->selection();
    if (selection.isEmpty()) return;
    const QModelIndex current = model->currentIndex();
    const QModelIndex parent = current.isValid() ? current.parent() : selection.first().parent();
    std::vector<int> rows;
    for (const QItemSelectionRange& range : selection) {
        if (range.parent() != parent) continue;
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.push_back(r);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    SiteNode* parentNode = document_->treeModel()->nodeOf(parent);
    selection_.reserve(rows.size());
    for (int r : rows)
        selection_.push_back(parentNode->child(r));
}

void SitePage::updateControls() {
    collectSelection();
    const bool one = selection_.size() == 1;
    textField_->setEnabled(one);
    fileField_->setEnabled(one);
    // Fields that edit no entry show none: no text of an entry that is no longer selected.
    const SiteNode* node = one ? selection_.front() : nullptr;
    updatingFields_ = true;
    textField_->setText(node ? MenuTextToUi(node->entry.text) : QString());
    fileField_->setText(node ? FileNameToUi(node->entry.file) : QString());
    updatingFields_ = false;
    const bool any = !selection_.empty();
    addChildButton_->setVisible(any);
    auto enable = [](QAction* action, QWidget* image, bool on) {
        action->setEnabled(on);
        if (image) image->setVisible(on);
    };
    enable(upAction_, upButton_, any && selection_.front()->previousSibling());
    enable(downAction_, downButton_, any && selection_.back()->nextSibling());
    enable(rightAction_, rightButton_, any && selection_.front()->previousSibling());
    enable(leftAction_, leftButton_, any && !selection_.front()->parent()->isRoot());
    enable(deleteAction_, deleteButton_, any);
}

void SitePage::releaseSelection() {
    // A move re-selects the moved entries anyway; a selection of thousands of separate entries
    // carried through the model's relayout would cost more than the move.
    adjustingSelection_ = true;
    siteView_->selectionModel()->clearSelection();
    adjustingSelection_ = false;
}

void SitePage::selectNodes(const std::vector<SiteNode*>& nodes, SiteNode* focus) {
    QItemSelectionModel* model = siteView_->selectionModel();
    SiteTreeModel* tree = document_->treeModel();
    adjustingSelection_ = true;
    if (nodes.empty()) {
        model->clearSelection();
        model->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    } else {
        std::vector<int> rows;
        rows.reserve(nodes.size());
        for (const SiteNode* n : nodes)
            rows.push_back(n->row());
        std::sort(rows.begin(), rows.end());
        const QModelIndex parent = tree->indexOf(nodes.front()->parent());
        QItemSelection selection;
        for (std::size_t i = 0; i < rows.size();) {
            std::size_t j = i;
            while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1)
                ++j;
            selection.select(tree->index(rows[i], 0, parent), tree->index(rows[j], 0, parent));
            i = j + 1;
        }
        const QModelIndex focusIndex = tree->indexOf(focus ? focus : nodes.front());
        model->setCurrentIndex(focusIndex, QItemSelectionModel::NoUpdate);
        // Cleared first: replacing one many-range selection by another makes the selection
        // model compare every old range with every new one.
        model->clearSelection();
        model->select(selection, QItemSelectionModel::Select);
        siteView_->scrollTo(focusIndex);
    }
    adjustingSelection_ = false;
    updateControls();
}

void SitePage::reopenSubtrees(const std::vector<SiteNode*>& nodes) {
    // Entries put back by an undo come back as new rows, which the view shows closed; their
    // nodes still know how they were shown.
    std::vector<const SiteNode*> pending(nodes.begin(), nodes.end());
    while (!pending.empty()) {
        const SiteNode* node = pending.back();
        pending.pop_back();
        if (!node->expanded || node->childCount() == 0) continue;
        siteView_->expand(document_->treeModel()->indexOf(node));
        pending.insert(pending.end(), node->children().begin(), node->children().end());
    }
}

// ---------------------------------------------------------------------------------------------
// Entry fields

void SitePage::storeMenuText() {
    const QString t = textField_->text().trimmed();
    // A field that edits no entry asks for nothing.
    setFieldState(textField_, textHint_, !t.isEmpty() || !textField_->isEnabled());
    if (t.isEmpty() || selection_.size() != 1) return;
    // Unchanged text keeps its bytes: a reference shown as its character may be stored as
    // written ("&#0937;") or as the byte the code page has for it.
    if (t == MenuTextToUi(selection_.front()->entry.text)) return;
    // Filling the fields for a newly selected entry stores the text in its typed form, but
    // that is no edit of the user's.
    document_->setEntryText(selection_.front(), MenuTextFromUi(t), !updatingFields_);
}

void SitePage::storeFileName() {
    const QString t = fileField_->text().trimmed();
    setFieldState(fileField_, fileHint_, !t.isEmpty() || !fileField_->isEnabled());
    if (t.isEmpty() || selection_.size() != 1) return;
    document_->setEntryFile(selection_.front(), FileNameFromUi(t), !updatingFields_);
}

void SitePage::editMenuText() {
    if (!textField_->isEnabled()) return;
    textField_->setFocus(Qt::ShortcutFocusReason);
    textField_->selectAll();
}

// ---------------------------------------------------------------------------------------------
// Tree commands

void SitePage::addSampleSite() {
    if (!document_->project().tree.empty()) return;
    const ProjectDocument::Step step(*document_, QStringLiteral("Beispielstruktur"));
    SiteNode* root = document_->treeModel()->nodeOf({});
    auto add = [this](SiteNode* parent, const char* text, const char* file) {
        return document_->insertEntry(parent, -1, SiteEntry{text, file});
    };
    add(root, "Home", "index.htm");
    SiteNode* products = add(root, "Produkte", "produkte.htm");
    add(products, "Microsoft", "microsoft.htm");
    add(products, "Borland", "borland.htm");
    add(products, "1", "1.htm");
    add(products, "2", "2.htm");
    add(products, "3", "3.htm");
    add(root, "Filialen", "Filialen.htm");
    selectNodes({}, nullptr);
}

void SitePage::addEntries() {
    prepareNewEntryDialog();
    if (!runNewEntryDialog(*newEntryDialog())) return;
    const NewEntryDialog& dialog = *newEntryDialog();
    const ProjectDocument::Step step(*document_, dialog.isSingleMode() ? QStringLiteral("Neuer Eintrag")
                                                                       : QStringLiteral("Neue Einträge"));
    SiteNode* focused = focusedNode();
    SiteNode* parent = focused ? focused->parent() : document_->treeModel()->nodeOf({});
    int row = focused ? focused->row() + 1 : -1;
    bool inserted = false;
    auto insertAfterFocused = [&](const QString& text, const QString& file) {
        focused = document_->insertEntry(parent, row, SiteEntry{MenuTextFromUi(text), FileNameFromUi(file)});
        row = focused->row() + 1;
        inserted = true;
    };
    if (dialog.isSingleMode()) {
        insertAfterFocused(dialog.menuText(), dialog.fileName());
    } else {
        const SiteGrid* grid = dialog.grid();
        for (int r = 1; r <= SiteGrid::LastRow; ++r) {
            if (grid->cell(0, r).trimmed().isEmpty() && grid->cell(1, r).trimmed().isEmpty()) continue;
            insertAfterFocused(grid->cell(0, r), grid->cell(1, r));
        }
    }
    if (inserted) selectNodes({focused}, focused);
}

void SitePage::addChildEntries() {
    prepareNewEntryDialog();
    if (!runNewEntryDialog(*newEntryDialog())) return;
    const NewEntryDialog& dialog = *newEntryDialog();
    const ProjectDocument::Step step(*document_, dialog.isSingleMode()
                                                     ? QStringLiteral("Neuer Untereintrag")
                                                     : QStringLiteral("Neue Untereinträge"));
    SiteNode* parent = focusedNode();
    if (!parent) parent = document_->treeModel()->nodeOf({});
    SiteNode* last = nullptr;
    auto append = [&](const QString& text, const QString& file) {
        last = document_->insertEntry(
            parent, -1, SiteEntry{MenuTextFromUi(text.trimmed()), FileNameFromUi(file.trimmed())});
    };
    if (dialog.isSingleMode()) {
        append(dialog.menuText(), dialog.fileName());
    } else {
        const SiteGrid* grid = dialog.grid();
        for (int r = 1; r <= SiteGrid::LastRow; ++r) {
            if (grid->cell(0, r).trimmed().isEmpty() && grid->cell(1, r).trimmed().isEmpty()) continue;
            append(grid->cell(0, r), grid->cell(1, r));
        }
    }
    if (last) {
        if (!parent->isRoot()) siteView_->expand(document_->treeModel()->indexOf(parent));
        selectNodes({last}, last);
    } else {
        selectNodes({}, nullptr);
    }
}

void SitePage::deleteEntries() {
    collectSelection();
    if (selection_.empty()) return;
    const ProjectDocument::Step step(*document_, ProjectDocument::deleteStepName(selection_.size()));
    const std::vector<SiteNode*> doomed = std::exchange(selection_, {});
    SiteNode* previous = doomed.front()->previousSibling();
    SiteNode* parent = doomed.front()->parent();
    const int firstRow = doomed.front()->row();
    adjustingSelection_ = true;
    siteView_->selectionModel()->clear();
    document_->removeEntries(doomed);
    adjustingSelection_ = false;
    // Without a previous sibling the entry that took the first removed one's place gets the
    // focus, else the parent, so the keyboard user is not left nowhere.
    SiteNode* focus = previous;
    if (!focus && firstRow < parent->childCount()) focus = parent->child(firstRow);
    if (!focus && !parent->isRoot()) focus = parent;
    if (focus) {
        selectNodes({focus}, focus);
    } else {
        selectNodes({}, nullptr);
    }
}

void SitePage::moveEntriesUp() {
    collectSelection();
    if (selection_.empty() || !selection_.front()->previousSibling()) return;
    const std::vector<SiteNode*> moving = selection_;
    const ProjectDocument::Step step(*document_, ProjectDocument::moveStepName(moving.size()));
    SiteNode* focus = focusedNode();
    releaseSelection();
    document_->moveEntriesUp(moving);
    selectNodes(moving, focus);
}

void SitePage::moveEntriesDown() {
    collectSelection();
    if (selection_.empty() || !selection_.back()->nextSibling()) return;
    const std::vector<SiteNode*> moving = selection_;
    const ProjectDocument::Step step(*document_, ProjectDocument::moveStepName(moving.size()));
    SiteNode* focus = focusedNode();
    releaseSelection();
    document_->moveEntriesDown(moving);
    selectNodes(moving, focus);
}

void SitePage::moveEntriesRight() {
    collectSelection();
    if (selection_.empty()) return;
    SiteNode* target = selection_.front()->previousSibling();
    if (!target) return;
    const std::vector<SiteNode*> moving = selection_;
    const ProjectDocument::Step step(*document_, ProjectDocument::moveStepName(moving.size()));
    SiteNode* focus = focusedNode();
    releaseSelection();
    document_->indentEntries(moving);
    siteView_->expand(document_->treeModel()->indexOf(target));
    selectNodes(moving, focus);
}

bool SitePage::dropEntries(const std::vector<SiteNode*>& siblings, SiteNode* newParent, int row) {
    // Opened while the dragged entries are still selected: undo selects them again.
    const ProjectDocument::Step step(*document_, ProjectDocument::moveStepName(siblings.size()));
    SiteNode* focused = focusedNode();
    SiteNode* focus =
        std::find(siblings.begin(), siblings.end(), focused) != siblings.end() ? focused : siblings.front();
    releaseSelection();
    const bool moved = document_->moveEntriesTo(siblings, newParent, row);
    if (moved && !newParent->isRoot()) siteView_->expand(document_->treeModel()->indexOf(newParent));
    selectNodes(siblings, focus);
    return moved;
}

void SitePage::moveEntriesLeft() {
    collectSelection();
    if (selection_.empty()) return;
    if (selection_.front()->parent()->isRoot()) return;
    const std::vector<SiteNode*> moving = selection_;
    const ProjectDocument::Step step(*document_, ProjectDocument::moveStepName(moving.size()));
    SiteNode* focus = focusedNode();
    releaseSelection();
    document_->outdentEntries(moving);
    selectNodes(moving, focus);
}

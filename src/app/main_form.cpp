#include "main_form.h"
#include "publish_dialog.h"

#include "dlg_tree_item.h"
#include "frame_background.h"
#include "frame_border.h"
#include "frame_font.h"
#include "frame_position.h"
#include "frame_text.h"
#include "panel_util.h"
#include "link_check_dialog.h"
#include "link_checker.h"
#include "new_from_folder.h"
#include "reader.h"
#include "site_tree_model.h"
#include "text_convert.h"
#include "ui_seams.h"
#include "web_anzeige_form.h"
#include "writer.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QStatusBar>
#include <QStringDecoder>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

using quilso::MenuKind;
using quilso::SiteEntry;
using quilso::SiteNode;

namespace {
enum PanelTab { TabFont, TabText, TabPosition, TabBorder, TabBackground, PanelTabCount };

const QString kHintProperty = QStringLiteral("quilsoHint");
const QColor kSilver(0xC0, 0xC0, 0xC0);

std::string toFsName(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString shortHint(const QString& hint) {
    const qsizetype bar = hint.indexOf(u'|');
    return bar < 0 ? hint : hint.left(bar);
}

QString longHint(const QString& hint) {
    const qsizetype bar = hint.indexOf(u'|');
    return bar < 0 ? hint : hint.mid(bar + 1);
}

// Why a file could not be read or written, in German where the cause can be told.
QString readReason(const QString& path, const std::string& coreReason) {
    const QFileInfo info(path);
    if (!info.exists()) return QStringLiteral("Die Datei existiert nicht.");
    if (info.isDir()) return QStringLiteral("Der Name bezeichnet ein Verzeichnis.");
    if (!info.isReadable()) return QStringLiteral("Keine Leseberechtigung.");
    return QString::fromLocal8Bit(coreReason);
}

// The core's reasons are system texts (UTF-8) or its own German sentences (Windows-1252).
QString coreText(const std::string& reason) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(QByteArrayView(reason.data(), qsizetype(reason.size())));
    return utf8.hasError() ? FromCp1252(reason) : text;
}

QString writeReason(const QString& path, const std::string& coreReason) {
    // A German sentence of the core's own says more than a guess from the file's state.
    const QString told = coreText(coreReason);
    if (told.startsWith(QStringLiteral("Die ")) || told.contains(u'„')) return told;
    const QFileInfo info(path);
    const QFileInfo dir(info.absolutePath());
    if (!dir.exists())
        return QStringLiteral("Das Verzeichnis %1 existiert nicht.").arg(dir.absoluteFilePath());
    if (info.isDir()) return QStringLiteral("Der Name bezeichnet ein Verzeichnis.");
    if (!dir.isWritable())
        return QStringLiteral("Keine Schreibberechtigung im Verzeichnis %1.").arg(dir.absoluteFilePath());
    if (info.exists() && !info.isWritable()) return QStringLiteral("Die Datei ist schreibgeschützt.");
    return told;
}

const QString kOutOfMemory = QStringLiteral("Nicht genügend Arbeitsspeicher.");

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
// The site tree's view. A selection of thousands of separate entries would make the stock view
// build a region of thousands of rectangles on every selection change; repainting the visible
// area is cheaper then.
class SiteTreeView : public QTreeView {
public:
    using QTreeView::QTreeView;

protected:
    QRegion visualRegionForSelection(const QItemSelection& selection) const override {
        if (selection.size() > 32) return QRegion(viewport()->rect());
        return QTreeView::visualRegionForSelection(selection);
    }
};
} // namespace

QString WriteFailureText(const QString& path, const std::string& coreReason) {
    return QStringLiteral("Die Datei „%1“ kann nicht gespeichert werden:\n%2")
        .arg(path, writeReason(path, coreReason));
}

QString FindDataDirectory(const QString& programDir) {
    const QString beside = QDir(programDir).absolutePath() + QLatin1Char('/');
    if (QFileInfo::exists(beside + QStringLiteral("default.js"))) return beside;
    const QString installed =
        QDir(beside + QStringLiteral("../share/quilso")).absolutePath() + QLatin1Char('/');
    if (QFileInfo::exists(installed + QStringLiteral("default.js"))) return installed;
    return beside;
}

// Sets the controls from what the reader read into the model.
class MainWindow::Observer : public quilso::ReadObserver {
public:
    explicit Observer(MainWindow& form) : form_(form) {}
    void declarationRead(MenuKind kind, quilso::BlockKind block, std::string_view property,
                         bool stored) override {
        for (StylePanel* panel : form_.panels_[kind])
            panel->declarationRead(block, property, stored);
    }
    void optionsRead(bool isTag) override {
        const QSignalBlocker blocker(form_.cbIsTag);
        form_.cbIsTag->setChecked(isTag);
    }
    void blockScanFinished() override {
        for (int kind = 0; kind < quilso::MenuKindCount; ++kind)
            for (StylePanel* panel : form_.panels_[kind])
                panel->blockScanFinished();
    }
    void treeAboutToBeRebuilt() override {
        form_.rebuilding_ = true;
        form_.selectionList.clear();
        form_.treeModel_->beginRebuild();
    }
    void treeRebuilt() override {
        form_.treeModel_->endRebuild();
        form_.rebuilding_ = false;
    }

private:
    MainWindow& form_;
};

MainWindow::MainWindow(const StartupOptions& options, QWidget* parent)
    : QMainWindow(parent), editState_(new EditState(this)),
      treeModel_(new SiteTreeModel(&project_.tree, this)), observer_(std::make_unique<Observer>(*this)),
      arguments_(options.arguments) {
    setObjectName(QStringLiteral("MainForm"));
    resize(780, 580);
    linkChecker_ = new LinkChecker(
        treeModel_, [this] { return currentFileName; }, this);
    treeModel_->setLinkChecker(linkChecker_);

    // InitStartupPaths
    dataDirectory = options.dataDir.isEmpty() ? FindDataDirectory(QCoreApplication::applicationDirPath())
                                              : QDir(options.dataDir).absolutePath() + QLatin1Char('/');
    defaultProjectPath = dataDirectory + QStringLiteral("default.js");
    functionsPath = dataDirectory + QStringLiteral("quilso_functions.js");
    program_.edition = "Standard";
    program_.version = QUILSO_VERSION;

    buildActions();

    pageTabs_ = new QTabWidget(this);
    pageTabs_->setObjectName(QStringLiteral("PageControl1"));
    auto* tsExplorer = new QWidget;
    tsExplorer->setObjectName(QStringLiteral("tsExplorer"));
    buildSitePage(tsExplorer);
    pageTabs_->addTab(tsExplorer, QStringLiteral("Site-Struktur"));
    buildStylePages();
    auto* tsProperties = new QWidget;
    tsProperties->setObjectName(QStringLiteral("tsProperties"));
    cbIsTag = new QCheckBox(QStringLiteral("'<' und '>' als HTML-Tag interpretieren"), tsProperties);
    cbIsTag->setObjectName(QStringLiteral("cbIsTag"));
    auto* options_layout = new QVBoxLayout(tsProperties);
    options_layout->addWidget(cbIsTag);
    options_layout->addStretch();
    pageTabs_->addTab(tsProperties, QStringLiteral("Optionen"));
    setCentralWidget(pageTabs_);
    pageTabs_->setCurrentIndex(0);
    pageTabs_->tabBar()->installEventFilter(this);
    pageTabs_->installEventFilter(this);
    connect(pageTabs_, &QTabWidget::currentChanged, this, [this] { focusTabs(); });
    connect(cbIsTag, &QCheckBox::toggled, this, [this] { cbIsTagClick(); });

    StatusLine = new QStatusBar(this);
    StatusLine->setObjectName(QStringLiteral("StatusLine"));
    setStatusBar(StatusLine);

    connect(editState_, &EditState::projectModifiedChanged, this, &QWidget::setWindowModified);
    setCaption(QStringLiteral("quilso"));

    try {
        program_.functionsLines = quilso::ReadLines(toFsName(functionsPath));
        functionsLoaded_ = true;
    } catch (const quilso::FileError& e) {
        // Reported once the window shows; saving stays refused, since a menu script file
        // without its library would break every page that includes it.
        const QString text = QStringLiteral("Die Skriptbibliothek „%1“ kann nicht gelesen werden:\n%2")
                                 .arg(functionsPath, readReason(functionsPath, e.reason()));
        QTimer::singleShot(0, this, [this, text] { MessageBoxes::error(this, text); });
    }

    runTreeItemDialog = [](NewEntryDialog& dialog) { return dialog.exec() == QDialog::Accepted; };

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = geometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    UpdateTreeControls();
    NameUnnamedControls(pageTabs_);
}

NewEntryDialog* MainWindow::dlgTreeItem() const {
    if (!dlgTreeItem_) dlgTreeItem_ = new NewEntryDialog(const_cast<MainWindow*>(this));
    return dlgTreeItem_;
}

MainWindow::~MainWindow() {
    // The preview's web view must go before the application object does.
    delete webAnzeigeForm_.data();
}

// ---------------------------------------------------------------------------------------------
// Window set-up

void MainWindow::buildActions() {
    auto makeAction = [this](const char* name, const QString& text, const QString& hint,
                             const QKeySequence& keys, void (MainWindow::*handler)()) {
        auto* action = new QAction(text, this);
        action->setObjectName(QString::fromLatin1(name));
        action->setProperty(kHintProperty.toLatin1().constData(), hint);
        // A highlighted menu entry sends its status tip to the status line (an empty one
        // clears it), after the hovered signal.
        action->setStatusTip(longHint(hint));
        if (!keys.isEmpty()) action->setShortcut(keys);
        connect(action, &QAction::hovered, this, [this, action] {
            ShowHint(action->property(kHintProperty.toLatin1().constData()).toString());
        });
        if (handler) connect(action, &QAction::triggered, this, handler);
        return action;
    };
    auto fileNew = makeAction("miNew", QStringLiteral("&Neu"), QStringLiteral("Neue Datei"),
                              QKeySequence(Qt::CTRL | Qt::Key_N), &MainWindow::FileNew);
    auto fileNewFromFolder = makeAction("miNewFromFolder", QStringLiteral("Neu aus &Ordner..."),
                                        QStringLiteral("Neues Projekt aus den Seiten eines Ordners"),
                                        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N), nullptr);
    connect(fileNewFromFolder, &QAction::triggered, this,
            [this] { NewProjectFromFolder(*this, *linkChecker_); });
    auto fileOpen =
        makeAction("miOpen", QStringLiteral("&Öffnen..."), QStringLiteral("Bestehende Datei öffnen"),
                   QKeySequence(Qt::CTRL | Qt::Key_O), &MainWindow::FileOpen);
    auto fileSave = makeAction("miSave", QStringLiteral("&Speichern"), QStringLiteral("Datei speichern"),
                               QKeySequence(Qt::CTRL | Qt::Key_S), nullptr);
    connect(fileSave, &QAction::triggered, this, [this] { FileSave(); });
    auto fileSaveAs = makeAction("miSaveAs", QStringLiteral("Speichern &Unter..."),
                                 QStringLiteral("Datei unter neuem Namen speichern"),
                                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), nullptr);
    connect(fileSaveAs, &QAction::triggered, this, [this] { FileSaveAs(); });
    auto filePublish = makeAction("miPublish", QStringLiteral("&Veröffentlichen"),
                                  QStringLiteral("Menüs als statisches HTML in die Seiten schreiben"), {},
                                  &MainWindow::publishSite);
    auto fileExit = makeAction("miExit", QStringLiteral("&Beenden"),
                               QStringLiteral("Diese Anwendung beenden"), {}, &MainWindow::FileExit);
    auto preview = makeAction("Vorschau1", QStringLiteral("&Vorschau"), {}, QKeySequence(Qt::Key_F5),
                              &MainWindow::showPreview);
    auto help = makeAction("quilsohilfe1", QStringLiteral("quilso &Hilfe"), {}, {}, &MainWindow::showHelp);
    auto manual = makeAction("Handbuch1", QStringLiteral("Handbuch"), {}, {}, &MainWindow::showManual);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&Datei"));
    file->addActions({fileNew, fileNewFromFolder, fileOpen, fileSave, fileSaveAs});
    file->addSeparator();
    file->addAction(filePublish);
    file->addSeparator();
    file->addAction(fileExit);
    auto checkLinks = makeAction("miCheckLinks", QStringLiteral("&Links prüfen"),
                                 QStringLiteral("Fehlende Seiten, unverlinkte Seiten und Kontraste prüfen"),
                                 QKeySequence(Qt::Key_F7), nullptr);
    connect(checkLinks, &QAction::triggered, this, [this] { ShowLinkCheck(*this, *linkChecker_); });
    menuBar()->addMenu(QStringLiteral("&Ansicht"))->addActions({preview, checkLinks});
    QMenu* helpMenu = menuBar()->addMenu(QStringLiteral("&Hilfe"));
    helpMenu->addActions({help, manual});

    auto* tools = addToolBar(QStringLiteral("Werkzeuge"));
    tools->setObjectName(QStringLiteral("ToolBar"));
    tools->setMovable(false);
    auto toolButton = [this, tools](const char* name, const QString& hint, QStyle::StandardPixmap icon,
                                    std::function<void()> run) {
        auto* button = new QToolButton(tools);
        button->setObjectName(QString::fromLatin1(name));
        button->setIcon(style()->standardIcon(icon));
        button->setToolTip(shortHint(hint));
        button->setAccessibleName(shortHint(hint)); // a screen reader does not read the tool tip
        button->setProperty(kHintProperty.toLatin1().constData(), hint);
        button->installEventFilter(this);
        connect(button, &QToolButton::clicked, this, std::move(run));
        tools->addWidget(button);
        return button;
    };
    toolButton("SpeedButton1", QStringLiteral("Neu|"), QStyle::SP_FileIcon, [this] { FileNew(); });
    toolButton("SpeedButton2", QStringLiteral("Öffnen|"), QStyle::SP_DialogOpenButton,
               [this] { FileOpen(); });
    toolButton("SaveButton", QStringLiteral("Speichern|"), QStyle::SP_DialogSaveButton,
               [this] { FileSave(); });
    auto* saveAs = toolButton("SaveAsButton", QStringLiteral("Speichern unter|"), QStyle::SP_DriveFDIcon,
                              [this] { FileSaveAs(); });
    saveAs->setText(QStringLiteral("…"));
    toolButton("WebAnsichtButton", QStringLiteral("Vorschau"), QStyle::SP_FileDialogContentsView,
               [this] { showPreview(); });
}

void MainWindow::buildSitePage(QWidget* page) {
    tvSite = new SiteTreeView(page);
    tvSite->setObjectName(QStringLiteral("tvSite"));
    tvSite->setModel(treeModel_);
    tvSite->setHeaderHidden(true);
    tvSite->setUniformRowHeights(true); // no per-row measuring: 100,000 entries lay out at once
    tvSite->setIndentation(19);
    tvSite->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tvSite->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvSite->setContextMenuPolicy(Qt::CustomContextMenu);
    QPalette keepHighlight = tvSite->palette();
    keepHighlight.setColor(QPalette::Inactive, QPalette::Highlight,
                           keepHighlight.color(QPalette::Active, QPalette::Highlight));
    keepHighlight.setColor(QPalette::Inactive, QPalette::HighlightedText,
                           keepHighlight.color(QPalette::Active, QPalette::HighlightedText));
    tvSite->setPalette(keepHighlight);
    tvSite->viewport()->installEventFilter(this);

    auto action = [this](const char* name, const QString& text, void (MainWindow::*handler)()) {
        auto* a = new QAction(text, this);
        a->setObjectName(QString::fromLatin1(name));
        a->setProperty("category", QStringLiteral("Tree"));
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    aNodeNew = action("aNodeNew", QStringLiteral("Neuer Eintrag"), &MainWindow::aNodeNewExecute);
    aNodeNewChild =
        action("aNodeNewChild", QStringLiteral("Neuer Untereintrag"), &MainWindow::aNodeNewChildExecute);
    aNodeDelete = action("aNodeDelete", QStringLiteral("Eintrag löschen"), &MainWindow::aNodeDeleteExecute);
    aNodeUp = action("aNodeUp", QStringLiteral("nach oben"), &MainWindow::aNodeUpExecute);
    aNodeDown = action("aNodeDown", QStringLiteral("nach unten"), &MainWindow::aNodeDownExecute);
    aNodeRight = action("aNodeRight", QStringLiteral("nach rechts"), &MainWindow::aNodeRightExecute);
    aNodeLeft = action("aNodeLeft", QStringLiteral("nach links"), &MainWindow::aNodeLeftExecute);
    pmTree = new QMenu(this);
    pmTree->setObjectName(QStringLiteral("pmTree"));
    pmTree->addActions({aNodeNew, aNodeNewChild, aNodeDelete});
    pmTree->addSeparator();
    pmTree->addActions({aNodeUp, aNodeDown, aNodeRight, aNodeLeft});
    connect(tvSite, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { pmTree->popup(tvSite->viewport()->mapToGlobal(at)); });

    // Entry fields with their hint labels.
    leText = new QLineEdit(page);
    leText->setObjectName(QStringLiteral("leText"));
    leFile = new QLineEdit(page);
    leFile->setObjectName(QStringLiteral("leFile"));
    auto hintLabel = [page](const char* name, const QString& text) {
        auto* label = new QLabel(text, page);
        label->setObjectName(QString::fromLatin1(name));
        label->setStyleSheet(QStringLiteral("QLabel { color: #800000; font-weight: bold; }"));
        label->hide();
        return label;
    };
    lText = hintLabel("lText", QStringLiteral("Bitte Menütext eingeben"));
    lFile = hintLabel("lFile", QStringLiteral("Bitte Dateiname eingeben"));
    connect(leText, &QLineEdit::textChanged, this, [this] { leTextChange(); });
    connect(leFile, &QLineEdit::textChanged, this, [this] { leFileChange(); });

    // The arrow pad.
    auto* pad = new QFrame(page);
    pad->setObjectName(QStringLiteral("pNodePad"));
    pad->setFixedSize(112, 112);
    pad->setStyleSheet(QStringLiteral(
        "QFrame#pNodePad { background: #dfe6ee; border: 1px solid #9aa8b8; border-radius: 56px; }"));
    auto arrow = [this, pad](const char* name, Qt::ArrowType type, void (MainWindow::*handler)()) {
        auto* button = new QToolButton(pad);
        button->setObjectName(QString::fromLatin1(name));
        button->setArrowType(type);
        button->setAutoRaise(true);
        button->setFixedSize(30, 30);
        button->setIconSize(QSize(22, 22));
        button->hide();
        connect(button, &QToolButton::clicked, this, handler);
        return button;
    };
    iNodeUp = arrow("iNodeUp", Qt::UpArrow, &MainWindow::aNodeUpExecute);
    iNodeDown = arrow("iNodeDown", Qt::DownArrow, &MainWindow::aNodeDownExecute);
    iNodeLeft = arrow("iNodeLeft", Qt::LeftArrow, &MainWindow::aNodeLeftExecute);
    iNodeRight = arrow("iNodeRight", Qt::RightArrow, &MainWindow::aNodeRightExecute);
    iNodeUp->setAccessibleName(aNodeUp->text());
    iNodeDown->setAccessibleName(aNodeDown->text());
    iNodeLeft->setAccessibleName(aNodeLeft->text());
    iNodeRight->setAccessibleName(aNodeRight->text());
    iNodeUp->move(41, 6);
    iNodeDown->move(41, 76);
    iNodeLeft->move(6, 41);
    iNodeRight->move(76, 41);

    // Round add, oval add-child and round delete buttons.
    lNodeAdd = roundLabel(page, "lNodeAdd", QStringLiteral(" + "), 40, QStringLiteral("#3c8d3c"));
    lNodeAdd->setToolTip(QStringLiteral("Neuer Eintrag"));
    lNodeDelete = roundLabel(page, "lNodeDelete", QStringLiteral(" - "), 40, QStringLiteral("#a33"));
    lNodeDelete->setToolTip(QStringLiteral("Eintrag löschen"));
    lNodeDelete->hide();
    pNodeAddChild = new QFrame(page);
    pNodeAddChild->setObjectName(QStringLiteral("pNodeAddChild"));
    pNodeAddChild->setFixedSize(64, 40);
    pNodeAddChild->setToolTip(QStringLiteral("Neuer Untereintrag"));
    pNodeAddChild->setStyleSheet(
        QStringLiteral("QFrame#pNodeAddChild { background: #3c6d9d; border-radius: 20px; }"
                       " QLabel { color: white; font-weight: bold; font-size: 18px; }"));
    lAddChild1 = new QLabel(QStringLiteral(" +"), pNodeAddChild);
    lAddChild1->setObjectName(QStringLiteral("lAddChild1"));
    lAddChild2 = new QLabel(QStringLiteral("»"), pNodeAddChild);
    lAddChild2->setObjectName(QStringLiteral("lAddChild2"));
    auto* childLayout = new QHBoxLayout(pNodeAddChild);
    childLayout->setContentsMargins(10, 0, 10, 0);
    childLayout->addWidget(lAddChild1);
    childLayout->addWidget(lAddChild2);
    for (QLabel* label : {lNodeAdd, lNodeDelete, lAddChild1, lAddChild2}) {
        label->installEventFilter(this);
        label->setCursor(Qt::PointingHandCursor);
    }

    auto* fields = new QVBoxLayout;
    auto* textCaption = new QLabel(QStringLiteral("Menütext"), page);
    textCaption->setBuddy(leText);
    auto* fileCaption = new QLabel(QStringLiteral("Datei:"), page);
    fileCaption->setBuddy(leFile);
    tvSite->setAccessibleName(QStringLiteral("Site-Struktur"));
    fields->addWidget(textCaption);
    fields->addWidget(leText);
    fields->addWidget(lText);
    fields->addSpacing(8);
    fields->addWidget(fileCaption);
    fields->addWidget(leFile);
    fields->addWidget(lFile);
    fields->addSpacing(16);
    auto* padRow = new QHBoxLayout;
    padRow->addStretch();
    padRow->addWidget(pad);
    padRow->addStretch();
    fields->addLayout(padRow);
    fields->addSpacing(12);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(lNodeAdd);
    buttons->addWidget(pNodeAddChild);
    buttons->addWidget(lNodeDelete);
    buttons->addStretch();
    fields->addLayout(buttons);
    fields->addStretch();

    auto* layout = new QHBoxLayout(page);
    layout->addWidget(tvSite, 3);
    layout->addLayout(fields, 2);

    connect(tvSite->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        enforceSiblingSelection();
        if (!adjustingSelection_ && !rebuilding_) UpdateTreeControls();
    });
    connect(tvSite->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        enforceSiblingSelection();
        if (!adjustingSelection_ && !rebuilding_) UpdateTreeControls();
    });
    connect(treeModel_, &QAbstractItemModel::modelReset, this, [this] { UpdateTreeControls(); });
    connect(tvSite, &QTreeView::expanded, this,
            [this](const QModelIndex& i) { treeModel_->nodeOf(i)->expanded = true; });
    connect(tvSite, &QTreeView::collapsed, this,
            [this](const QModelIndex& i) { treeModel_->nodeOf(i)->expanded = false; });
}

void MainWindow::buildStylePages() {
    struct TabInfo {
        const char* sheet;
        const char* control;
        const char* caption;
        const char* frame;
    };
    const TabInfo tabs[PanelTabCount] = {
        {"tsFont", "pcFont", "Schrift", "frameFont"},
        {"tsText", "pcText", "Text", "frameText"},
        {"tsPosition", "pcPosition", "Position", "framePos"},
        {"tsBorder", "pcBorder", "Rahmen", "frameBorder"},
        {"tsBackground", "pcBackground", "Hintergrund", "frameBackground"},
    };
    static const char* const suffix[quilso::MenuKindCount] = {"M", "UM", "BC"};
    for (int tab = 0; tab < PanelTabCount; ++tab) {
        auto* sheet = new QWidget;
        sheet->setObjectName(QString::fromLatin1(tabs[tab].sheet));
        auto* inner = new QTabWidget(sheet);
        inner->setObjectName(QString::fromLatin1(tabs[tab].control));
        auto* layout = new QVBoxLayout(sheet);
        layout->setContentsMargins(2, 2, 2, 2);
        layout->addWidget(inner);
        for (int kind = 0; kind < quilso::MenuKindCount; ++kind) {
            StylePanel* panel = nullptr;
            switch (tab) {
            case TabFont:
                panel = new FontPanel;
                break;
            case TabText:
                panel = new TextPanel;
                break;
            case TabPosition:
                panel = new PositionPanel;
                break;
            case TabBorder:
                panel = borderPanels_[kind] = new BorderPanel;
                break;
            default:
                panel = new BackgroundPanel;
                break;
            }
            panel->setObjectName(QString::fromLatin1(tabs[tab].frame) + QString::fromLatin1(suffix[kind]));
            panels_[kind][tab] = panel;
            inner->addTab(panel,
                          QString::fromUtf8(quilso::MenuLabelsUtf8[std::size_t(kind)].data(),
                                            qsizetype(quilso::MenuLabelsUtf8[std::size_t(kind)].size())));
        }
        pageTabs_->addTab(sheet, QString::fromUtf8(tabs[tab].caption));
    }
    // Set-up order: position, text, font, border, background.
    for (int tab : {TabPosition, TabText, TabFont, TabBorder, TabBackground})
        for (int kind = 0; kind < quilso::MenuKindCount; ++kind)
            panels_[kind][tab]->setup(MenuKind(kind), &project_.params, editState_);

    // The sub menu cannot float or clear, the breadcrumb trail has no width setting.
    for (const char* name : {"rgPosClear", "rgPosFloat"})
        if (auto* w = panels_[quilso::MenuSub][TabPosition]->findChild<QWidget*>(QString::fromLatin1(name)))
            w->hide();
    if (auto* w =
            panels_[quilso::MenuBreadcrumb][TabPosition]->findChild<QWidget*>(QStringLiteral("gbPosBreite")))
        w->hide();
    borderPanels_[quilso::MenuMain]->setWidthFieldFiltered(false);
    borderPanels_[quilso::MenuSub]->setWidthFieldFiltered(false);
}

void MainWindow::setCaption(const QString& caption) {
    caption_ = caption;
    QString shown = caption;
    shown.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]")); // a literal marker in a path
    setWindowTitle(shown + QStringLiteral("[*]"));
    setWindowModified(editState_->projectModified());
}

// ---------------------------------------------------------------------------------------------
// Edit commit protocol, tabs, hints, options

bool MainWindow::CommitPendingEdit() {
    if (editState_->editPending) {
        pageTabs_->setFocus();
        if (!editState_->editValid) {
            editState_->editValid = true;
            return false;
        }
    }
    return true;
}

bool MainWindow::confirmTabSwitch() {
    return CommitPendingEdit();
}

void MainWindow::focusTabs() {
    pageTabs_->setFocus();
}

void MainWindow::ShowHint(const QString& hint) {
    StatusLine->showMessage(longHint(hint));
}

void MainWindow::cbIsTagClick() {
    project_.params.options.isTag = cbIsTag->isChecked();
    editState_->setProjectModified(true);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (!tvSite || !pageTabs_) return QMainWindow::eventFilter(watched, event); // still building
    if (watched == pageTabs_->tabBar()) {
        // A tab change has to pass the commit step first; a refused one never shows the tab.
        if (type == QEvent::MouseButtonPress) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const int target = pageTabs_->tabBar()->tabAt(mouse->position().toPoint());
            if (target >= 0 && target != pageTabs_->currentIndex() && !confirmTabSwitch()) return true;
        } else if (type == QEvent::Wheel) {
            if (!confirmTabSwitch()) return true;
        } else if (type == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if ((key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Home || key == Qt::Key_End) &&
                !confirmTabSwitch())
                return true;
        }
    } else if (watched == pageTabs_ && type == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool switches = (key->modifiers() & Qt::ControlModifier) &&
                              (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab ||
                               key->key() == Qt::Key_PageUp || key->key() == Qt::Key_PageDown);
        if (switches && !confirmTabSwitch()) return true;
    } else if (watched == tvSite->viewport() && type == QEvent::MouseButtonRelease) {
        tvSiteClick();
    } else if (type == QEvent::MouseButtonRelease &&
               static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == lNodeAdd) {
            aNodeNewExecute();
            return true;
        }
        if (watched == lNodeDelete) {
            aNodeDeleteExecute();
            return true;
        }
        if (watched == lAddChild1 || watched == lAddChild2) {
            aNodeNewChildExecute();
            return true;
        }
    } else if (type == QEvent::Enter && watched->property(kHintProperty.toLatin1().constData()).isValid()) {
        ShowHint(watched->property(kHintProperty.toLatin1().constData()).toString());
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Site tree

SiteNode* MainWindow::focusedNode() const {
    const QModelIndex current = tvSite->selectionModel()->currentIndex();
    return current.isValid() ? treeModel_->nodeOf(current) : nullptr;
}

void MainWindow::enforceSiblingSelection() {
    if (adjustingSelection_ || rebuilding_) return;
    QItemSelectionModel* model = tvSite->selectionModel();
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

void MainWindow::CollectSelection() {
    selectionList.clear();
    QItemSelectionModel* model = tvSite->selectionModel();
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
    SiteNode* parentNode = treeModel_->nodeOf(parent);
    selectionList.reserve(rows.size());
    for (int r : rows)
        selectionList.push_back(parentNode->child(r));
}

void MainWindow::UpdateTreeControls() {
    CollectSelection();
    const bool one = selectionList.size() == 1;
    leText->setEnabled(one);
    leFile->setEnabled(one);
    if (one) {
        const SiteNode* node = selectionList.front();
        updatingFields_ = true;
        leText->setText(MenuTextToUi(node->entry.text));
        leFile->setText(FileNameToUi(node->entry.file));
        updatingFields_ = false;
    }
    const bool any = !selectionList.empty();
    lAddChild1->setVisible(any);
    lAddChild2->setVisible(any);
    auto enable = [](QAction* action, QWidget* image, bool on) {
        action->setEnabled(on);
        if (image) image->setVisible(on);
    };
    enable(aNodeUp, iNodeUp, any && selectionList.front()->previousSibling());
    enable(aNodeDown, iNodeDown, any && selectionList.back()->nextSibling());
    enable(aNodeRight, iNodeRight, any && selectionList.front()->previousSibling());
    enable(aNodeLeft, iNodeLeft, any && !selectionList.front()->parent()->isRoot());
    enable(aNodeDelete, lNodeDelete, any);
}

void MainWindow::setFieldState(QLineEdit* field, QLabel* hint, bool filled) {
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, filled ? QApplication::palette().color(QPalette::Base) : kSilver);
    field->setPalette(palette);
    hint->setVisible(!filled);
}

void MainWindow::leTextChange() {
    const QString t = leText->text().trimmed();
    setFieldState(leText, lText, !t.isEmpty());
    if (t.isEmpty() || selectionList.size() != 1) return;
    SiteNode* node = selectionList.front();
    // Unchanged text keeps its bytes: a reference shown as its character may be stored as
    // written ("&#0937;") or as the byte the code page has for it.
    if (t == MenuTextToUi(node->entry.text)) return;
    std::string stored = MenuTextFromUi(t);
    if (stored == node->entry.text) return;
    node->entry.text = std::move(stored);
    treeModel_->entryChanged(node);
    if (!updatingFields_) markTreeEdited();
}

void MainWindow::leFileChange() {
    const QString t = leFile->text().trimmed();
    setFieldState(leFile, lFile, !t.isEmpty());
    if (t.isEmpty() || selectionList.size() != 1) return;
    SiteNode* node = selectionList.front();
    std::string stored = FileNameFromUi(t);
    if (stored == node->entry.file) return;
    node->entry.file = std::move(stored);
    treeModel_->entryChanged(node);
    if (!updatingFields_) markTreeEdited();
}

void MainWindow::releaseSelection() {
    // A move re-selects the moved entries anyway; a selection of thousands of separate entries
    // carried through the model's relayout would cost more than the move.
    adjustingSelection_ = true;
    tvSite->selectionModel()->clearSelection();
    adjustingSelection_ = false;
}

void MainWindow::markTreeEdited() {
    editState_->setProjectModified(true);
}

void MainWindow::selectNodes(const std::vector<SiteNode*>& nodes, SiteNode* focus) {
    QItemSelectionModel* model = tvSite->selectionModel();
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
        const QModelIndex parent = treeModel_->indexOf(nodes.front()->parent());
        QItemSelection selection;
        for (std::size_t i = 0; i < rows.size();) {
            std::size_t j = i;
            while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1)
                ++j;
            selection.select(treeModel_->index(rows[i], 0, parent), treeModel_->index(rows[j], 0, parent));
            i = j + 1;
        }
        const QModelIndex focusIndex = treeModel_->indexOf(focus ? focus : nodes.front());
        model->setCurrentIndex(focusIndex, QItemSelectionModel::NoUpdate);
        // Cleared first: replacing one many-range selection by another makes the selection
        // model compare every old range with every new one.
        model->clearSelection();
        model->select(selection, QItemSelectionModel::Select);
        tvSite->scrollTo(focusIndex);
    }
    adjustingSelection_ = false;
    UpdateTreeControls();
}

void MainWindow::tvSiteClick() {
    if (!project_.tree.empty()) return;
    SiteNode* root = project_.tree.root();
    auto add = [this](SiteNode* parent, const char* text, const char* file) {
        return treeModel_->insertEntry(parent, -1, SiteEntry{text, file});
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
    markTreeEdited();
}

void MainWindow::prepareTreeItemDialog() {
    // Picked pages are linked relative to the project's folder; a new project has none yet.
    dlgTreeItem()->setBaseFolder(currentFileName.isEmpty() ? QString()
                                                           : QFileInfo(currentFileName).absolutePath());
}

void MainWindow::aNodeNewExecute() {
    prepareTreeItemDialog();
    if (!runTreeItemDialog(*dlgTreeItem())) return;
    const NewEntryDialog& dialog = *dlgTreeItem();
    SiteNode* focused = focusedNode();
    SiteNode* parent = focused ? focused->parent() : project_.tree.root();
    int row = focused ? focused->row() + 1 : -1;
    bool inserted = false;
    auto insertAfterFocused = [&](const QString& text, const QString& file) {
        focused = treeModel_->insertEntry(parent, row, SiteEntry{MenuTextFromUi(text), FileNameFromUi(file)});
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
    if (inserted) {
        markTreeEdited();
        selectNodes({focused}, focused);
    }
}

void MainWindow::aNodeNewChildExecute() {
    prepareTreeItemDialog();
    if (!runTreeItemDialog(*dlgTreeItem())) return;
    const NewEntryDialog& dialog = *dlgTreeItem();
    SiteNode* parent = focusedNode();
    if (!parent) parent = project_.tree.root();
    SiteNode* last = nullptr;
    auto append = [&](const QString& text, const QString& file) {
        last = treeModel_->insertEntry(
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
        markTreeEdited();
        if (!parent->isRoot()) tvSite->expand(treeModel_->indexOf(parent));
        selectNodes({last}, last);
    } else {
        selectNodes({}, nullptr);
    }
}

void MainWindow::aNodeDeleteExecute() {
    CollectSelection();
    if (selectionList.empty()) return;
    const std::vector<SiteNode*> doomed = std::exchange(selectionList, {});
    SiteNode* previous = doomed.front()->previousSibling();
    SiteNode* parent = doomed.front()->parent();
    const int firstRow = doomed.front()->row();
    adjustingSelection_ = true;
    tvSite->selectionModel()->clear();
    treeModel_->removeSiblings(doomed);
    adjustingSelection_ = false;
    markTreeEdited();
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

void MainWindow::aNodeUpExecute() {
    CollectSelection();
    if (selectionList.empty() || !selectionList.front()->previousSibling()) return;
    const std::vector<SiteNode*> moving = selectionList;
    SiteNode* focus = focusedNode();
    releaseSelection();
    SiteNode* parent = moving.front()->parent();
    std::vector<SiteNode*> order = parent->children();
    // Each entry, first to last, swaps with the one before it: a run moves up as a block.
    for (SiteNode* node : moving) {
        const auto at = std::size_t(node->row());
        std::swap(order[at], order[at - 1]);
    }
    treeModel_->reorder(parent, order);
    markTreeEdited();
    selectNodes(moving, focus);
}

void MainWindow::aNodeDownExecute() {
    CollectSelection();
    if (selectionList.empty() || !selectionList.back()->nextSibling()) return;
    const std::vector<SiteNode*> moving = selectionList;
    SiteNode* focus = focusedNode();
    releaseSelection();
    SiteNode* parent = moving.front()->parent();
    std::vector<SiteNode*> order = parent->children();
    for (auto it = moving.rbegin(); it != moving.rend(); ++it) {
        const auto at = std::size_t((*it)->row());
        std::swap(order[at], order[at + 1]);
    }
    treeModel_->reorder(parent, order);
    markTreeEdited();
    selectNodes(moving, focus);
}

void MainWindow::aNodeRightExecute() {
    CollectSelection();
    if (selectionList.empty()) return;
    SiteNode* target = selectionList.front()->previousSibling();
    if (!target) return;
    const std::vector<SiteNode*> moving = selectionList;
    SiteNode* focus = focusedNode();
    releaseSelection();
    treeModel_->moveSiblings(moving, target, -1);
    tvSite->expand(treeModel_->indexOf(target));
    markTreeEdited();
    selectNodes(moving, focus);
}

void MainWindow::aNodeLeftExecute() {
    CollectSelection();
    if (selectionList.empty()) return;
    SiteNode* parent = selectionList.front()->parent();
    if (parent->isRoot()) return;
    const std::vector<SiteNode*> moving = selectionList;
    SiteNode* focus = focusedNode();
    releaseSelection();
    treeModel_->moveSiblings(moving, parent->parent(), parent->row() + 1);
    markTreeEdited();
    selectNodes(moving, focus);
}

// ---------------------------------------------------------------------------------------------
// Project file commands

bool MainWindow::readProject(const QString& fileName) {
    auto refuse = [this, &fileName](const QString& reason) {
        if (rebuilding_) observer_->treeRebuilt();
        MessageBoxes::error(
            this, QStringLiteral("Die Datei „%1“ kann nicht gelesen werden:\n%2").arg(fileName, reason));
        return false;
    };
    // A pipe or device would block the window or never end.
    const QFileInfo info(fileName);
    if (info.exists() && !info.isDir() && !info.isFile())
        return refuse(QStringLiteral("Der Name bezeichnet keine gewöhnliche Datei."));
    try {
        quilso::ReadProjectFile(toFsName(fileName), project_, *observer_);
    } catch (const std::bad_alloc&) {
        return refuse(kOutOfMemory);
    } catch (const quilso::FileError& e) {
        if (rebuilding_) observer_->treeRebuilt();
        MessageBoxes::error(this, QStringLiteral("Die Datei „%1“ kann nicht gelesen werden:\n%2")
                                      .arg(fileName, readReason(fileName, e.reason())));
        return false;
    } catch (const std::exception& e) {
        if (rebuilding_) observer_->treeRebuilt();
        MessageBoxes::error(this, QStringLiteral("Die Datei „%1“ kann nicht gelesen werden:\n%2")
                                      .arg(fileName, QString::fromLocal8Bit(e.what())));
        return false;
    }
    UpdateTreeControls();
    return true;
}

bool MainWindow::writeProject(const QString& fileName) {
    if (!functionsLoaded_) {
        MessageBoxes::error(this,
                            QStringLiteral("Die Datei „%1“ wird nicht gespeichert: die Skriptbibliothek „%2“ "
                                           "fehlt oder ist nicht lesbar.")
                                .arg(fileName, functionsPath));
        return false;
    }
    try {
        quilso::WriteMenuScript(toFsName(fileName), project_, program_);
        // Pages may have been added beside the file, or it went to another folder.
        linkChecker_->scheduleCheck();
    } catch (const std::bad_alloc&) {
        MessageBoxes::error(
            this,
            QStringLiteral("Die Datei „%1“ kann nicht gespeichert werden:\n%2").arg(fileName, kOutOfMemory));
        return false;
    } catch (const quilso::FileError& e) {
        // The core's own sentences (write-protected, no plain file) name the file already.
        const bool sentence = e.problem() == quilso::FileProblem::WriteProtected ||
                              e.problem() == quilso::FileProblem::NotRegularFile;
        MessageBoxes::error(this, WriteFailureText(fileName, sentence ? std::string(e.what()) : e.reason()));
        return false;
    } catch (const std::exception& e) {
        MessageBoxes::error(this, QStringLiteral("Die Datei „%1“ kann nicht gespeichert werden:\n%2")
                                      .arg(fileName, QString::fromLocal8Bit(e.what())));
        return false;
    }
    return true;
}

bool MainWindow::LoadProject(const QString& name) {
    // Kept absolute: the working folder is no part of the project.
    const QString fileName = QFileInfo(name).absoluteFilePath();
    if (!readProject(fileName)) return false;
    currentFileName = fileName;
    saveDialogFileName_ = fileName;
    editState_->setProjectModified(false);
    setCaption(QStringLiteral("quilso: ") + fileName);
    return true;
}

bool MainWindow::NewProject() {
    if (!readProject(defaultProjectPath)) return false;
    currentFileName.clear();
    saveDialogFileName_.clear();
    editState_->setProjectModified(false);
    setCaption(QStringLiteral("quilso: [neues Projekt]"));
    return true;
}

bool MainWindow::saveFirst() {
    if (!editState_->projectModified()) return true;
    switch (MessageBoxes::question(this, QStringLiteral("Bestätigung"),
                                   QStringLiteral("Projekt vorher speichern?"))) {
    case MessageBoxes::Yes:
        // A cancelled or failed save must not let the command drop the unsaved changes.
        FileSave();
        return !editState_->projectModified();
    case MessageBoxes::No:
        return true;
    case MessageBoxes::Cancel:
        break;
    }
    return false;
}

void MainWindow::FileNew() {
    if (!CommitPendingEdit()) return;
    pageTabs_->setFocus();
    if (!saveFirst()) return;
    NewProject();
}

void MainWindow::FileOpen() {
    if (!CommitPendingEdit()) return;
    pageTabs_->setFocus();
    if (!saveFirst()) return;
    const QString chosen = FileDialogs::getOpenFileName(this, {QStringLiteral("Projekt öffnen"),
                                                               QStringLiteral("javascript (*.js)"),
                                                               QStringLiteral("js"), openDialogFileName_});
    if (chosen.isEmpty()) return;
    openDialogFileName_ = chosen;
    LoadProject(chosen);
}

bool MainWindow::FileSave() {
    if (currentFileName.isEmpty()) return FileSaveAs();
    if (!CommitPendingEdit()) return false;
    pageTabs_->setFocus();
    if (!writeProject(currentFileName)) return false;
    editState_->setProjectModified(false);
    return true;
}

bool MainWindow::FileSaveAs() {
    if (!CommitPendingEdit()) return false;
    const QString chosen = FileDialogs::getSaveFileName(this, {QStringLiteral("Projekt speichern unter"),
                                                               QStringLiteral("javascript (*.js)"),
                                                               QStringLiteral("js"), saveDialogFileName_});
    if (chosen.isEmpty()) return false;
    pageTabs_->setFocus();
    const QString target = QFileInfo(chosen).absoluteFilePath();
    if (!writeProject(target)) return false;
    currentFileName = target;
    saveDialogFileName_ = target;
    openDialogFileName_ = target;
    editState_->setProjectModified(false);
    setCaption(QStringLiteral("quilso: ") + target);
    return true;
}

void MainWindow::publishSite() {
    // The pages get what the saved file holds, so the file is saved first.
    if (FileSave()) PublishAndReport(this, project_, currentFileName);
}

void MainWindow::FileExit() {
    close();
}

bool MainWindow::FormCloseQuery() {
    pageTabs_->setFocus();
    if (!editState_->projectModified()) return true;
    switch (MessageBoxes::question(this, QStringLiteral("Bestätigung"),
                                   QStringLiteral("Projekt vorher speichern?"))) {
    case MessageBoxes::Yes:
        FileSave();
        return !editState_->projectModified();
    case MessageBoxes::No:
        return true;
    case MessageBoxes::Cancel:
        break;
    }
    return false;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    if (webAnzeigeForm_) webAnzeigeForm_->close();
    emit closed();
}

void MainWindow::FormActivate() {
    if (!firstActivation) return;
    // Cleared first: a message box shown while loading activates the window again.
    firstActivation = false;
    if (!arguments_.isEmpty()) {
        LoadProject(arguments_.constFirst());
    } else {
        NewProject();
    }
}

bool MainWindow::event(QEvent* event) {
    // Without a window manager a window is never activated; its first showing counts then.
    if ((event->type() == QEvent::WindowActivate || event->type() == QEvent::Show) && firstActivation)
        QMetaObject::invokeMethod(this, &MainWindow::FormActivate, Qt::QueuedConnection);
    return QMainWindow::event(event);
}

// ---------------------------------------------------------------------------------------------
// Preview, help, manual

PreviewWindow* MainWindow::webAnzeigeForm() {
    if (!webAnzeigeForm_) webAnzeigeForm_ = new PreviewWindow(this);
    return webAnzeigeForm_;
}

void MainWindow::showPreview() {
    if (currentFileName.isEmpty() || project_.tree.empty()) {
        MessageBoxes::information(this, QStringLiteral("Keine Seite zum Anzeigen vorhanden"));
        return;
    }
    const QString directory = QFileInfo(saveDialogFileName_).absolutePath() + QLatin1Char('/');
    QString path = directory + FileNameToUi(project_.tree.root()->child(0)->entry.file);
    // A file name typed with characters the code page lacks is stored percent-encoded, as the
    // browser will ask for it; on disk it has its real name.
    if (!QFileInfo::exists(path) && path.contains(u'%')) {
        const QString decoded = QUrl::fromPercentEncoding(path.toUtf8());
        if (QFileInfo::exists(decoded)) path = decoded;
    }
    if (QFileInfo::exists(path)) {
        webAnzeigeForm()->showPage(path, QStringLiteral("Vorschau: ") + path);
    } else {
        MessageBoxes::information(this,
                                  QStringLiteral("Kann Datei ") + path + QStringLiteral(" nicht öffnen"));
    }
}

void MainWindow::showHelp() {
    webAnzeigeForm()->showPage(dataDirectory + QStringLiteral("hilfe.htm"), QStringLiteral("Hilfe - Inhalt"));
}

void MainWindow::showManual() {
    webAnzeigeForm()->showPage(dataDirectory + QStringLiteral("quilso_1_0_Handbuch.pdf"),
                               QStringLiteral("Handbuch (PDF-Format)"));
}

#include "main_window.h"

#include "edit_state.h"
#include "link_check_dialog.h"
#include "link_checker.h"
#include "live_preview.h"
#include "new_from_folder.h"
#include "panel_util.h"
#include "preview_window.h"
#include "project_document.h"
#include "publish_dialog.h"
#include "read_observer.h"
#include "recent_projects.h"
#include "site_page.h"
#include "site_tree_model.h"
#include "style_gallery_dialog.h"
#include "style_pages.h"
#include "text_convert.h"
#include "ui_seams.h"
#include "undo_keys.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QUndoStack>
#include <QVBoxLayout>

using quilso::MenuKind;

namespace {

const char* const kHintProperty = "quilsoHint";

// A hint is "short|long": the tool tip shows the short part, the status line the long one.
QString shortHint(const QString& hint) {
    const qsizetype bar = hint.indexOf(u'|');
    return bar < 0 ? hint : hint.left(bar);
}

QString longHint(const QString& hint) {
    const qsizetype bar = hint.indexOf(u'|');
    return bar < 0 ? hint : hint.mid(bar + 1);
}

} // namespace

QString FindDataDirectory(const QString& programDir) {
    QString beside = QDir(programDir).absolutePath() + QLatin1Char('/');
    if (QFileInfo::exists(beside + QStringLiteral("default.js"))) return beside;
    QString installed = QDir(beside + QStringLiteral("../share/quilso")).absolutePath() + QLatin1Char('/');
    if (QFileInfo::exists(installed + QStringLiteral("default.js"))) return installed;
    return beside;
}

// Sets the panels and the options box from what the reader reads into the project.
class MainWindow::PanelObserver : public quilso::ReadObserver {
public:
    explicit PanelObserver(MainWindow& window) : window_(window) {}
    void declarationRead(MenuKind kind, quilso::BlockKind block, std::string_view property,
                         bool stored) override {
        window_.stylePages_->declarationRead(kind, block, property, stored);
    }
    void optionsRead(bool isTag) override {
        const QSignalBlocker blocker(window_.tagOption_);
        window_.tagOption_->setChecked(isTag);
    }
    void blockScanFinished() override { window_.stylePages_->blockScanFinished(); }

private:
    MainWindow& window_;
};

MainWindow::MainWindow(const StartupOptions& options, QWidget* parent)
    : QMainWindow(parent), observer_(std::make_unique<PanelObserver>(*this)), arguments_(options.arguments) {
    setObjectName(QStringLiteral("MainForm"));
    resize(780, 580);
    dataDirectory_ = options.dataDir.isEmpty() ? FindDataDirectory(QCoreApplication::applicationDirPath())
                                               : QDir(options.dataDir).absolutePath() + QLatin1Char('/');
    document_ = new ProjectDocument(dataDirectory_ + QStringLiteral("default.js"),
                                    dataDirectory_ + QStringLiteral("quilso_functions.js"), this);
    document_->setDialogParent(this);
    linkChecker_ = new LinkChecker(
        document_->treeModel(), [this] { return document_->fileName(); }, this);
    document_->treeModel()->setLinkChecker(linkChecker_);
    // Pages may have been added beside the file, or it went to another folder.
    connect(document_, &ProjectDocument::written, linkChecker_, &LinkChecker::scheduleCheck);
    document_->setReadObserver(observer_.get());
    document_->commitPendingEdit = [this] { return commitPendingEdit(); };

    buildActions();
    pageTabs_ = new QTabWidget(this);
    pageTabs_->setObjectName(QStringLiteral("PageControl1"));
    sitePage_ = new SitePage(document_);
    sitePage_->addHistoryActions({undoAction_, redoAction_});
    pageTabs_->addTab(sitePage_, QStringLiteral("Site-Struktur"));
    livePreview_ = new LivePreview(
        document_, sitePage_, [this] { return previewWindow(); }, this);
    buildStylePages();
    buildOptionsPage();
    setCentralWidget(pageTabs_);
    pageTabs_->setCurrentIndex(0);
    pageTabs_->tabBar()->installEventFilter(this);
    pageTabs_->installEventFilter(this);
    connect(pageTabs_, &QTabWidget::currentChanged, this, [this] { focusTabs(); });

    statusLine_ = new QStatusBar(this);
    statusLine_->setObjectName(QStringLiteral("StatusLine"));
    setStatusBar(statusLine_);

    connect(document_, &ProjectDocument::modifiedChanged, this, &QWidget::setWindowModified);
    connect(document_, &ProjectDocument::captionChanged, this, &MainWindow::setCaption);
    setCaption(QStringLiteral("quilso"));
    // Reported once the window shows.
    if (!document_->functionsLoaded())
        QTimer::singleShot(0, this, [this] { MessageBoxes::error(this, document_->functionsError()); });

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = geometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    NameUnnamedControls(pageTabs_);
    LetUndoKeysThroughIdleFields(pageTabs_);
}

MainWindow::~MainWindow() {
    // The preview's web view must go before the application object does.
    delete previewWindow_.data();
}

void MainWindow::buildActions() {
    auto makeAction = [this](const char* name, const QString& text, const QString& hint,
                             const QKeySequence& keys, std::function<void()> run) {
        auto* action = new QAction(text, this);
        action->setObjectName(QString::fromLatin1(name));
        action->setProperty(kHintProperty, hint);
        // A highlighted menu entry sends its status tip to the status line (an empty one
        // clears it), after the hovered signal.
        action->setStatusTip(longHint(hint));
        if (!keys.isEmpty()) action->setShortcut(keys);
        connect(action, &QAction::hovered, this,
                [this, action] { showHint(action->property(kHintProperty).toString()); });
        connect(action, &QAction::triggered, this, std::move(run));
        return action;
    };
    ProjectDocument* doc = document_;
    auto fileNew = makeAction("miNew", QStringLiteral("&Neu"), QStringLiteral("Neue Datei"),
                              QKeySequence(Qt::CTRL | Qt::Key_N), [doc] { doc->newProject(); });
    auto fileNewFromFolder = makeAction("miNewFromFolder", QStringLiteral("Neu aus &Ordner..."),
                                        QStringLiteral("Neues Projekt aus den Seiten eines Ordners"),
                                        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N),
                                        [this] { NewProjectFromFolder(*this, *linkChecker_); });
    auto fileOpen =
        makeAction("miOpen", QStringLiteral("&Öffnen..."), QStringLiteral("Bestehende Datei öffnen"),
                   QKeySequence(Qt::CTRL | Qt::Key_O), [doc] { doc->open(); });
    auto fileSave = makeAction("miSave", QStringLiteral("&Speichern"), QStringLiteral("Datei speichern"),
                               QKeySequence(Qt::CTRL | Qt::Key_S), [doc] { doc->save(); });
    auto fileSaveAs = makeAction("miSaveAs", QStringLiteral("Speichern &Unter..."),
                                 QStringLiteral("Datei unter neuem Namen speichern"),
                                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), [doc] { doc->saveAs(); });
    auto filePublish = makeAction("miPublish", QStringLiteral("&Veröffentlichen"),
                                  QStringLiteral("Menüs als statisches HTML in die Seiten schreiben"), {},
                                  [this] { publishSite(); });
    auto fileExit =
        makeAction("miExit", QStringLiteral("&Beenden"), QStringLiteral("Diese Anwendung beenden"),
                   QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); });
    auto preview = makeAction("Vorschau1", QStringLiteral("&Vorschau"), {}, QKeySequence(Qt::Key_F5),
                              [this] { showPreview(); });
    auto help = makeAction("quilsohilfe1", QStringLiteral("quilso &Hilfe"), {}, QKeySequence(Qt::Key_F1),
                           [this] { showHelp(); });
    auto manual = makeAction("Handbuch1", QStringLiteral("Hand&buch"), {}, {}, [this] { showManual(); });

    QMenu* file = menuBar()->addMenu(QStringLiteral("&Datei"));
    file->addActions({fileNew, fileNewFromFolder, fileOpen});
    auto* recent = new QMenu(QStringLiteral("&Zuletzt geöffnet"), this);
    recent->setObjectName(QStringLiteral("mRecent"));
    file->addMenu(recent);
    recentProjects_ = new RecentProjects(recent, this);
    connect(recentProjects_, &RecentProjects::chosen, doc, &ProjectDocument::openFile);
    // Opened or saved under a name: the caption names the file then.
    connect(doc, &ProjectDocument::captionChanged, this, [this] {
        if (!document_->fileName().isEmpty()) recentProjects_->note(document_->fileName());
    });
    file->addActions({fileSave, fileSaveAs});
    file->addSeparator();
    file->addAction(filePublish);
    file->addSeparator();
    file->addAction(fileExit);
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Bearbeiten"));
    edit->addActions(buildHistoryActions());
    edit->addSeparator();
    const QString looks = dataDirectory_ + QStringLiteral("styles");
    edit->addAction(makeAction(
        "miStyleGallery", QStringLiteral("&Stilvorlagen..."),
        QStringLiteral("Fertige Gestaltungen der drei Men\u00FCs ansehen und \u00FCbernehmen"), {}, [this] {
            ShowStyleGallery(
                document_, dataDirectory_, [this] { showPreview(); }, this);
        }));
    edit->addAction(makeAction(
        "miSaveLook", QStringLiteral("&Als Stilvorlage speichern..."),
        QStringLiteral("Die Stile der drei Men\u00FCs unter einem Namen aufbewahren"), {}, [this, looks] {
            SaveProjectAsLook(document_, looks, QString::fromStdString(quilso::UserLooksDir().string()),
                              this);
        }));
    auto checkLinks = makeAction("miCheckLinks", QStringLiteral("&Links prüfen"),
                                 QStringLiteral("Fehlende Seiten, unverlinkte Seiten und Kontraste prüfen"),
                                 QKeySequence(Qt::Key_F7), [this] {
                                     // The marks are brought in line with what the list will say.
                                     linkChecker_->scheduleCheck();
                                     ShowLinkCheck(*this, *linkChecker_);
                                 });
    menuBar()->addMenu(QStringLiteral("&Ansicht"))->addActions({preview, checkLinks});
    QMenu* helpMenu = menuBar()->addMenu(QStringLiteral("&Hilfe"));
    helpMenu->addActions({help, manual});

    // The tab widget's own Ctrl+Tab reaches it only where no control takes the key first (the
    // style pages' inner tabs do).
    auto tabKeys = [this](const char* name, const QList<QKeySequence>& keys, int step) {
        auto* action = new QAction(this);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcuts(keys);
        connect(action, &QAction::triggered, this, [this, step] { switchTab(step); });
        addAction(action);
    };
    tabKeys("aNextTab", {QKeySequence(Qt::CTRL | Qt::Key_Tab)}, 1);
    tabKeys("aPreviousTab",
            {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab)},
            -1);

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
        button->setProperty(kHintProperty, hint);
        button->installEventFilter(this);
        connect(button, &QToolButton::clicked, this, std::move(run));
        tools->addWidget(button);
        return button;
    };
    toolButton("SpeedButton1", QStringLiteral("Neu|"), QStyle::SP_FileIcon, [doc] { doc->newProject(); });
    toolButton("SpeedButton2", QStringLiteral("Öffnen|"), QStyle::SP_DialogOpenButton,
               [doc] { doc->open(); });
    toolButton("SaveButton", QStringLiteral("Speichern|"), QStyle::SP_DialogSaveButton,
               [doc] { doc->save(); });
    auto* saveAs = toolButton("SaveAsButton", QStringLiteral("Speichern unter|"), QStyle::SP_DriveFDIcon,
                              [doc] { doc->saveAs(); });
    saveAs->setText(QStringLiteral("…"));
    toolButton("WebAnsichtButton", QStringLiteral("Vorschau"), QStyle::SP_FileDialogContentsView,
               [this] { showPreview(); });
}

QList<QAction*> MainWindow::buildHistoryActions() {
    QUndoStack* stack = document_->undoStack();
    // Own actions rather than the stack's: their texts read "Rückgängig: <step>", and a
    // pending number field is checked before the history moves.
    auto historyAction = [this](const char* name, const QString& text, const QList<QKeySequence>& keys,
                                std::function<void()> run) {
        auto* action = new QAction(text, this);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcuts(keys);
        action->setEnabled(false);
        connect(action, &QAction::triggered, this, [this, run = std::move(run)] {
            if (commitPendingEdit()) run();
        });
        return action;
    };
    undoAction_ = historyAction("aUndo", QStringLiteral("&Rückgängig"), {QKeySequence(Qt::CTRL | Qt::Key_Z)},
                                [stack] { stack->undo(); });
    redoAction_ =
        historyAction("aRedo", QStringLiteral("&Wiederholen"),
                      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)},
                      [stack] { stack->redo(); });
    auto follow = [this, stack] {
        undoAction_->setEnabled(stack->canUndo());
        undoAction_->setText(stack->canUndo() ? QStringLiteral("&Rückgängig: ") + stack->undoText()
                                              : QStringLiteral("&Rückgängig"));
        redoAction_->setEnabled(stack->canRedo());
        redoAction_->setText(stack->canRedo() ? QStringLiteral("&Wiederholen: ") + stack->redoText()
                                              : QStringLiteral("&Wiederholen"));
    };
    connect(stack, &QUndoStack::indexChanged, this, follow);
    connect(stack, &QUndoStack::canUndoChanged, this, follow);
    connect(stack, &QUndoStack::canRedoChanged, this, follow);
    return {undoAction_, redoAction_};
}

void MainWindow::buildStylePages() {
    stylePages_ = std::make_unique<StylePages>(pageTabs_, document_, document_->editState());
    connect(document_, &ProjectDocument::styleRestored, this,
            [this](quilso::MenuKind kind, const quilso::MenuStyle& previous) {
                stylePages_->showRecord(kind, previous);
            });
}

void MainWindow::buildOptionsPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsProperties"));
    tagOption_ = new QCheckBox(QStringLiteral("'<' und '>' als HTML-Tag interpretieren"), page);
    tagOption_->setObjectName(QStringLiteral("cbIsTag"));
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(tagOption_);
    layout->addStretch();
    pageTabs_->addTab(page, QStringLiteral("Optionen"));
    connect(tagOption_, &QCheckBox::toggled, document_, &ProjectDocument::setTagOption);
    // Undo and redo set the option behind the box's back.
    connect(document_, &ProjectDocument::optionsChanged, this, [this] {
        const QSignalBlocker blocker(tagOption_);
        tagOption_->setChecked(document_->project().params.options.isTag);
    });
}

void MainWindow::setCaption(const QString& caption) {
    caption_ = caption;
    QString shown = caption;
    shown.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]")); // a literal marker in a path
    setWindowTitle(shown + QStringLiteral("[*]"));
    setWindowModified(document_->isModified());
}

bool MainWindow::commitPendingEdit() {
    // Stored in place rather than by moving the focus away: a focus change does not reach the
    // field while the window is inactive, as it is right after a dialog closed.
    EditState* state = document_->editState();
    if (state->storePendingEntry()) return true;
    state->editValid = true; // refused once: the next attempt goes through
    return false;
}

void MainWindow::focusTabs() {
    pageTabs_->setFocus();
}

void MainWindow::switchTab(int step) {
    if (!commitPendingEdit()) return;
    const int count = pageTabs_->count();
    pageTabs_->setCurrentIndex((pageTabs_->currentIndex() + step + count) % count);
}

void MainWindow::showHint(const QString& hint) {
    statusLine_->showMessage(longHint(hint));
}

// A tab change has to pass the commit step first; a refused one never shows the tab.
bool MainWindow::tabSwitchAllowed(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == pageTabs_->tabBar()) {
        if (type == QEvent::MouseButtonPress) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const int target = pageTabs_->tabBar()->tabAt(mouse->position().toPoint());
            return target < 0 || target == pageTabs_->currentIndex() || commitPendingEdit();
        }
        if (type == QEvent::Wheel) return commitPendingEdit();
        if (type == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Home || key == Qt::Key_End)
                return commitPendingEdit();
        }
    } else if (watched == pageTabs_ && type == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool switches = (key->modifiers() & Qt::ControlModifier) &&
                              (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab ||
                               key->key() == Qt::Key_PageUp || key->key() == Qt::Key_PageDown);
        if (switches) return commitPendingEdit();
    }
    return true;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (!pageTabs_ || !statusLine_) return QMainWindow::eventFilter(watched, event); // still building
    if (!tabSwitchAllowed(watched, event)) return true;
    if (event->type() == QEvent::Enter && watched->property(kHintProperty).isValid())
        showHint(watched->property(kHintProperty).toString());
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!commitPendingEdit() || !document_->confirmDiscard()) {
        event->ignore();
        return;
    }
    event->accept();
    if (previewWindow_) previewWindow_->close();
    emit closed();
}

void MainWindow::loadStartupProject() {
    if (!firstActivation_) return;
    // Cleared first: a message box shown while loading activates the window again.
    firstActivation_ = false;
    if (!arguments_.isEmpty()) {
        document_->load(arguments_.constFirst());
    } else {
        document_->loadTemplate();
    }
}

bool MainWindow::event(QEvent* event) {
    // Without a window manager a window is never activated; its first showing counts then.
    if ((event->type() == QEvent::WindowActivate || event->type() == QEvent::Show) && firstActivation_)
        QMetaObject::invokeMethod(this, &MainWindow::loadStartupProject, Qt::QueuedConnection);
    // Back from another program, where pages may have been added or deleted.
    if (event->type() == QEvent::WindowActivate && linkChecker_) linkChecker_->scheduleCheck();
    return QMainWindow::event(event);
}

PreviewWindow* MainWindow::previewWindow() {
    if (!previewWindow_) previewWindow_ = new PreviewWindow(this);
    return previewWindow_;
}

void MainWindow::showPreview() {
    if (commitPendingEdit()) livePreview_->showStartPage();
}

void MainWindow::publishSite() {
    // The pages get what the saved file holds: unsaved changes are saved first, if the user
    // wants, as before "Neu" and "Öffnen"; else the pages get the file as it was saved.
    if (!commitPendingEdit()) return;
    focusTabs();
    if (!document_->confirmDiscard()) return;
    if (document_->fileName().isEmpty() && (document_->isModified() || !document_->save())) return;
    const QString fileName = document_->fileName();
    if (!document_->isModified()) {
        PublishAndReport(this, document_->project(), fileName);
        return;
    }
    quilso::Project saved;
    if (document_->readSavedFile(saved)) PublishAndReport(this, saved, fileName);
}

void MainWindow::showHelp() {
    previewWindow()->showPage(dataDirectory_ + QStringLiteral("hilfe.htm"), QStringLiteral("Hilfe - Inhalt"));
}

void MainWindow::showManual() {
    previewWindow()->showPage(dataDirectory_ + QStringLiteral("quilso_1_0_Handbuch.pdf"),
                              QStringLiteral("Handbuch (PDF-Format)"));
}

#include "project_document.h"

#include "edit_state.h"
#include "entry_text_command.h"
#include "file_io.h"
#include "insert_entry_command.h"
#include "large_memory.h"
#include "move_entries_command.h"
#include "reader.h"
#include "remove_entries_command.h"
#include "site_tree_model.h"
#include "style_command.h"
#include "tag_option_command.h"
#include "text_convert.h"
#include "tree_step.h"
#include "ui_seams.h"
#include "writer.h"

#include <QFile>
#include <QFileInfo>
#include <QScopedValueRollback>
#include <QStringDecoder>
#include <QStringList>
#include <QUndoStack>

#include <algorithm>
#include <utility>

using quilso::MenuKind;
using quilso::RowRun;
using quilso::SiteEntry;
using quilso::SiteNode;

namespace {

std::string toFsName(const QString& path) {
    return QFile::encodeName(path).toStdString();
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
    QString told = coreText(coreReason);
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

// Callers may hand over a selection in any order; the steps keep rows, which need it in
// sibling order.
std::vector<SiteNode*> inSiblingOrder(const std::vector<SiteNode*>& nodes) {
    std::vector<SiteNode*> ordered(nodes);
    auto byRow = [](const SiteNode* a, const SiteNode* b) { return a->row() < b->row(); };
    if (!std::is_sorted(ordered.begin(), ordered.end(), byRow))
        std::sort(ordered.begin(), ordered.end(), byRow);
    return ordered;
}

const QString kOutOfMemory = QStringLiteral("Nicht genügend Arbeitsspeicher.");

// The core's sentence about a save that stopped while it rewrote `fileName`, and the question.
QString interruptedSaveQuestion(const QString& fileName, const std::string& copy, const QString& question) {
    const std::string told = quilso::FileError::interruptedSave(toFsName(fileName), copy).what();
    return coreText(told) + u'\n' + question;
}

} // namespace

QString WriteFailureText(const QString& path, const std::string& coreReason) {
    return QStringLiteral("Die Datei „%1“ kann nicht gespeichert werden:\n%2")
        .arg(path, writeReason(path, coreReason));
}

// Passes what the reader sets to the window's observer and brackets the tree's rebuild for the
// views; a read that fails half-way still ends the bracket.
class ProjectDocument::TreeRebuild : public quilso::ReadObserver {
public:
    TreeRebuild(ProjectDocument* document, quilso::ReadObserver* next)
        : document_(document), model_(document->treeModel_), next_(next) {}
    ~TreeRebuild() override {
        if (rebuilding_) model_->endRebuild();
    }
    void readStarted() override { next_->readStarted(); }
    void declarationRead(MenuKind kind, quilso::BlockKind block, std::string_view property,
                         bool stored) override {
        next_->declarationRead(kind, block, property, stored);
    }
    void optionsRead(bool isTag) override { next_->optionsRead(isTag); }
    void blockScanFinished() override { next_->blockScanFinished(); }
    void treeAboutToBeRebuilt() override {
        next_->treeAboutToBeRebuilt();
        // Only now: a read that fails before it leaves project and history as they were.
        document_->dropHistory();
        rebuilding_ = true;
        model_->beginRebuild();
    }
    void treeRebuilt() override {
        model_->endRebuild();
        rebuilding_ = false;
        next_->treeRebuilt();
    }
    void linesDropped(const std::vector<quilso::DroppedLines>& dropped) override {
        for (const quilso::DroppedLines& kind : dropped)
            droppedLines_ << QString::fromStdString(quilso::DescribeDroppedLines(kind));
        next_->linesDropped(dropped);
    }
    // One sentence per kind of line the read passed over.
    const QStringList& droppedLines() const { return droppedLines_; }

private:
    ProjectDocument* document_;
    SiteTreeModel* model_;
    quilso::ReadObserver* next_;
    bool rebuilding_ = false;
    QStringList droppedLines_;
};

ProjectDocument::ProjectDocument(const QString& defaultProjectPath, const QString& functionsPath,
                                 QObject* parent)
    : QObject(parent), treeModel_(new SiteTreeModel(&project_.tree, this)), editState_(new EditState(this)),
      undoStack_(new QUndoStack(this)), defaultProjectPath_(defaultProjectPath),
      functionsPath_(functionsPath) {
    program_.edition = "Standard";
    program_.version = QUILSO_VERSION;
    connect(editState_, &EditState::projectModifiedChanged, this, &ProjectDocument::modifiedChanged);
    connect(undoStack_, &QUndoStack::cleanChanged, this,
            [this](bool clean) { editState_->setProjectModified(!clean); });
    try {
        program_.functionsLines = quilso::ReadLines(toFsName(functionsPath_));
        functionsLoaded_ = true;
    } catch (const quilso::FileError& e) {
        // Saving stays refused: a menu script file without its library would break every page
        // that includes it.
        functionsError_ = QStringLiteral("Die Skriptbibliothek „%1“ kann nicht gelesen werden:\n%2")
                              .arg(functionsPath_, readReason(functionsPath_, e.reason()));
    }
}

ProjectDocument::~ProjectDocument() {
    // The steps free the deleted entries they keep, which live in the tree's memory. Quietly:
    // the window that shows the modified mark may be half torn down.
    undoStack_->blockSignals(true);
    delete undoStack_;
}

bool ProjectDocument::isModified() const {
    return editState_->projectModified();
}

void ProjectDocument::setModified(bool modified) {
    if (!modified)
        undoStack_->setClean();
    else if (undoStack_->isClean())
        undoStack_->resetClean();
    editState_->setProjectModified(modified);
}

void ProjectDocument::dropHistory() {
    undoStack_->clear();
}

// ---------------------------------------------------------------------------------------------
// Style records and options

const quilso::MenuStyle& ProjectDocument::style(MenuKind kind) const {
    return project_.params.css[kind];
}

bool ProjectDocument::editStyle(MenuKind kind, const char* label, const StyleChange& change) {
    // What a panel stores while it shows a record put back is part of that undo or redo.
    if (restoring_) {
        adjustStyle(kind, change);
        return false;
    }
    quilso::MenuStyle& record = project_.params.css[kind];
    quilso::MenuStyle before = record;
    change(record);
    // A value stored again (a field passed through, a list item chosen anew) is no step: there
    // is nothing to undo. It still marks the project, as the panels' rules say.
    if (record == before) {
        markModified();
        return false;
    }
    undoStack_->push(new StyleCommand(this, kind, QString::fromUtf8(label), std::move(before), record));
    emit styleChanged(kind);
    return true;
}

void ProjectDocument::adjustStyle(MenuKind kind, const StyleChange& change) {
    quilso::MenuStyle& record = project_.params.css[kind];
    const quilso::MenuStyle before = record;
    change(record);
    if (record != before) emit styleChanged(kind);
}

void ProjectDocument::markModified() {
    // Without a step: the next undo back to the saved state clears it again, as nothing that
    // a step would have to put back has changed.
    editState_->setProjectModified(true);
}

void ProjectDocument::replaceStyles(const QString& label,
                                    const quilso::MenuStyle (&records)[quilso::MenuKindCount]) {
    auto* step = new QUndoCommand(label);
    for (int k = 0; k < quilso::MenuKindCount; ++k)
        new StyleCommand(this, MenuKind(k), label, project_.params.css[k], records[k], step);
    // Pushing redoes the step: each record is put in place and its panels show it.
    undoStack_->push(step);
}

void ProjectDocument::restoreStyle(MenuKind kind, const quilso::MenuStyle& record) {
    quilso::MenuStyle& stored = project_.params.css[kind];
    if (stored == record) return;
    const quilso::MenuStyle previous = std::exchange(stored, record);
    const QScopedValueRollback restoring(restoring_, true);
    emit styleChanged(kind);
    emit styleRestored(kind, previous);
}

void ProjectDocument::setTagOption(bool isTag) {
    undoStack_->push(new TagOptionCommand(this, project_.params.options.isTag, isTag));
}

void ProjectDocument::restoreTagOption(bool isTag) {
    project_.params.options.isTag = isTag;
    emit optionsChanged();
}

// ---------------------------------------------------------------------------------------------
// Site tree

ProjectDocument::Step::Step(ProjectDocument& document, const QString& label) : document_(document) {
    document_.beginStep(label);
}

ProjectDocument::Step::~Step() {
    document_.endStep();
}

void ProjectDocument::beginStep(const QString& label) {
    if (stepDepth_++ > 0) return;
    const TreeSelection now = currentSelection();
    openStep_ = new TreeStep(this, label, NodeSelection::of(now.nodes, now.focus));
}

void ProjectDocument::endStep() {
    if (--stepDepth_ > 0) return;
    TreeStep* step = std::exchange(openStep_, nullptr);
    if (step->childCount() == 0) {
        delete step;
        return;
    }
    const TreeSelection now = currentSelection();
    step->setSelectionAfter(NodeSelection::of(now.nodes, now.focus));
    undoStack_->push(step);
}

void ProjectDocument::showSelection(const NodeSelection& selection) {
    // A focus that is not in the tree in this state would be an index into freed rows.
    SiteNode* focus = selection.focus;
    const SiteNode* top = focus;
    while (top && top->parent())
        top = top->parent();
    if (top != project_.tree.root()) focus = nullptr;
    emit selectionRestored(selection.nodes(), focus);
}

void ProjectDocument::sealEntryEdit() {
    const int top = undoStack_->index() - 1;
    if (top < 0) return;
    if (const auto* edit = dynamic_cast<const EntryTextCommand*>(undoStack_->command(top))) edit->seal();
}

QString ProjectDocument::moveStepName(std::size_t count) {
    return count == 1 ? QStringLiteral("Eintrag verschieben") : QStringLiteral("Einträge verschieben");
}

QString ProjectDocument::deleteStepName(std::size_t count) {
    return count == 1 ? QStringLiteral("Eintrag löschen") : QStringLiteral("Einträge löschen");
}

SiteNode* ProjectDocument::insertEntry(SiteNode* parent, int row, SiteEntry entry) {
    const Step step(*this, QStringLiteral("Neuer Eintrag"));
    auto* command = new InsertEntryCommand(treeModel_, parent, row, std::move(entry), openStep_);
    command->redo();
    return command->node();
}

void ProjectDocument::removeEntries(const std::vector<SiteNode*>& selection) {
    const std::vector<SiteNode*> siblings = inSiblingOrder(selection);
    if (siblings.empty()) return;
    const Step step(*this, deleteStepName(siblings.size()));
    (new RemoveEntriesCommand(treeModel_, siblings, openStep_))->redo();
}

void ProjectDocument::moveEntries(const std::vector<SiteNode*>& siblings, SiteNode* newParent,
                                  std::vector<RowRun> target) {
    const Step step(*this, moveStepName(siblings.size()));
    (new MoveEntriesCommand(treeModel_, siblings, newParent, std::move(target), openStep_))->redo();
}

bool ProjectDocument::moveEntriesUp(const std::vector<SiteNode*>& selection) {
    const std::vector<SiteNode*> siblings = inSiblingOrder(selection);
    if (siblings.empty() || !siblings.front()->previousSibling()) return false;
    // Each run of neighbours hops over the entry before it: every run ends one row higher.
    std::vector<RowRun> target = quilso::RowRunsOf(siblings);
    for (RowRun& run : target)
        --run.first;
    moveEntries(siblings, siblings.front()->parent(), std::move(target));
    return true;
}

bool ProjectDocument::moveEntriesDown(const std::vector<SiteNode*>& selection) {
    const std::vector<SiteNode*> siblings = inSiblingOrder(selection);
    if (siblings.empty() || !siblings.back()->nextSibling()) return false;
    std::vector<RowRun> target = quilso::RowRunsOf(siblings);
    for (RowRun& run : target)
        ++run.first;
    moveEntries(siblings, siblings.front()->parent(), std::move(target));
    return true;
}

bool ProjectDocument::indentEntries(const std::vector<SiteNode*>& selection) {
    const std::vector<SiteNode*> siblings = inSiblingOrder(selection);
    if (siblings.empty()) return false;
    SiteNode* target = siblings.front()->previousSibling();
    if (!target) return false;
    moveEntries(siblings, target, {{target->childCount(), int(siblings.size())}});
    return true;
}

bool ProjectDocument::outdentEntries(const std::vector<SiteNode*>& selection) {
    const std::vector<SiteNode*> siblings = inSiblingOrder(selection);
    if (siblings.empty()) return false;
    SiteNode* parent = siblings.front()->parent();
    if (parent->isRoot()) return false;
    moveEntries(siblings, parent->parent(), {{parent->row() + 1, int(siblings.size())}});
    return true;
}

bool ProjectDocument::moveEntriesTo(const std::vector<SiteNode*>& selection, SiteNode* newParent, int row) {
    const std::vector<SiteNode*> siblings = inSiblingOrder(selection);
    if (siblings.empty()) return false;
    for (const SiteNode* up = newParent; up; up = up->parent())
        for (const SiteNode* node : siblings)
            if (up == node) return false;
    SiteNode* oldParent = siblings.front()->parent();
    const int remaining = newParent->childCount() - (newParent == oldParent ? int(siblings.size()) : 0);
    if (row < 0 || row > remaining) row = remaining;
    if (newParent == oldParent) {
        // Already there as one run in that place: nothing to do.
        const int first = siblings.front()->row();
        bool inPlace = first == row;
        for (std::size_t i = 1; inPlace && i < siblings.size(); ++i)
            inPlace = siblings[i]->row() == first + int(i);
        if (inPlace) return false;
    }
    moveEntries(siblings, newParent, {{row, int(siblings.size())}});
    return true;
}

bool ProjectDocument::setEntryText(SiteNode* node, std::string text, bool byUser) {
    return setEntryField(node, EntryTextCommand::MenuText, std::move(text), byUser);
}

bool ProjectDocument::setEntryFile(SiteNode* node, std::string file, bool byUser) {
    return setEntryField(node, EntryTextCommand::FileName, std::move(file), byUser);
}

bool ProjectDocument::setEntryField(SiteNode* node, int field, std::string value, bool byUser) {
    const auto which = EntryTextCommand::Field(field);
    quilso::EntryText& stored = which == EntryTextCommand::MenuText ? node->entry.text : node->entry.file;
    if (value == stored) return false;
    if (!byUser) {
        stored = value;
        treeModel_->entryChanged(node);
    } else if (openStep_) {
        (new EntryTextCommand(this, node, which, std::move(value), openStep_))->redo();
    } else {
        undoStack_->push(new EntryTextCommand(this, node, which, std::move(value)));
    }
    return true;
}

void ProjectDocument::replaceTree(quilso::SiteTree& tree) {
    dropHistory();
    treeModel_->beginRebuild();
    project_.tree.swap(tree);
    treeModel_->endRebuild();
}

void ProjectDocument::setEntryExpanded(SiteNode* node, bool expanded) {
    node->expanded = expanded; // how the tree is shown, not a change of the project
}

// ---------------------------------------------------------------------------------------------
// Files

bool ProjectDocument::read(const QString& fileName) {
    quilso::ReadObserver none;
    TreeRebuild observer(this, readObserver_ ? readObserver_ : &none);
    // The core keeps the large blocks a read frees (the old tree's among them) for a read that
    // follows soon; the window may stay open for hours with the next project, so they go back
    // to the system once the read is over.
    struct GiveBack {
        ~GiveBack() { quilso::ReleaseKeptLargeBlocks(); }
    } giveBack;
    if (!readInto(fileName, project_, observer)) return false;
    emit projectRead();
    if (!observer.droppedLines().isEmpty())
        MessageBoxes::information(dialogParent_,
                                  QStringLiteral("Beim Öffnen von „%1“ wurden Zeilen übergangen:\n%2")
                                      .arg(fileName, observer.droppedLines().join(QLatin1Char('\n'))));
    return true;
}

bool ProjectDocument::readSavedFile(quilso::Project& saved) const {
    quilso::ReadObserver none;
    return !fileName_.isEmpty() && readInto(fileName_, saved, none);
}

bool ProjectDocument::readInto(const QString& fileName, quilso::Project& project,
                               quilso::ReadObserver& observer) const {
    auto refuse = [this, &fileName](const QString& reason) {
        MessageBoxes::error(
            dialogParent_,
            QStringLiteral("Die Datei „%1“ kann nicht gelesen werden:\n%2").arg(fileName, reason));
        return false;
    };
    // A pipe or device would block the window or never end.
    const QFileInfo info(fileName);
    if (info.exists() && !info.isDir() && !info.isFile())
        return refuse(QStringLiteral("Der Name bezeichnet keine gewöhnliche Datei."));
    // A save that stopped half-way left the file part old, part new; its complete content
    // lives on in a copy, which the user may take back.
    if (const std::string copy = quilso::FindInterruptedSaveCopy(toFsName(fileName)); !copy.empty()) {
        switch (MessageBoxes::question(
            dialogParent_, QStringLiteral("Unterbrochenes Speichern"),
            interruptedSaveQuestion(fileName, copy,
                                    QStringLiteral("Die vollständige Fassung wiederherstellen und öffnen? "
                                                   "(„Nein“ öffnet die Datei, wie sie ist.)")))) {
        case MessageBoxes::Yes:
            try {
                quilso::RestoreInterruptedSaveCopy(toFsName(fileName), copy);
            } catch (const quilso::FileError& e) {
                MessageBoxes::error(dialogParent_,
                                    QStringLiteral("Die vollständige Fassung von „%1“ kann nicht "
                                                   "wiederhergestellt werden:\n%2")
                                        .arg(fileName, coreText(e.what())));
                return false;
            }
            break;
        case MessageBoxes::No:
            break;
        case MessageBoxes::Cancel:
            return false;
        }
    }
    try {
        quilso::ReadProjectFile(toFsName(fileName), project, observer);
    } catch (const std::bad_alloc&) {
        return refuse(kOutOfMemory);
    } catch (const quilso::NotMenuScriptError& e) {
        // Opening it would let the next save replace it.
        MessageBoxes::error(dialogParent_, QString::fromUtf8(e.what()));
        return false;
    } catch (const quilso::FileError& e) {
        MessageBoxes::error(dialogParent_, QStringLiteral("Die Datei „%1“ kann nicht gelesen werden:\n%2")
                                               .arg(fileName, readReason(fileName, e.reason())));
        return false;
    } catch (const std::exception& e) {
        MessageBoxes::error(dialogParent_, QStringLiteral("Die Datei „%1“ kann nicht gelesen werden:\n%2")
                                               .arg(fileName, QString::fromLocal8Bit(e.what())));
        return false;
    }
    return true;
}

bool ProjectDocument::write(const QString& fileName) {
    if (!functionsLoaded_) {
        MessageBoxes::error(dialogParent_,
                            QStringLiteral("Die Datei „%1“ wird nicht gespeichert: die Skriptbibliothek „%2“ "
                                           "fehlt oder ist nicht lesbar.")
                                .arg(fileName, functionsPath_));
        return false;
    }
    // The copy a stopped save left is the only complete version of the file: it goes only when
    // the user agrees.
    if (const std::string copy = quilso::FindInterruptedSaveCopy(toFsName(fileName)); !copy.empty()) {
        if (MessageBoxes::question(
                dialogParent_, QStringLiteral("Unterbrochenes Speichern"),
                interruptedSaveQuestion(fileName, copy,
                                        QStringLiteral("Das Projekt trotzdem speichern? Die "
                                                       "vollständige Fassung wird dann "
                                                       "gelöscht."))) != MessageBoxes::Yes)
            return false;
        try {
            quilso::DiscardInterruptedSaveCopy(copy);
        } catch (const quilso::FileError& e) {
            MessageBoxes::error(dialogParent_, WriteFailureText(fileName, e.what()));
            return false;
        }
    }
    try {
        quilso::WriteMenuScript(toFsName(fileName), project_, program_);
        emit written();
    } catch (const std::bad_alloc&) {
        MessageBoxes::error(
            dialogParent_,
            QStringLiteral("Die Datei „%1“ kann nicht gespeichert werden:\n%2").arg(fileName, kOutOfMemory));
        return false;
    } catch (const quilso::FileError& e) {
        // The core's own sentences (write-protected, no plain file) name the file already.
        const bool sentence = e.problem() == quilso::FileProblem::WriteProtected ||
                              e.problem() == quilso::FileProblem::NotRegularFile;
        MessageBoxes::error(dialogParent_,
                            WriteFailureText(fileName, sentence ? std::string(e.what()) : e.reason()));
        return false;
    } catch (const std::exception& e) {
        MessageBoxes::error(dialogParent_, QStringLiteral("Die Datei „%1“ kann nicht gespeichert werden:\n%2")
                                               .arg(fileName, QString::fromLocal8Bit(e.what())));
        return false;
    }
    return true;
}

bool ProjectDocument::load(const QString& name) {
    // Kept absolute: the working folder is no part of the project.
    const QString fileName = QFileInfo(name).absoluteFilePath();
    if (!read(fileName)) return false;
    fileName_ = fileName;
    saveDialogFileName_ = fileName;
    setModified(false);
    emit captionChanged(QStringLiteral("quilso: ") + fileName);
    return true;
}

bool ProjectDocument::loadTemplate() {
    if (!read(defaultProjectPath_)) return false;
    fileName_.clear();
    saveDialogFileName_.clear();
    setModified(false);
    emit captionChanged(QStringLiteral("quilso: [neues Projekt]"));
    return true;
}

bool ProjectDocument::confirmDiscard() {
    if (!isModified()) return true;
    switch (MessageBoxes::question(dialogParent_, QStringLiteral("Bestätigung"),
                                   QStringLiteral("Projekt vorher speichern?"))) {
    case MessageBoxes::Yes:
        // A cancelled or failed save must not let the command drop the unsaved changes.
        save();
        return !isModified();
    case MessageBoxes::No:
        return true;
    case MessageBoxes::Cancel:
        break;
    }
    return false;
}

bool ProjectDocument::mayReplaceProject() {
    if (!commitPendingEdit()) return false;
    return confirmDiscard();
}

void ProjectDocument::newProject() {
    if (!mayReplaceProject()) return;
    loadTemplate();
}

void ProjectDocument::openFile(const QString& fileName) {
    if (!mayReplaceProject()) return;
    openDialogFileName_ = fileName;
    load(fileName);
}

void ProjectDocument::open() {
    if (!mayReplaceProject()) return;
    const QString chosen = FileDialogs::getOpenFileName(
        dialogParent_, {QStringLiteral("Projekt öffnen"), QStringLiteral("javascript (*.js)"),
                        QStringLiteral("js"), openDialogFileName_});
    if (chosen.isEmpty()) return;
    openDialogFileName_ = chosen;
    load(chosen);
}

bool ProjectDocument::save() {
    if (fileName_.isEmpty()) return saveAs();
    if (!commitPendingEdit()) return false;
    if (!write(fileName_)) return false;
    setModified(false);
    return true;
}

bool ProjectDocument::saveAs() {
    if (!commitPendingEdit()) return false;
    const QString chosen = FileDialogs::getSaveFileName(
        dialogParent_, {QStringLiteral("Projekt speichern unter"), QStringLiteral("javascript (*.js)"),
                        QStringLiteral("js"), saveDialogFileName_});
    if (chosen.isEmpty()) return false;
    const QString target = QFileInfo(chosen).absoluteFilePath();
    if (!write(target)) return false;
    fileName_ = target;
    saveDialogFileName_ = target;
    openDialogFileName_ = target;
    setModified(false);
    emit captionChanged(QStringLiteral("quilso: ") + target);
    return true;
}

#include "project_document.h"

#include "edit_state.h"
#include "file_io.h"
#include "reader.h"
#include "site_tree_model.h"
#include "text_convert.h"
#include "ui_seams.h"
#include "writer.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>

using quilso::MenuKind;
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

const QString kOutOfMemory = QStringLiteral("Nicht genügend Arbeitsspeicher.");

} // namespace

QString WriteFailureText(const QString& path, const std::string& coreReason) {
    return QStringLiteral("Die Datei „%1“ kann nicht gespeichert werden:\n%2")
        .arg(path, writeReason(path, coreReason));
}

// Passes what the reader sets to the window's observer and brackets the tree's rebuild for the
// views; a read that fails half-way still ends the bracket.
class ProjectDocument::TreeRebuild : public quilso::ReadObserver {
public:
    TreeRebuild(SiteTreeModel* model, quilso::ReadObserver* next) : model_(model), next_(next) {}
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
        rebuilding_ = true;
        model_->beginRebuild();
    }
    void treeRebuilt() override {
        model_->endRebuild();
        rebuilding_ = false;
        next_->treeRebuilt();
    }

private:
    SiteTreeModel* model_;
    quilso::ReadObserver* next_;
    bool rebuilding_ = false;
};

ProjectDocument::ProjectDocument(const QString& defaultProjectPath, const QString& functionsPath,
                                 QObject* parent)
    : QObject(parent), treeModel_(new SiteTreeModel(&project_.tree, this)), editState_(new EditState(this)),
      defaultProjectPath_(defaultProjectPath), functionsPath_(functionsPath) {
    program_.edition = "Standard";
    program_.version = QUILSO_VERSION;
    connect(editState_, &EditState::projectModifiedChanged, this, &ProjectDocument::modifiedChanged);
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

ProjectDocument::~ProjectDocument() = default;

bool ProjectDocument::isModified() const {
    return editState_->projectModified();
}

void ProjectDocument::setModified(bool modified) {
    editState_->setProjectModified(modified);
}

// ---------------------------------------------------------------------------------------------
// Style records and options

const quilso::MenuStyle& ProjectDocument::style(MenuKind kind) const {
    return project_.params.css[kind];
}

bool ProjectDocument::editStyle(MenuKind kind, const char* label, const StyleChange& change) {
    (void)label; // names the step once there is an undo history
    quilso::MenuStyle& record = project_.params.css[kind];
    const quilso::MenuStyle before = record;
    change(record);
    // Every stored change marks the project, even one that stores what was there already.
    markModified();
    if (record == before) return false;
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
    setModified(true);
}

void ProjectDocument::restoreStyle(MenuKind kind, const quilso::MenuStyle& record) {
    quilso::MenuStyle& stored = project_.params.css[kind];
    if (stored == record) return;
    stored = record;
    emit styleChanged(kind);
    emit styleRestored(kind);
}

void ProjectDocument::setTagOption(bool isTag) {
    project_.params.options.isTag = isTag;
    markModified();
    emit optionsChanged();
}

// ---------------------------------------------------------------------------------------------
// Site tree

SiteNode* ProjectDocument::insertEntry(SiteNode* parent, int row, SiteEntry entry) {
    SiteNode* node = treeModel_->insertEntry(parent, row, std::move(entry));
    markModified();
    return node;
}

void ProjectDocument::removeEntries(const std::vector<SiteNode*>& siblings) {
    if (siblings.empty()) return;
    treeModel_->removeSiblings(siblings);
    markModified();
}

bool ProjectDocument::moveEntriesUp(const std::vector<SiteNode*>& siblings) {
    if (siblings.empty() || !siblings.front()->previousSibling()) return false;
    SiteNode* parent = siblings.front()->parent();
    std::vector<SiteNode*> order = parent->children();
    // Each entry, first to last, swaps with the one before it: a run moves up as a block.
    for (SiteNode* node : siblings) {
        const auto at = std::size_t(node->row());
        std::swap(order[at], order[at - 1]);
    }
    treeModel_->reorder(parent, order);
    markModified();
    return true;
}

bool ProjectDocument::moveEntriesDown(const std::vector<SiteNode*>& siblings) {
    if (siblings.empty() || !siblings.back()->nextSibling()) return false;
    SiteNode* parent = siblings.front()->parent();
    std::vector<SiteNode*> order = parent->children();
    // Last to first: a run moves down as a block.
    for (std::size_t i = siblings.size(); i-- > 0;) {
        const auto at = std::size_t(siblings[i]->row());
        std::swap(order[at], order[at + 1]);
    }
    treeModel_->reorder(parent, order);
    markModified();
    return true;
}

bool ProjectDocument::indentEntries(const std::vector<SiteNode*>& siblings) {
    if (siblings.empty()) return false;
    SiteNode* target = siblings.front()->previousSibling();
    if (!target) return false;
    treeModel_->moveSiblings(siblings, target, -1);
    markModified();
    return true;
}

bool ProjectDocument::outdentEntries(const std::vector<SiteNode*>& siblings) {
    if (siblings.empty()) return false;
    SiteNode* parent = siblings.front()->parent();
    if (parent->isRoot()) return false;
    treeModel_->moveSiblings(siblings, parent->parent(), parent->row() + 1);
    markModified();
    return true;
}

bool ProjectDocument::moveEntriesTo(const std::vector<SiteNode*>& siblings, SiteNode* newParent, int row) {
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
    treeModel_->moveSiblings(siblings, newParent, row);
    markModified();
    return true;
}

bool ProjectDocument::setEntryText(SiteNode* node, std::string text, bool byUser) {
    if (text == node->entry.text) return false;
    node->entry.text = std::move(text);
    treeModel_->entryChanged(node);
    if (byUser) markModified();
    return true;
}

bool ProjectDocument::setEntryFile(SiteNode* node, std::string file, bool byUser) {
    if (file == node->entry.file) return false;
    node->entry.file = std::move(file);
    treeModel_->entryChanged(node);
    if (byUser) markModified();
    return true;
}

void ProjectDocument::replaceTree(quilso::SiteTree& tree) {
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
    TreeRebuild observer(treeModel_, readObserver_ ? readObserver_ : &none);
    try {
        quilso::ReadProjectFile(toFsName(fileName), project_, observer);
    } catch (const std::bad_alloc&) {
        return refuse(kOutOfMemory);
    } catch (const quilso::FileError& e) {
        MessageBoxes::error(dialogParent_, QStringLiteral("Die Datei „%1“ kann nicht gelesen werden:\n%2")
                                               .arg(fileName, readReason(fileName, e.reason())));
        return false;
    } catch (const std::exception& e) {
        MessageBoxes::error(dialogParent_, QStringLiteral("Die Datei „%1“ kann nicht gelesen werden:\n%2")
                                               .arg(fileName, QString::fromLocal8Bit(e.what())));
        return false;
    }
    emit projectRead();
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

void ProjectDocument::newProject() {
    if (!commitPendingEdit()) return;
    leaveField();
    if (!confirmDiscard()) return;
    loadTemplate();
}

void ProjectDocument::open() {
    if (!commitPendingEdit()) return;
    leaveField();
    if (!confirmDiscard()) return;
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
    leaveField();
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
    leaveField();
    const QString target = QFileInfo(chosen).absoluteFilePath();
    if (!write(target)) return false;
    fileName_ = target;
    saveDialogFileName_ = target;
    openDialogFileName_ = target;
    setModified(false);
    emit captionChanged(QStringLiteral("quilso: ") + target);
    return true;
}

// "Bearbeiten › Stilvorlagen...": the ready-made looks and the user's own, each as a picture of
// its three menus drawn from its own records. Choosing one tries it on the project (the panels
// and an open preview show it at once) without a step in the history; "Übernehmen" makes it
// one step, Cancel puts the project's own records back. The user's looks can be renamed and
// removed here.
#pragma once

#include "looks.h"

#include <QDialog>
#include <QImage>
#include <QString>

#include <functional>
#include <vector>

class ContrastLabel;
class ProjectDocument;
class QLabel;
class QListWidget;
class QPushButton;

// The picture of a look: per menu a row of sample items in the states normal, current page and
// hover/focus (with a focus ring), in the colours, borders, weight and decoration the records
// set; a vertical main menu (no float) is drawn as a column.
QImage DrawLookPicture(const quilso::MenuStyle (&css)[quilso::MenuKindCount]);

// The message for a name the shipped looks use already.
QString BuiltInNameText(const QString& name);
// The undo step's name for applying the look `name`.
QString LookStepName(const QString& name);

class StyleGalleryDialog : public QDialog {
    Q_OBJECT
public:
    // `builtInDir`: the shipped looks; `userDir`: the user's. `showPreview` opens the preview.
    StyleGalleryDialog(ProjectDocument* document, QString builtInDir, QString userDir,
                       std::function<void()> showPreview, QWidget* parent = nullptr);

    // The looks in list order, as last read from the folders.
    const std::vector<quilso::Look>& looks() const { return looks_; }
    // Selects the look of that name, which tries it on; false when there is none.
    bool chooseLook(const QString& name);

    void accept() override;
    void reject() override;

private:
    void reload(const QString& select);
    void lookChosen();
    void tryOn(const quilso::Look* look);
    void renameLook();
    void removeLook();
    const quilso::Look* chosenLook() const;

    ProjectDocument* document_;
    QString builtInDir_;
    QString userDir_;
    std::vector<quilso::Look> looks_;
    // The project's records when the gallery opened, shown again when no look is tried on.
    quilso::MenuStyle original_[quilso::MenuKindCount];
    // The look tried on now; nullptr while the project shows its own records.
    const quilso::Look* tried_ = nullptr;
    QListWidget* list_;
    QLabel* picture_;
    QLabel* problem_;
    std::vector<ContrastLabel*> contrasts_;
    QPushButton* renameButton_;
    QPushButton* removeButton_;
    QPushButton* applyButton_;
};

// "Bearbeiten › Stilvorlagen...".
void ShowStyleGallery(ProjectDocument* document, const QString& dataDirectory,
                      std::function<void()> showPreview, QWidget* parent);
// "Bearbeiten › Als Stilvorlage speichern...": asks for a name and stores the project's three
// menu styles as the user's look; true when it was stored.
bool SaveProjectAsLook(ProjectDocument* document, const QString& builtInDir, const QString& userDir,
                       QWidget* parent);

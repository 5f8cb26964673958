#include "style_gallery_dialog.h"

#include "contrast.h"
#include "contrast_label.h"
#include "file_io.h"
#include "project_document.h"
#include "ui_seams.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

using quilso::Look;
using quilso::MenuKind;
using quilso::MenuStyle;

namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QColor colourOf(const std::string& hex) {
    return QColor(QLatin1Char('#') + QString::fromStdString(hex));
}

constexpr const char* SampleTexts[quilso::MenuStateCount] = {"Start", "Aktuell", "Fokus"};
constexpr int ItemWidth = 84, ItemHeight = 24, Gap = 6, LabelWidth = 120;

void drawItem(QPainter& painter, const MenuStyle& style, quilso::MenuState state, const MenuStyle* outer,
              QRect box) {
    const quilso::MenuContrast contrast =
        outer ? quilso::NestedSubContrastOf(style, *outer, state) : quilso::ContrastOf(style, state);
    painter.fillRect(box, colourOf(contrast.background));
    // The top side stands for the border; a side without a style or colour draws nothing.
    const auto side = quilso::SideTop;
    if (!style.borderStyle[side].empty() && style.borderStyle[side] != "none" &&
        quilso::ParseHexColor(style.borderColor[side])) {
        QPen pen(colourOf(style.borderColor[side]));
        pen.setWidth(
            std::clamp(QString::fromStdString(style.boxValue[quilso::BoxBorder][side]).toInt(), 1, 4));
        painter.setPen(pen);
        painter.drawRect(box.adjusted(0, 0, -1, -1));
    }
    QFont font = painter.font();
    font.setBold(style.fontWeight == "bold");
    font.setUnderline(style.textDecorationUnderline);
    font.setItalic(style.fontStyle == "italic");
    font.setCapitalization(style.fontVariant == "small-caps" ? QFont::SmallCaps : QFont::MixedCase);
    painter.setFont(font);
    painter.setPen(colourOf(contrast.color));
    painter.drawText(box, Qt::AlignCenter, QString::fromLatin1(SampleTexts[int(state)]));
    if (state == quilso::MenuState::Hover) {
        QPen ring(colourOf(contrast.color), 1, Qt::DotLine);
        painter.setPen(ring);
        painter.drawRect(box.adjusted(2, 2, -3, -3));
    }
}

} // namespace

QImage DrawLookPicture(const MenuStyle (&css)[quilso::MenuKindCount]) {
    const bool vertical = css[quilso::MenuMain].cssFloat == "none";
    const int rowHeight = ItemHeight + Gap;
    const int mainRows = vertical ? quilso::MenuStateCount : 1;
    const int width = LabelWidth + quilso::MenuStateCount * (ItemWidth + Gap) + Gap;
    const int height = (mainRows + 2) * rowHeight + Gap;
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    int y = Gap;
    for (int k = 0; k < quilso::MenuKindCount; ++k) {
        const std::string_view label = quilso::MenuLabelsUtf8[std::size_t(k)];
        painter.setPen(Qt::black);
        painter.setFont(QFont());
        painter.drawText(QRect(Gap, y, LabelWidth - Gap, ItemHeight), Qt::AlignVCenter | Qt::AlignLeft,
                         fromUtf8(label));
        // The sub menu is shown on the main menu's background, as it opens inside its item.
        const MenuStyle* outer = k == quilso::MenuSub ? &css[quilso::MenuMain] : nullptr;
        const bool column = vertical && k == quilso::MenuMain;
        for (int s = 0; s < quilso::MenuStateCount; ++s) {
            const QRect box = column ? QRect(LabelWidth, y + s * rowHeight, ItemWidth * 2, ItemHeight)
                                     : QRect(LabelWidth + s * (ItemWidth + Gap), y, ItemWidth, ItemHeight);
            drawItem(painter, css[k], quilso::MenuState(s), outer, box);
        }
        y += (column ? mainRows : 1) * rowHeight;
    }
    return image;
}

QString BuiltInNameText(const QString& name) {
    return QStringLiteral("\u201E%1\u201C ist der Name einer mitgelieferten Stilvorlage.").arg(name);
}

QString LookStepName(const QString& name) {
    return QStringLiteral("Stilvorlage \u201E%1\u201C").arg(name);
}

StyleGalleryDialog::StyleGalleryDialog(ProjectDocument* document, QString builtInDir, QString userDir,
                                       std::function<void()> showPreview, QWidget* parent)
    : QDialog(parent), document_(document), builtInDir_(std::move(builtInDir)), userDir_(std::move(userDir)) {
    std::copy(std::begin(document->project().params.css), std::end(document->project().params.css),
              std::begin(original_));
    setObjectName(QStringLiteral("StyleGalleryDialog"));
    setWindowTitle(QStringLiteral("Stilvorlagen"));

    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("LookList"));
    list_->setAccessibleName(QStringLiteral("Stilvorlagen"));
    list_->setViewMode(QListView::IconMode);
    list_->setResizeMode(QListView::Adjust);
    list_->setMovement(QListView::Static);
    list_->setWordWrap(true);
    const QImage sample = DrawLookPicture(quilso::ProjectParams{}.css);
    list_->setIconSize(sample.size() / 2);
    list_->setMinimumSize(3 * (sample.width() / 2 + 24), 2 * (sample.height() / 2 + 48));

    picture_ = new QLabel(this);
    picture_->setObjectName(QStringLiteral("LookPicture"));
    picture_->setMinimumSize(sample.size());
    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("LookProblem"));
    problem_->setWordWrap(true);
    problem_->setStyleSheet(QStringLiteral("color: #B00020; font-weight: bold;"));
    problem_->hide();

    // The contrast of every menu and state, with the panels' own labels and their warning.
    auto* grid = new QGridLayout;
    for (int s = 0; s < quilso::MenuStateCount; ++s) {
        const std::string_view state = quilso::MenuStateLabels[std::size_t(s)];
        grid->addWidget(new QLabel(QString::fromLatin1(state.data(), qsizetype(state.size())), this), 0,
                        s + 1);
    }
    for (int k = 0; k < quilso::MenuKindCount; ++k) {
        grid->addWidget(new QLabel(fromUtf8(quilso::MenuLabelsUtf8[std::size_t(k)]), this), k + 1, 0);
        for (int s = 0; s < quilso::MenuStateCount; ++s) {
            auto* label = new ContrastLabel(quilso::MenuState(s), this);
            label->setObjectName(QStringLiteral("LookContrast_%1_%2")
                                     .arg(fromUtf8(quilso::MenuIds[std::size_t(k)]),
                                          fromUtf8(quilso::MenuStateIds[std::size_t(s)])));
            grid->addWidget(label, k + 1, s + 1);
            contrasts_.push_back(label);
        }
    }

    renameButton_ = new QPushButton(QStringLiteral("&Umbenennen..."), this);
    renameButton_->setObjectName(QStringLiteral("RenameLookButton"));
    removeButton_ = new QPushButton(QStringLiteral("&Entfernen"), this);
    removeButton_->setObjectName(QStringLiteral("RemoveLookButton"));
    auto* previewButton = new QPushButton(QStringLiteral("&Vorschau"), this);
    previewButton->setObjectName(QStringLiteral("LookPreviewButton"));
    connect(renameButton_, &QPushButton::clicked, this, &StyleGalleryDialog::renameLook);
    connect(removeButton_, &QPushButton::clicked, this, &StyleGalleryDialog::removeLook);
    connect(previewButton, &QPushButton::clicked, this, [showPreview = std::move(showPreview)] {
        if (showPreview) showPreview();
    });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("LookButtons"));
    applyButton_ = buttons->addButton(QStringLiteral("\u00DCbernehmen"), QDialogButtonBox::AcceptRole);
    applyButton_->setObjectName(QStringLiteral("ApplyLookButton"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("CancelLookButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* side = new QVBoxLayout;
    side->addWidget(picture_);
    side->addWidget(problem_);
    side->addLayout(grid);
    side->addStretch();
    auto* ownButtons = new QHBoxLayout;
    ownButtons->addWidget(renameButton_);
    ownButtons->addWidget(removeButton_);
    ownButtons->addStretch();
    ownButtons->addWidget(previewButton);
    side->addLayout(ownButtons);
    auto* top = new QHBoxLayout;
    top->addWidget(list_, 1);
    top->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);

    connect(list_, &QListWidget::currentRowChanged, this, &StyleGalleryDialog::lookChosen);
    reload(QString());
}

void StyleGalleryDialog::reload(const QString& select) {
    // The list of looks is about to be replaced; the project shows its own records meanwhile.
    tryOn(nullptr);
    looks_ = quilso::ListLooks(builtInDir_.toStdString(), userDir_.toStdString());
    const QSignalBlocker blocker(list_);
    list_->clear();
    int selectRow = -1;
    for (const Look& look : looks_) {
        const QString name = QString::fromStdString(look.name);
        auto* item = new QListWidgetItem(name, list_);
        QString tip = look.builtIn ? QStringLiteral("Mitgeliefert") : QStringLiteral("Eigene Stilvorlage");
        if (!look.usable()) {
            item->setText(QStringLiteral("\u26A0 ") + name);
            item->setForeground(QColor(0xB0, 0x00, 0x20));
            tip += QStringLiteral(": nicht lesbar");
        } else {
            item->setIcon(QIcon(QPixmap::fromImage(DrawLookPicture(look.css))));
            if (quilso::LowestContrast(look.css) < quilso::MinimumContrast) {
                item->setText(QStringLiteral("\u26A0 ") + name);
                item->setForeground(QColor(0xB0, 0x00, 0x20));
                tip += QStringLiteral(": Kontrast unter 4,5:1");
            }
        }
        if (!look.builtIn) item->setText(item->text() + QStringLiteral(" (eigene)"));
        item->setToolTip(tip);
        item->setData(Qt::AccessibleDescriptionRole, tip);
        if (name == select) selectRow = list_->count() - 1;
    }
    list_->setCurrentRow(selectRow);
    lookChosen();
}

const Look* StyleGalleryDialog::chosenLook() const {
    const int row = list_->currentRow();
    return row >= 0 && row < int(looks_.size()) ? &looks_[std::size_t(row)] : nullptr;
}

bool StyleGalleryDialog::chooseLook(const QString& name) {
    for (std::size_t i = 0; i < looks_.size(); ++i) {
        if (QString::fromStdString(looks_[i].name) != name) continue;
        list_->setCurrentRow(int(i));
        return true;
    }
    return false;
}

void StyleGalleryDialog::lookChosen() {
    const Look* look = chosenLook();
    const bool usable = look && look->usable();
    renameButton_->setEnabled(look && !look->builtIn);
    removeButton_->setEnabled(look && !look->builtIn);
    applyButton_->setEnabled(usable);
    problem_->setVisible(look && !look->usable());
    if (look && !look->usable())
        problem_->setText(QStringLiteral("Nicht lesbar: ") + QString::fromStdString(look->error));
    picture_->setPixmap(usable ? QPixmap::fromImage(DrawLookPicture(look->css)) : QPixmap());
    // The labels go menu by menu, each with its states in order.
    for (std::size_t i = 0; i < contrasts_.size(); ++i) {
        contrasts_[i]->setVisible(usable);
        contrasts_[i]->setStyle(usable ? &look->css[i / quilso::MenuStateCount] : nullptr);
    }
    tryOn(usable ? look : nullptr);
}

void StyleGalleryDialog::tryOn(const Look* look) {
    // Shown as undo shows a record: the panels and the preview follow, nothing is marked.
    const MenuStyle* records = look ? look->css : original_;
    for (int k = 0; k < quilso::MenuKindCount; ++k)
        document_->restoreStyle(MenuKind(k), records[k]);
    tried_ = look;
}

void StyleGalleryDialog::accept() {
    const Look* chosen = tried_;
    tryOn(nullptr);
    if (chosen) document_->replaceStyles(LookStepName(QString::fromStdString(chosen->name)), chosen->css);
    QDialog::accept();
}

void StyleGalleryDialog::reject() {
    tryOn(nullptr);
    QDialog::reject();
}

void StyleGalleryDialog::renameLook() {
    const Look* look = chosenLook();
    if (!look || look->builtIn) return;
    const QString old = QString::fromStdString(look->name);
    QInputDialog ask(this);
    ask.setObjectName(QStringLiteral("RenameLookDialog"));
    ask.setWindowTitle(QStringLiteral("Stilvorlage umbenennen"));
    ask.setLabelText(QStringLiteral("Neuer Name:"));
    ask.setTextValue(old);
    if (ask.exec() != QDialog::Accepted || ask.textValue() == old) return;
    const QString name = ask.textValue().trimmed();
    const Look* same = quilso::FindLook(looks_, name.toStdString());
    if (same && same->builtIn) {
        MessageBoxes::error(this, BuiltInNameText(name));
        return;
    }
    try {
        quilso::RenameLook(userDir_.toStdString(), old.toStdString(), name.toStdString());
    } catch (const quilso::FileError& e) {
        MessageBoxes::error(this, QString::fromStdString(e.reason()));
        return;
    }
    // Chosen again under its new name, so that the step tried on is named after it too.
    reload(name);
}

void StyleGalleryDialog::removeLook() {
    const Look* look = chosenLook();
    if (!look || look->builtIn) return;
    const QString name = QString::fromStdString(look->name);
    if (MessageBoxes::question(this, QStringLiteral("Stilvorlage entfernen"),
                               QStringLiteral("Stilvorlage \u201E%1\u201C entfernen?").arg(name)) !=
        MessageBoxes::Yes)
        return;
    try {
        quilso::RemoveLook(userDir_.toStdString(), name.toStdString());
    } catch (const quilso::FileError& e) {
        MessageBoxes::error(this, QString::fromStdString(e.what()));
    }
    reload(QString());
}

void ShowStyleGallery(ProjectDocument* document, const QString& dataDirectory,
                      std::function<void()> showPreview, QWidget* parent) {
    StyleGalleryDialog dialog(document, dataDirectory + QStringLiteral("styles"),
                              QString::fromStdString(quilso::UserLooksDir().string()), std::move(showPreview),
                              parent);
    dialog.exec();
}

bool SaveProjectAsLook(ProjectDocument* document, const QString& builtInDir, const QString& userDir,
                       QWidget* parent) {
    QInputDialog ask(parent);
    ask.setObjectName(QStringLiteral("SaveLookDialog"));
    ask.setWindowTitle(QStringLiteral("Als Stilvorlage speichern"));
    ask.setLabelText(QStringLiteral("Name der Stilvorlage:"));
    if (ask.exec() != QDialog::Accepted) return false;
    const std::string name = ask.textValue().trimmed().toStdString();
    const std::string problem = quilso::LookNameProblem(name);
    if (!problem.empty()) {
        MessageBoxes::error(parent, QString::fromStdString(problem));
        return false;
    }
    if (quilso::FindLook(quilso::ListLooks(builtInDir.toStdString(), {}), name)) {
        MessageBoxes::error(parent, BuiltInNameText(QString::fromStdString(name)));
        return false;
    }
    const std::filesystem::path dir = userDir.toStdString();
    if (std::filesystem::exists(dir / (name + ".json")) &&
        MessageBoxes::question(parent, QStringLiteral("Als Stilvorlage speichern"),
                               QStringLiteral("Die Stilvorlage \u201E%1\u201C gibt es schon. Ersetzen?")
                                   .arg(QString::fromStdString(name))) != MessageBoxes::Yes)
        return false;
    try {
        quilso::SaveLook(dir, name, document->project().params);
    } catch (const quilso::FileError& e) {
        MessageBoxes::error(parent, QString::fromStdString(e.what()));
        return false;
    }
    return true;
}

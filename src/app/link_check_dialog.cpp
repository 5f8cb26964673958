#include "link_check_dialog.h"

#include "link_checker.h"
#include "main_window.h"
#include "project_document.h"
#include "site_page.h"
#include "site_text.h"
#include "site_tree_model.h"
#include "ui_seams.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace {
std::function<void(LinkCheckDialog&)>& runner() {
    static std::function<void(LinkCheckDialog&)> run = [](LinkCheckDialog& dialog) { dialog.exec(); };
    return run;
}

QString shown(const std::string& stored) {
    return QString::fromStdString(quilso::DisplayUtf8(stored));
}
} // namespace

LinkCheckDialog::LinkCheckDialog(std::vector<quilso::Finding> findings, const QString& siteDirectory,
                                 QWidget* parent)
    : QDialog(parent), findings_(std::move(findings)) {
    setObjectName(QStringLiteral("LinkCheckDialog"));
    setWindowTitle(QStringLiteral("Links prüfen"));
    lSummary = new QLabel(this);
    lSummary->setObjectName(QStringLiteral("lSummary"));
    lSummary->setWordWrap(true);
    const auto broken = std::count_if(findings_.begin(), findings_.end(), quilso::IsBrokenLink);
    lSummary->setText(
        findings_.empty()
            ? QStringLiteral("Keine Befunde im Ordner „%1“.").arg(siteDirectory)
            : QStringLiteral("%1 Befunde im Ordner „%2“, davon %3 fehlende Seiten oder unsichere "
                             "Adressen. Doppelklick wählt den Eintrag aus.")
                  .arg(findings_.size())
                  .arg(siteDirectory)
                  .arg(broken));

    lbFindings = new QListWidget(this);
    lbFindings->setObjectName(QStringLiteral("lbFindings"));
    const QIcon error = style()->standardIcon(QStyle::SP_MessageBoxCritical);
    const QIcon warning = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    for (const quilso::Finding& finding : findings_) {
        const QString where = shown(finding.where);
        auto* item = new QListWidgetItem(
            quilso::IsBrokenLink(finding) ? error : warning,
            where.isEmpty() ? shown(finding.message) : where + QStringLiteral(": ") + shown(finding.message),
            lbFindings);
        item->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(finding.entry));
    }
    connect(lbFindings, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { chooseRow(lbFindings->row(item)); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Schließen"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lSummary);
    layout->addWidget(lbFindings, 1);
    layout->addWidget(buttons);
    resize(640, 360);
}

void LinkCheckDialog::chooseRow(int row) {
    if (row < 0 || row >= static_cast<int>(findings_.size())) return;
    const long entry = findings_[static_cast<std::size_t>(row)].entry;
    if (entry < 0) return; // an unlinked page or a colour: nothing in the tree to select
    chosenEntry_ = entry;
    accept();
}

void LinkCheckDialog::setRunner(std::function<void(LinkCheckDialog&)> run) {
    runner() = run ? std::move(run) : [](LinkCheckDialog& dialog) { dialog.exec(); };
}

void LinkCheckDialog::run(LinkCheckDialog& dialog) {
    runner()(dialog);
}

quilso::SiteNode* EntryAt(quilso::SiteTree& tree, long index) {
    quilso::SiteNode* found = nullptr;
    long position = 0;
    tree.forEachPreorder([&](const quilso::SiteNode* node, int) {
        if (position++ == index) found = const_cast<quilso::SiteNode*>(node);
    });
    return found;
}

void ShowLinkCheck(MainWindow& window, const LinkChecker& checker) {
    if (!window.commitPendingEdit()) return;
    const QString directory = checker.siteDirectory();
    if (directory.isEmpty()) {
        MessageBoxes::information(&window, QStringLiteral("Das Projekt ist noch nicht gespeichert. Geprüft "
                                                          "wird der Ordner, in dem es liegt: speichern Sie "
                                                          "es zuerst im Ordner Ihrer Website."));
        return;
    }
    const QString projectFile = checker.projectFile();
    quilso::CheckOptions options;
    options.siteDir = QFile::encodeName(directory).toStdString();
    options.projectFile = QFile::encodeName(projectFile.isEmpty() ? directory : projectFile).toStdString();
    std::vector<quilso::Finding> findings;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    findings = quilso::CheckProject(window.document()->project(), options);
    QApplication::restoreOverrideCursor();
    if (projectFile.isEmpty())
        std::erase_if(findings,
                      [](const quilso::Finding& f) { return f.kind == quilso::FindingKind::MissingScript; });

    LinkCheckDialog dialog(std::move(findings), directory, &window);
    LinkCheckDialog::run(dialog);
    SiteTreeModel* model = window.document()->treeModel();
    if (quilso::SiteNode* node = EntryAt(*model->tree(), dialog.chosenEntry())) {
        window.sitePage()->selectNodes({node}, node);
        window.sitePage()->siteView()->scrollTo(model->indexOf(node));
    }
}

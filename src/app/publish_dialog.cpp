#include "publish_dialog.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace quilso;

PublishDialog::PublishDialog(const PublishReport& report, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("PublishDialog"));
    setWindowTitle(QStringLiteral("Veröffentlichen"));
    auto* layout = new QVBoxLayout(this);
    auto* total = new QLabel(summary(report), this);
    total->setObjectName(QStringLiteral("lSummary"));
    layout->addWidget(total);
    auto* pages = new QPlainTextEdit(this);
    pages->setObjectName(QStringLiteral("mPages"));
    pages->setReadOnly(true);
    pages->setLineWrapMode(QPlainTextEdit::NoWrap);
    QStringList lines;
    for (const PageReport& page : report.pages)
        lines << pageLine(page);
    pages->setPlainText(lines.join(QLatin1Char('\n')));
    layout->addWidget(pages);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    resize(560, 360);
}

QString PublishDialog::pageLine(const PageReport& page) {
    QString status;
    switch (page.status) {
    case PageStatus::Written:
        status = QStringLiteral("geschrieben");
        break;
    case PageStatus::Unchanged:
        status = QStringLiteral("unverändert");
        break;
    case PageStatus::Skipped:
        status = QStringLiteral("übersprungen");
        break;
    case PageStatus::Failed:
        status = QStringLiteral("fehlgeschlagen");
        break;
    }
    const QString detail = QString::fromUtf8(page.detail);
    QString reason;
    switch (page.reason) {
    case PageReason::None:
        break;
    case PageReason::NotFound:
        reason = QStringLiteral("nicht gefunden");
        break;
    case PageReason::Outside:
        reason = QStringLiteral("liegt außerhalb des Ordners");
        break;
    case PageReason::NoMarkers:
        reason = QStringLiteral("keine Markierungskommentare");
        break;
    case PageReason::UnclosedMarker:
        reason = QStringLiteral("„%1“ ohne Endmarkierung").arg(detail);
        break;
    case PageReason::NestedMarkers:
        reason = QStringLiteral("„%1“ innerhalb eines anderen Blocks").arg(detail);
        break;
    case PageReason::ReadError:
        reason = QStringLiteral("kann nicht gelesen werden: %1").arg(detail);
        break;
    case PageReason::WriteError:
        reason = QStringLiteral("kann nicht geschrieben werden: %1").arg(detail);
        break;
    case PageReason::ChangedMeanwhile:
        reason = QStringLiteral("während des Veröffentlichens geändert, nicht überschrieben");
        break;
    case PageReason::MisplacedMarker:
        reason = QStringLiteral("%1, nicht als Kommentar der Seite").arg(detail);
        break;
    }
    if (!page.inMenu)
        reason =
            QStringLiteral("in keinem Menü") + (reason.isEmpty() ? QString() : QStringLiteral("; ") + reason);
    QString line = status + QStringLiteral(": ") + QString::fromUtf8(page.page);
    if (!reason.isEmpty()) line += QStringLiteral(" (") + reason + QLatin1Char(')');
    return line;
}

QString PublishDialog::summary(const PublishReport& report) {
    return QStringLiteral("%1 Seiten: %2 geschrieben, %3 unverändert, %4 übersprungen, %5 fehlgeschlagen")
        .arg(report.pages.size())
        .arg(report.count(PageStatus::Written))
        .arg(report.count(PageStatus::Unchanged))
        .arg(report.count(PageStatus::Skipped))
        .arg(report.count(PageStatus::Failed));
}

PublishDialog* PublishAndReport(QWidget* parent, const Project& project, const QString& fileName) {
    const PublishReport report = PublishSite(project, QFile::encodeName(fileName).toStdString());
    auto* dialog = new PublishDialog(report, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
    return dialog;
}

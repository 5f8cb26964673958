#include "panel_util.h"

#include <algorithm>

#include "cp1252.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QAccessible>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QVBoxLayout>

#include <cmath>

MinimumLengthList::MinimumLengthList(int characters, QWidget* parent) : QComboBox(parent) {
    setMinimumContentsLength(characters);
    auto forget = [this] {
        widestItem_ = -1;
        updateGeometry();
    };
    connect(model(), &QAbstractItemModel::rowsInserted, this, forget);
    connect(model(), &QAbstractItemModel::rowsRemoved, this, forget);
    connect(model(), &QAbstractItemModel::dataChanged, this, forget);
    connect(model(), &QAbstractItemModel::modelReset, this, forget);
}

void MinimumLengthList::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) widestItem_ = -1;
    QComboBox::changeEvent(event);
}

int MinimumLengthList::widestItem() const {
    if (widestItem_ < 0) {
        // Fractional widths rounded up, and a pixel more: the stock list measuring its
        // contents lands there with a small font.
        const QFontMetricsF metrics(font());
        qreal widest = 0;
        for (int i = 0; i < count(); ++i)
            widest = std::max(widest, metrics.horizontalAdvance(itemText(i)));
        widestItem_ = int(std::ceil(widest)) + 1;
    }
    return widestItem_;
}

QSize MinimumLengthList::sizeHint() const {
    // The policy's rule: the characters' width plus room for an icon, whether or not an item has
    // one, and a line of text or an icon high, whichever is taller; the style adds its frame.
    const QFontMetrics metrics = fontMetrics();
    const QSize icon = iconSize();
    const int characters = minimumContentsLength() * metrics.horizontalAdvance(QLatin1Char('X'));
    QSize contents(std::max(characters, widestItem()) + icon.width() + 4,
                   std::max(int(std::ceil(QFontMetricsF(metrics).height())), 14) + 2);
    contents.setHeight(std::max(contents.height(), icon.height() + 2));
    if (!placeholderText().isEmpty())
        contents.setWidth(std::max(contents.width(), metrics.boundingRect(placeholderText()).width()));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    return style()->sizeFromContents(QStyle::CT_ComboBox, &option, contents, this);
}

QSize MinimumLengthList::minimumSizeHint() const {
    return sizeHint();
}

QComboBox* makeKeywordList(const char* name, const KeywordItems& items, int initial, QWidget* parent) {
    auto* list = new MinimumLengthList(10, parent);
    list->setObjectName(QLatin1String(name));
    for (const auto& item : items)
        list->addItem(item.first);
    list->setCurrentIndex(initial);
    return list;
}

int keywordIndex(const KeywordItems& items, std::string_view keyword) {
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].second == keyword) return int(i);
    return -1;
}

QGroupBox* makeGroup(const char* name, const QString& title, std::initializer_list<QWidget*> content,
                     QWidget* parent) {
    auto* group = new QGroupBox(title, parent);
    group->setObjectName(QLatin1String(name));
    auto* layout = new QVBoxLayout(group);
    layout->setContentsMargins(6, 4, 6, 6);
    layout->setSpacing(4);
    for (QWidget* widget : content)
        layout->addWidget(widget);
    return group;
}

QString fromModel(std::string_view cp1252) {
    return QString::fromStdString(quilso::Utf8FromCp1252(cp1252));
}

std::string toModel(const QString& text) {
    std::string bytes;
    for (char32_t ch : text.toUcs4())
        bytes.push_back(quilso::UnicodeToCp1252(ch).value_or('?'));
    return bytes;
}

bool dropNonCp1252(QString& text) {
    QString kept;
    kept.reserve(text.size());
    bool dropped = false;
    for (char32_t ch : text.toUcs4()) {
        if (quilso::UnicodeToCp1252(ch))
            kept.append(QString::fromUcs4(&ch, 1));
        else
            dropped = true;
    }
    if (dropped) text = kept;
    return dropped;
}

namespace {
QString plainCaption(QString text) {
    text.remove(u'&');
    text = text.trimmed();
    if (text.endsWith(u':')) text.chop(1);
    return text;
}

QString groupCaptionOf(const QWidget* widget, const QWidget* root) {
    for (const QWidget* up = widget->parentWidget(); up && up != root; up = up->parentWidget())
        if (auto* group = qobject_cast<const QGroupBox*>(up)) return plainCaption(group->title());
    return {};
}

QString labelOf(const QWidget* widget) {
    if (!widget->parentWidget()) return {};
    for (const QLabel* label : widget->parentWidget()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        if (label->buddy() == widget) return plainCaption(label->text());
    return {};
}
} // namespace

void OrderTabChain(QWidget* panel, const std::vector<QWidget*>& blocks) {
    // The panel's part of the window's Tab chain as it stands: the order the controls were made.
    std::vector<QWidget*> chain;
    for (QWidget* w = panel->nextInFocusChain(); w && w != panel; w = w->nextInFocusChain())
        if (panel->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy())
            chain.push_back(w);
    auto blockOf = [&blocks](const QWidget* w) {
        for (std::size_t i = 0; i < blocks.size(); ++i)
            if (blocks[i] == w || blocks[i]->isAncestorOf(w)) return i;
        return blocks.size();
    };
    std::stable_sort(chain.begin(), chain.end(),
                     [&](const QWidget* a, const QWidget* b) { return blockOf(a) < blockOf(b); });
    for (std::size_t i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

QString GroupCaption(const QWidget* control) {
    return groupCaptionOf(control, nullptr);
}

void NameUnnamedControls(QWidget* root) {
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(widget) || qobject_cast<QLineEdit*>(widget) ||
                             qobject_cast<QComboBox*>(widget) || qobject_cast<QAbstractItemView*>(widget);
        if (!control || !widget->accessibleName().isEmpty()) continue;
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
        const QString own = labelOf(widget);
        if (face && !face->text(QAccessible::Name).trimmed().isEmpty() && own.isEmpty()) continue;
        QString name = widget->toolTip();
        if (name.isEmpty()) {
            QStringList parts;
            if (const QString group = groupCaptionOf(widget, root); !group.isEmpty()) parts << group;
            if (!own.isEmpty())
                parts << own;
            else if (widget->parentWidget() && widget->parentWidget()->inherits("NumberUnitField"))
                parts << (qobject_cast<QLineEdit*>(widget) ? QStringLiteral("Zahl")
                                                           : QStringLiteral("Einheit"));
            else if (qobject_cast<QComboBox*>(widget))
                parts << QStringLiteral("Farbliste");
            name = parts.join(QStringLiteral(": "));
        }
        if (!name.isEmpty()) widget->setAccessibleName(name);
    }
}

#include "panel_util.h"

#include "cp1252.h"

#include <QComboBox>
#include <QGroupBox>
#include <QVBoxLayout>

QComboBox* makeKeywordList(const char* name, const KeywordItems& items, int initial, QWidget* parent) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QLatin1String(name));
    for (const auto& item : items)
        list->addItem(item.first);
    list->setCurrentIndex(initial);
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    list->setMinimumContentsLength(10);
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

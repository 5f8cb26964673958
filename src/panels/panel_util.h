// Small pieces the style panels share: keyword lists and the conversion between the model's
// Windows-1252 bytes and what the controls show.
#pragma once

#include <QString>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QComboBox;
class QGroupBox;
class QWidget;

// Items of a keyword list: German text shown -> keyword stored.
using KeywordItems = std::vector<std::pair<QString, std::string>>;

// A drop-down list named `name` with the items' texts, on item `initial` (-1: none).
QComboBox* makeKeywordList(const char* name, const KeywordItems& items, int initial, QWidget* parent);
// Position of `keyword` among the stored keywords, or -1.
int keywordIndex(const KeywordItems& items, std::string_view keyword);
// A group box named `name` with the caption `title` around `content` (one column).
QGroupBox* makeGroup(const char* name, const QString& title, std::initializer_list<QWidget*> content,
                     QWidget* parent);

QString fromModel(std::string_view cp1252);
// Characters that Windows-1252 cannot hold become '?', so the file never carries a broken byte.
std::string toModel(const QString& text);

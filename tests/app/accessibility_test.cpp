#include "app_test_support.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace {
bool isControl(const QWidget* widget) {
    return qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QLineEdit*>(widget) ||
           qobject_cast<const QComboBox*>(widget) || qobject_cast<const QAbstractItemView*>(widget);
}
} // namespace

// What a screen reader reads: every control on every tab has a name of its own or from its
// label; the tool bar counts on every tab.
TEST(Accessibility, EveryControlOnEveryTabHasAName) {
    AppFixture data;
    auto form = data.makeForm();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->sitePage()->selectNodes({form->document()->treeModel()->nodeOf({})->child(0)},
                                  form->document()->treeModel()->nodeOf({})->child(0));
    auto* pages = form->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    int controls = 0;
    QStringList unnamed;
    for (int tab = 0; tab < pages->count(); ++tab) {
        pages->setCurrentIndex(tab);
        QList<QWidget*> widgets = pages->widget(tab)->findChildren<QWidget*>();
        widgets += form->findChild<QWidget*>(QStringLiteral("ToolBar"))->findChildren<QWidget*>();
        for (QWidget* widget : widgets) {
            if (!isControl(widget)) continue;
            // The tree's hidden header and the tool bar's overflow button are the toolkit's own.
            if (widget->inherits("QHeaderView") || widget->inherits("QToolBarExtension")) continue;
            if (qobject_cast<QAbstractItemView*>(widget) && widget->window() != form.get()) continue;
            ++controls;
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
            if (!face || face->text(QAccessible::Name).trimmed().isEmpty())
                unnamed << pages->tabText(tab) + u'/' + widget->parentWidget()->objectName() + u'/' +
                               widget->objectName() + u'/' + widget->metaObject()->className();
        }
    }
    EXPECT_GT(controls, 250);
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.size() << " unnamed:\n" << unnamed.join(u'\n').toStdString();
}

// At the window's first and smallest size every closed list shows any of its items whole.
TEST(Layout, ListsShowTheirLongestItemAtTheSmallestWindowSize) {
    AppFixture data;
    auto form = data.makeForm();
    form->resize(780, 580);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    auto* pages = form->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    QStringList cut;
    int lists = 0;
    for (int tab = 0; tab < pages->count(); ++tab) {
        pages->setCurrentIndex(tab);
        for (auto* inner : pages->widget(tab)->findChildren<QTabWidget*>()) {
            for (int page = 0; page < inner->count(); ++page) {
                inner->setCurrentIndex(page);
                QCoreApplication::processEvents();
                for (QComboBox* list : inner->widget(page)->findChildren<QComboBox*>()) {
                    if (list->isEditable() || !list->isVisibleTo(inner)) continue; // typed text scrolls
                    ++lists;
                    QStyleOptionComboBox option;
                    option.initFrom(list);
                    const int room =
                        list->style()
                            ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list)
                            .width();
                    for (int i = 0; i < list->count(); ++i) {
                        const int needed = list->fontMetrics().horizontalAdvance(list->itemText(i)) +
                                           (list->itemIcon(i).isNull() ? 0 : list->iconSize().width() + 4);
                        if (needed > room)
                            cut << QStringLiteral("%1/%2: \"%3\" needs %4, has %5")
                                       .arg(pages->tabText(tab), list->objectName(), list->itemText(i))
                                       .arg(needed)
                                       .arg(room);
                    }
                }
            }
        }
    }
    EXPECT_GT(lists, 50);
    EXPECT_LE(form->minimumSizeHint().width(), 780);
    EXPECT_LE(form->minimumSizeHint().height(), 580);
    EXPECT_TRUE(cut.isEmpty()) << cut.join(u'\n').toStdString();
}

#include "app_test_support.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
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
    form->selectNodes({form->project().tree.root()->child(0)}, form->project().tree.root()->child(0));
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

#include "edit_state.h"
#include "number_unit_field.h"
#include "panel_test_support.h"

#include <QVBoxLayout>

#include <memory>

class NumberUnitFieldTest : public QObject {
    Q_OBJECT

    QWidget* window_ = nullptr;
    EditState* state_ = nullptr;
    NumberUnitField* field_ = nullptr;
    QLineEdit* outside_ = nullptr;
    quilso::ProjectParams params_;
    std::unique_ptr<ParamsEditor> editor_;
    std::string& value() { return params_.css[quilso::MenuMain].fontSizeValue; }
    std::string& unit() { return params_.css[quilso::MenuMain].fontSizeUnit; }

    void make(NumberKeys keys) {
        delete window_;
        value() = "7";
        unit() = "medium";
        window_ = new QWidget;
        state_ = new EditState(window_);
        field_ = new NumberUnitField("eSize", "cbSize", UnitItems({{"klein", "small"}, {"mittel", "medium"}}),
                                     keys, 1, window_);
        field_->setEditState(state_);
        editor_ = std::make_unique<ParamsEditor>(&params_, state_);
        field_->bind(editor_.get(), quilso::MenuMain, &quilso::MenuStyle::fontSizeValue,
                     &quilso::MenuStyle::fontSizeUnit);
        outside_ = new QLineEdit(window_);
        auto* layout = new QVBoxLayout(window_);
        layout->addWidget(field_);
        layout->addWidget(outside_);
        window_->show();
        window_->activateWindow();
        focusTo(outside_);
    }
    QLineEdit* number() { return control<QLineEdit>(window_, "eSize"); }
    QComboBox* list() { return control<QComboBox>(window_, "cbSize"); }
    QString typed(const QString& keys) {
        typeInto(number(), keys);
        return number()->text();
    }

private slots:
    void cleanup() {
        delete window_;
        window_ = nullptr;
    }

    void unitItemsFollowTheUnitTable() {
        const auto items = UnitItems({{"normal", "normal"}}, 8);
        QCOMPARE(items.size(), std::size_t(9));
        QCOMPARE(items[0].stored, std::string("normal"));
        QVERIFY(!items[0].needsNumber);
        QCOMPARE(items[1].text, QString("bezogen auf Schriftgröße (em)"));
        QCOMPARE(items[3].stored, std::string("px"));
        QCOMPARE(items[8].stored, std::string("pc")); // no percent item with eight units
        QCOMPARE(UnitItems({}).back().text, QString("Prozent (%)"));
    }

    void keywordHidesTheNumberAndKeepsIt() {
        make(NumberKeys::Decimal);
        QCOMPARE(list()->count(), 11);
        choose(list(), 4); // Pixel (px)
        QCOMPARE(unit(), std::string("px"));
        QVERIFY(number()->isVisible());
        QVERIFY(state_->projectModified());
        typeInto(number(), "12");
        focusTo(list());
        QCOMPARE(value(), std::string("12"));
        choose(list(), 0);
        QCOMPARE(unit(), std::string("small"));
        QVERIFY(!number()->isVisible());
        QCOMPARE(value(), std::string("12"));
    }

    void commitProtocol() {
        make(NumberKeys::Decimal);
        typeInto(number(), ",5");
        QVERIFY(state_->editPending);
        focusTo(outside_);
        QCOMPARE(value(), std::string("0.5")); // CSS knows no decimal comma
        QCOMPARE(number()->text(), QString("0.5"));
        QVERIFY(state_->editValid);
        QVERIFY(!state_->editPending);
        typeInto(number(), "12.");
        focusTo(outside_);
        QCOMPARE(value(), std::string("12.0"));

        // Emptied field: beep, old text back, nothing stored, the command is refused once.
        focusTo(number());
        number()->selectAll();
        QTest::keyClick(number(), Qt::Key_Backspace);
        focusTo(outside_);
        QCOMPARE(state_->beepCount(), 1);
        QVERIFY(!state_->editValid);
        QCOMPARE(number()->text(), QString("12.0"));
        QCOMPARE(value(), std::string("12.0"));
    }

    void separatorRulesOfTheKeyFilters() {
        make(NumberKeys::Decimal);
        QCOMPARE(typed("1.2,3-x4"), QString("1.234"));
        QCOMPARE(typed("-1,5"), QString("1,5"));

        make(NumberKeys::DecimalPoint);
        QCOMPARE(typed("1,2.3"), QString("1.23"));

        make(NumberKeys::SignedDecimal);
        QCOMPARE(typed("-1,5.5-"), QString("-1,55"));
        // With the whole "-1,55" selected the caret counts as at the start: the digit is dropped.
        QCOMPARE(typed("5"), QString("-1,55"));
        number()->clear();
        QCOMPARE(typed("5"), QString("5"));
        QTest::keyClick(number(), Qt::Key_Home);
        QTest::keyClicks(number(), "-");
        QCOMPARE(number()->text(), QString("-5"));
        // Nothing can go in front of the minus, not even a second one; backspace still works.
        QTest::keyClick(number(), Qt::Key_Home);
        QTest::keyClicks(number(), "-3");
        QCOMPARE(number()->text(), QString("-5"));
        QTest::keyClick(number(), Qt::Key_End);
        QTest::keyClick(number(), Qt::Key_Backspace);
        QCOMPARE(number()->text(), QString("-"));

        make(NumberKeys::None);
        QCOMPARE(typed("a-1"), QString("a-1"));
    }

    void pastedTextFollowsTheFilter() {
        make(NumberKeys::Decimal);
        focusTo(number());
        number()->selectAll();
        number()->insert("-3");
        QCOMPARE(number()->text(), QString("0"));
        QCOMPARE(state_->beepCount(), 1);
        number()->insert("1.5");
        QCOMPARE(number()->text(), QString("01.5"));
    }

    void readerShowsWithoutStoring() {
        make(NumberKeys::Decimal);
        field_->showItem(field_->indexOfStored("em"));
        field_->setNumberText("1.5");
        QCOMPARE(list()->currentIndex(), 2);
        QVERIFY(number()->isVisible());
        QCOMPARE(number()->text(), QString("1.5"));
        field_->showItem(0);
        QVERIFY(!number()->isVisible());
        QCOMPARE(unit(), std::string("medium"));
        QCOMPARE(value(), std::string("7"));
        QVERIFY(!state_->projectModified());
    }

    void pendingCanBeSwitchedOff() {
        make(NumberKeys::None);
        field_->setRaisesPending(false);
        typeInto(number(), "3");
        QVERIFY(!state_->editPending);
        focusTo(outside_);
        QCOMPARE(value(), std::string("3"));
    }
};

QTEST_MAIN(NumberUnitFieldTest)
#include "number_unit_field_test.moc"

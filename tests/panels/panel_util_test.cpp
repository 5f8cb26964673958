#include "panel_test_support.h"
#include "panel_util.h"

#include <QHBoxLayout>
#include <QPixmap>

// The lists sized by character count must take exactly the room the stock size policy gives them,
// or every panel's layout would shift.
class PanelUtilTest : public QObject {
    Q_OBJECT

    static void fill(QComboBox* list, bool icons) {
        QPixmap swatch(14, 14);
        swatch.fill(Qt::red);
        for (const char* text :
             {"kurz", "ein recht langer Eintrag, länger als die Mindestbreite", "vererbt"}) {
            if (icons)
                list->addItem(QIcon(swatch), QString::fromUtf8(text));
            else
                list->addItem(QString::fromUtf8(text));
        }
    }

private slots:
    void sizesMatchTheStockPolicy_data() {
        QTest::addColumn<int>("characters");
        QTest::addColumn<bool>("editable");
        QTest::addColumn<bool>("icons");
        QTest::addColumn<int>("pointSize");
        QTest::newRow("keywords") << 10 << false << false << 0;
        QTest::newRow("units") << 12 << false << false << 0;
        QTest::newRow("colours with icons") << 11 << false << true << 0;
        QTest::newRow("editable family") << 16 << true << false << 0;
        QTest::newRow("large font") << 12 << false << false << 20;
        QTest::newRow("small font, icons") << 3 << false << true << 6;
    }
    void sizesMatchTheStockPolicy() {
        QFETCH(int, characters);
        QFETCH(bool, editable);
        QFETCH(bool, icons);
        QFETCH(int, pointSize);
        QWidget window;
        auto* stock = new QComboBox(&window);
        stock->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        stock->setMinimumContentsLength(characters);
        QComboBox* ours = new MinimumLengthList(characters, &window);
        for (QComboBox* list : {stock, ours}) {
            list->setEditable(editable);
            fill(list, icons);
            list->setCurrentIndex(1);
            if (pointSize) {
                QFont font = list->font();
                font.setPointSize(pointSize);
                list->setFont(font);
            }
        }
        auto* row = new QHBoxLayout(&window);
        row->addWidget(stock);
        row->addWidget(ours);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(ours->sizeHint(), stock->sizeHint());
        QCOMPARE(ours->minimumSizeHint(), stock->minimumSizeHint());
        QCOMPARE(ours->size(), stock->size());

        // A later font change is followed, as the stock list follows it.
        for (QComboBox* list : {stock, ours}) {
            QFont font = list->font();
            font.setPointSize(font.pointSize() + 5);
            list->setFont(font);
        }
        QCOMPARE(ours->sizeHint(), stock->sizeHint());
        QCOMPARE(ours->minimumContentsLength(), characters);
    }
};

QTEST_MAIN(PanelUtilTest)
#include "panel_util_test.moc"

#include "panel_test_support.h"
#include "panel_util.h"

#include <QHBoxLayout>
#include <QPixmap>

// The lists sized by character count take the room the stock size policy gives them, widened
// to their widest item so that a closed list never cuts its text.
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
        auto* whole = new QComboBox(&window);
        whole->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        QComboBox* ours = new MinimumLengthList(characters, &window);
        for (QComboBox* list : {stock, whole, ours}) {
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
        row->addWidget(whole);
        row->addWidget(ours);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto check = [&] {
            const int wider = std::max(stock->sizeHint().width(), whole->sizeHint().width());
            QCOMPARE(ours->sizeHint().height(), stock->sizeHint().height());
            QVERIFY2(ours->sizeHint().width() >= wider,
                     qPrintable(QStringLiteral("%1 < %2").arg(ours->sizeHint().width()).arg(wider)));
            QCOMPARE(ours->minimumSizeHint(), ours->sizeHint());
        };
        check();
        QCOMPARE(ours->size(), ours->sizeHint());

        // A later font change and a new longest item are followed.
        for (QComboBox* list : {stock, whole, ours}) {
            QFont font = list->font();
            font.setPointSize(font.pointSize() + 5);
            list->setFont(font);
        }
        check();
        for (QComboBox* list : {stock, whole, ours})
            list->addItem(
                QStringLiteral("ein noch viel längerer Eintrag, der die Liste breiter machen muss"));
        check();
        QCOMPARE(ours->minimumContentsLength(), characters);
    }
};

QTEST_MAIN(PanelUtilTest)
#include "panel_util_test.moc"

#include "ArchiveFrameBuilder.h"
#include "ArchiveModel.h"
#include "ArchiveTestData.h"
#include "ChildLookup.h"
#include "DeviceTestBench.h"
#include "MainWindow.h"
#include "MenuArchiveToResults.h"
#include "MultiSortFilterProxyModel.h"
#include "QuestionAnswers.h"
#include "ResultsModel.h"
#include "TabArchive.h"
#include "TabConfiguration.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

using namespace ArchiveTestData;

namespace {

QStringList repeated(const QString& text, int count)
{
    QStringList texts;
    for (int i = 0; i < count; ++i)
        texts << text;
    return texts;
}

QList<double> references(ResultsModel& results)
{
    QList<double> values;
    for (int row = 0; row < results.rowCount(); ++row)
        values << results.record(row)->reference;
    return values;
}

// The archive page with its panel open over it, answering the replace question with `replace`.
struct OpenPanel
{
    DeviceTestBench bench{0};
    TabArchive page;
    QStringList asked;
    bool replace = true;

    explicit OpenPanel(const QVector<ArchiveRecord>& frames)
    {
        bench.device().archiveModel()->replaceRecords(frames);
        page.resize(1000, 700);
        page.show();
        answerQuestions([this](const QString& text) {
            asked << text;
            return replace;
        });
        page.moveToResults();
    }
    ~OpenPanel() { answerQuestions(nullptr); }

    MenuArchiveToResults* panel() const { return page.findChild<MenuArchiveToResults*>(); }
    QComboBox* combo(const char* name) const { return requireChild<QComboBox>(panel(), name); }
    QTableView* table() const { return requireChild<QTableView>(panel(), "tableView"); }
    void click(const char* name) const { requireChild<QPushButton>(panel(), name)->click(); }
    ResultsModel& results() { return *bench.device().resultsModel(); }
};

}  // namespace

class TestArchivePanel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepareWithChoiceLists(); }

    void filtersBySerialHartAndErrorCode()
    {
        OpenPanel p(mixedRecords(20));
        QVERIFY(p.panel() && p.panel()->isVisible());
        QCOMPARE(p.panel()->geometry(), p.page.rect());
        p.page.moveToResults();
        QCOMPARE(p.page.findChildren<MenuArchiveToResults*>().size(), 1);
        p.page.resize(1100, 750);
        QCOMPARE(p.panel()->geometry(), p.page.rect());

        QCOMPARE(archiveFilterProxy->rowCount(), 18);
        QVERIFY(!column(*archiveFilterProxy, 11).contains("3"));
        p.combo("comboBox_allowErrorCode")->setCurrentText("Да");
        QCOMPARE(archiveFilterProxy->rowCount(), 20);

        QComboBox* serials = p.combo("comboBox_deviceSerialNum");
        QCOMPARE(QStringList({serials->itemText(0), serials->itemText(1), serials->itemText(2)}),
                 QStringList({"*", "00123", "45678"}));
        QCOMPARE(serials->count(), 3);
        serials->setCurrentText("00123");
        QCOMPARE(column(*archiveFilterProxy, 4), repeated("00123", 15));

        serials->setCurrentIndex(0);
        QComboBox* hart = p.combo("comboBox_hartState");
        hart->setCurrentText("Да");
        QCOMPARE(column(*archiveFilterProxy, 12), repeated("Да", 7));
        hart->setCurrentText("Нет");
        QCOMPARE(column(*archiveFilterProxy, 12), repeated("Нет", 13));

        p.click("pushButton_close");
        QVERIFY(!archiveToResultsMenuShown);
        QTRY_VERIFY(!p.panel());
        QVERIFY(!archiveFilterProxy);
    }

    void movesFollowTheTableAndAskFirst()
    {
        OpenPanel p(mixedRecords(200));
        p.click("pushButton_moveSelected");
        QCOMPARE(p.bench.popUps(), QStringList{"Кадры архива не выделены!"});
        QVERIFY(p.panel());

        // Dates sort as time (the frames span two months), not as their day-first text.
        p.table()->sortByColumn(1, Qt::DescendingOrder);
        QList<int> frameNumbers;
        for (const QString& text : column(*archiveFilterProxy, 0))
            frameNumbers << text.toInt();
        QVERIFY(std::is_sorted(frameNumbers.crbegin(), frameNumbers.crend()));
        QList<double> shownOrder;
        for (const QString& text : column(*archiveFilterProxy, 5))
            shownOrder << text.toDouble();
        p.click("pushButton_move");
        QVERIFY(p.asked.isEmpty());
        QCOMPARE(references(p.results()), shownOrder);
        QTRY_VERIFY(!p.panel());

        p.page.moveToResults();
        QItemSelectionModel* selection = p.table()->selectionModel();
        const auto pick = [&](int row) {
            selection->select(archiveFilterProxy->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        };
        pick(4);
        pick(1);
        pick(4);
        const QList<double> before = references(p.results());
        p.replace = false;
        p.click("pushButton_moveSelected");
        QCOMPARE(p.asked, QStringList{"Результаты уже содержат точки. Заменить их кадрами архива?"});
        QCOMPARE(references(p.results()), before);
        QVERIFY(p.panel());

        p.replace = true;
        p.click("pushButton_moveSelected");
        QCOMPARE(references(p.results()), QList<double>({archiveFilterProxy->index(1, 5).data().toDouble(),
                                                          archiveFilterProxy->index(4, 5).data().toDouble()}));
    }

    void nothingShownOrTooManyIsRefused()
    {
        QVector<ArchiveRecord> failed;
        for (int i = 0; i < 3; ++i)
            failed << record(ArchiveFrameBuilder::withErrorCode(ArchiveFrameBuilder::mixed(i), 5), i);
        {
            OpenPanel p(failed);
            QCOMPARE(archiveFilterProxy->rowCount(), 0);
            p.click("pushButton_move");
            QCOMPARE(p.bench.popUps(), QStringList{"Список кадров пуст!"});
            QVERIFY(p.results().isEmpty());
        }
        OpenPanel p(mixedRecords(600));
        p.combo("comboBox_allowErrorCode")->setCurrentText("Да");
        p.click("pushButton_move");
        QCOMPARE(p.bench.popUps(), QStringList{"Выбрано кадров: 600. В результаты можно перенести не более 500."});
        QVERIFY(p.results().isEmpty());
        QVERIFY(p.panel());
    }

    void oneSerialReachesTheSettingsAndTheResultsAreShown()
    {
        DeviceTestBench bench(0);
        bench.device().archiveModel()->replaceRecords(mixedRecords(12));
        MainWindow window;
        auto* page = window.findChild<TabArchive*>();
        auto* pages = requireChild<QTabWidget>(&window, "tabDeviceConfig");
        pages->setCurrentWidget(requireChild<QWidget>(&window, "tabArchive"));
        window.show();
        page->moveToResults();
        auto* panel = page->findChild<MenuArchiveToResults*>();
        requireChild<QComboBox>(panel, "comboBox_deviceSerialNum")->setCurrentText("45678");
        requireChild<QPushButton>(panel, "pushButton_move")->click();
        QCOMPARE(bench.device().resultsModel()->rowCount(), 3);
        QTRY_COMPARE(bench.device().currentChannel()->serial, QString("45678"));
        QCOMPARE(pages->currentWidget(), requireChild<QWidget>(&window, "tabVerification"));
        QCOMPARE(requireChild<QTabWidget>(&window, "tabVerificationTabWidget")->currentWidget(),
                 requireChild<QWidget>(&window, "tabResults"));
    }
};

QTEST_MAIN(TestArchivePanel)
#include "test_archive_panel.moc"

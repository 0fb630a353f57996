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
#include <QStandardItemModel>
#include <QTableView>
#include <QTabWidget>
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

const QStringList texts{"0", "10", "", "9", "abc", "00"};

FilterCondition condition(int combine, int operation, const QString& pattern, int column = 0)
{
    FilterCondition c;
    c.combine = combine;
    c.column = column;
    c.operation = operation;
    c.pattern = QRegExp(pattern, Qt::CaseSensitive, QRegExp::Wildcard);
    return c;
}

// The texts of column 0 that pass, in source order.
QStringList passing(MultiSortFilterProxyModel& proxy)
{
    QStringList kept;
    for (int row = 0; row < proxy.rowCount(); ++row)
        kept << proxy.index(row, 0).data().toString();
    return kept;
}

// Rows named by column 0 with sort numbers in column 1 (role UserRole); "-" has none.
void appendKeyed(QStandardItemModel& source, const QString& name, const QVariant& key)
{
    auto* keyItem = new QStandardItem;
    keyItem->setData(key, Qt::UserRole);
    source.appendRow({new QStandardItem(name), keyItem});
}

void sortByKeys(MultiSortFilterProxyModel& proxy, QStandardItemModel& source, Qt::SortOrder order)
{
    proxy.setSourceModel(&source);
    proxy.setSortRole(Qt::UserRole);
    proxy.sort(1, order);
}

}  // namespace

Q_DECLARE_METATYPE(QList<FilterCondition>)

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

    void filters_data()
    {
        QTest::addColumn<QList<FilterCondition>>("filters");
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("none") << QList<FilterCondition>{} << texts;
        QTest::newRow("only matches of 0") << QList<FilterCondition>{condition(0, 0, "0")} << QStringList{"0", "00"};
        QTest::newRow("only matches of *") << QList<FilterCondition>{condition(0, 0, "*")} << texts;
        QTest::newRow("not only matches") << QList<FilterCondition>{condition(0, 1, "0")}
                                          << QStringList{"10", "", "9", "abc"};
        QTest::newRow("less, as text") << QList<FilterCondition>{condition(0, 2, "9")}
                                       << QStringList{"0", "10", "", "00"};
        QTest::newRow("at most") << QList<FilterCondition>{condition(0, 3, "9")}
                                 << QStringList{"0", "10", "", "9", "00"};
        QTest::newRow("greater") << QList<FilterCondition>{condition(0, 4, "9")} << QStringList{"abc"};
        QTest::newRow("at least") << QList<FilterCondition>{condition(0, 5, "9")} << QStringList{"9", "abc"};
        QTest::newRow("unknown operation") << QList<FilterCondition>{condition(0, 7, "0")} << texts;
        QTest::newRow("and") << QList<FilterCondition>{condition(0, 5, "0"), condition(0, 2, "9")}
                             << QStringList{"0", "10", "00"};
        QTest::newRow("or") << QList<FilterCondition>{condition(0, 0, "0"), condition(1, 0, "9")}
                            << QStringList{"0", "9", "00"};
        QTest::newRow("combine 2 is left out")
            << QList<FilterCondition>{condition(0, 0, "0"), condition(1, 0, "9"), condition(2, 0, "abc")}
            << QStringList{"0", "9", "00"};
        QTest::newRow("all conditions count") << QList<FilterCondition>{condition(0, 0, "0"), condition(1, 0, "abc"),
                                                                        condition(0, 1, "abc")}
                                              << QStringList{"0", "00"};
        QTest::newRow("first condition joins by and") << QList<FilterCondition>{condition(1, 0, "0")}
                                                      << QStringList{"0", "00"};
        QTest::newRow("a column past the source tests an empty text")
            << QList<FilterCondition>{condition(0, 0, "*", 5)} << texts;
        QTest::newRow("a column past the source matches no 0")
            << QList<FilterCondition>{condition(0, 0, "0", 5)} << QStringList{};
    }

    void filters()
    {
        QFETCH(QList<FilterCondition>, filters);
        QFETCH(QStringList, kept);
        QStandardItemModel source;
        for (const QString& text : texts)
            source.appendRow(new QStandardItem(text));
        MultiSortFilterProxyModel proxy;
        proxy.setSourceModel(&source);
        proxy.setFilters(filters);
        QCOMPARE(passing(proxy), kept);
        proxy.removeFilter();
        QCOMPARE(passing(proxy), texts);
    }

    // A filter change rebuilds the proxy as a whole; rows added to a filtered, sorted proxy go in one
    // by one. Both give the same rows in the same order, and a changed key moves its row.
    void wholeRebuildMatchesRowsAddedOneByOne()
    {
        const QList<QPair<QString, QVariant>> rows{{"a3", 3.0},  {"b-", QVariant()}, {"a1", 1.0},  {"x2", 2.0},
                                                   {"a2", 2.0},  {"a-", QVariant()}, {"a10", 10.0}, {"a0", -0.5}};
        const QList<FilterCondition> onlyA{condition(0, 0, "a*")};
        for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            QStandardItemModel growing;
            MultiSortFilterProxyModel incremental;
            sortByKeys(incremental, growing, order);
            incremental.setFilters(onlyA);
            QStandardItemModel filled;
            for (const auto& row : rows) {
                appendKeyed(growing, row.first, row.second);
                appendKeyed(filled, row.first, row.second);
            }
            MultiSortFilterProxyModel whole;
            sortByKeys(whole, filled, order);
            whole.setFilters(onlyA);
            const QStringList ascending{"a0", "a1", "a2", "a3", "a10", "a-"};
            const QStringList descending{"a-", "a10", "a3", "a2", "a1", "a0"};
            QCOMPARE(passing(whole), order == Qt::AscendingOrder ? ascending : descending);
            QCOMPARE(passing(incremental), passing(whole));

            growing.item(2, 1)->setData(20.0, Qt::UserRole);
            filled.item(2, 1)->setData(20.0, Qt::UserRole);
            QCOMPARE(passing(whole).indexOf("a1"), order == Qt::AscendingOrder ? 4 : 1);
            QCOMPARE(passing(incremental), passing(whole));
        }
    }

    void headersMarkTheSortList()
    {
        QStandardItemModel source(2, 6);
        source.setHorizontalHeaderLabels({"A", "B", "C", "D", "E", "F"});
        MultiSortFilterProxyModel proxy;
        proxy.setSourceModel(&source);
        auto header = [&](int section) { return proxy.headerData(section, Qt::Horizontal).toString(); };
        proxy.addSortColumn(3, Qt::AscendingOrder);
        proxy.addSortColumn(5, Qt::DescendingOrder);
        QCOMPARE(header(3), QString(QChar(0x2193)) + " D");
        QCOMPARE(header(5), QString(QChar(0x2191)) + "2 F");
        QCOMPARE(header(4), QStringLiteral("E"));
        QCOMPARE(proxy.headerData(3, Qt::Vertical).toString(), source.headerData(3, Qt::Vertical).toString());
        QVERIFY(proxy.isSorted(5) && !proxy.isSorted(4));
        QCOMPARE(proxy.sortOrder(5), Qt::DescendingOrder);

        proxy.changeSortOrder(3, Qt::DescendingOrder);
        proxy.changeSortOrder(1, Qt::DescendingOrder);
        QCOMPARE(header(3), QString(QChar(0x2191)) + " D");
        QVERIFY(!proxy.isSorted(1));
        proxy.removeSortColumn(3);
        QCOMPARE(header(5), QString(QChar(0x2191)) + " F");
        QCOMPARE(header(3), QStringLiteral("D"));
        proxy.clearSort();
        for (int section = 0; section < 6; ++section)
            QCOMPARE(header(section), source.headerData(section, Qt::Horizontal).toString());
    }
};

QTEST_MAIN(TestArchivePanel)
#include "test_archive_panel.moc"

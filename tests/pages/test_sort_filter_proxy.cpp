#include "MultiSortFilterProxyModel.h"

#include <QStandardItemModel>
#include <QtTest>

namespace {

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

class TestSortFilterProxy : public QObject
{
    Q_OBJECT
private slots:
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

QTEST_GUILESS_MAIN(TestSortFilterProxy)
#include "test_sort_filter_proxy.moc"

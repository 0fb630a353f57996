#include "XlsxPackage.h"
#include "XlsxTestFiles.h"
#include "XlsxWorkbook.h"
#include "XlsxWorksheet.h"

#include <QtTest>

namespace {

const QString handmade = XlsxTestFiles::handmade();

}  // namespace

class TestXlsxSheets : public QObject
{
    Q_OBJECT

private slots:
    void renameFollowsTheRules_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("31 characters") << QString(31, QLatin1Char('x')) << true;
        QTest::newRow("32 characters") << QString(32, QLatin1Char('x')) << false;
        for (const QChar c : QStringLiteral("[]:*?/\\"))
            QTest::newRow(qPrintable(QStringLiteral("with %1").arg(c))) << QStringLiteral("a%1b").arg(c) << false;
        QTest::newRow("apostrophe first") << QStringLiteral("'x") << false;
        QTest::newRow("apostrophe last") << QStringLiteral("x'") << false;
        QTest::newRow("apostrophe inside") << QStringLiteral("x'y") << true;
        QTest::newRow("leading blank") << QStringLiteral(" Прибор 1") << true;
        QTest::newRow("other sheet's name in other case") << QStringLiteral("SECOND sheet") << false;
        QTest::newRow("own name in other case") << QStringLiteral("DATA") << true;
    }

    void renameFollowsTheRules()
    {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        XlsxWorkbook workbook;
        QVERIFY(workbook.openFile(handmade));
        QCOMPARE(workbook.renameSheet(0, name), accepted);
        QCOMPARE(workbook.sheetNames().first(), accepted ? name : QStringLiteral("Data"));

        XlsxWorkbook reopened;
        QVERIFY(reopened.openBytes(workbook.saveToBytes()));
        QCOMPARE(reopened.sheetNames().first(), accepted ? name : QStringLiteral("Data"));
        QCOMPARE(reopened.worksheet(0)->cellText(1, 1), QStringLiteral("Температура &CD_TEMP"));
    }

    void deleteRemovesWhatOnlyTheSheetReaches()
    {
        XlsxWorkbook workbook;
        QVERIFY(workbook.openFile(handmade));
        QVERIFY(workbook.deleteSheet(0));
        QVERIFY(!workbook.deleteSheet(0));
        QCOMPARE(workbook.sheetNames(), QStringList{QStringLiteral("Second Sheet")});

        const QByteArray saved = workbook.saveToBytes();
        XlsxPackage package;
        QVERIFY(package.openBytes(saved));
        for (const char* gone : {"xl/worksheets/sheet1.xml", "xl/worksheets/_rels/sheet1.xml.rels",
                                 "xl/printerSettings/printerSettings1.bin"})
            QVERIFY2(!package.contains(QString::fromUtf8(gone)), gone);
        QVERIFY(!package.partData(QStringLiteral("[Content_Types].xml")).contains("sheet1.xml"));
        QVERIFY(!package.partData(QStringLiteral("xl/_rels/workbook.xml.rels")).contains("sheet1.xml"));
        const QString book = XlsxTestFiles::partText(saved, QStringLiteral("xl/workbook.xml"));
        QVERIFY(!book.contains(QLatin1String("Print_Area")));
        QVERIFY(book.contains(QLatin1String("<definedName name=\"Local\" localSheetId=\"0\">")));
        QVERIFY(book.contains(QLatin1String("<workbookView activeTab=\"0\" firstSheet=\"0\"/>")));
        XlsxWorkbook reopened;
        QVERIFY(reopened.openBytes(saved));
        QCOMPARE(reopened.worksheet(0)->cellText(2, 2), QStringLiteral("43.5"));

        // Printer settings that another sheet reaches too stay.
        XlsxPackage source;
        QVERIFY(source.openBytes(XlsxTestFiles::fileBytes(handmade)));
        source.setPartData(QStringLiteral("xl/worksheets/_rels/sheet2.xml.rels"),
                           source.partData(QStringLiteral("xl/worksheets/_rels/sheet1.xml.rels")));
        QVERIFY(workbook.openBytes(source.toBytes()));
        QVERIFY(workbook.deleteSheet(0));
        QVERIFY(workbook.package().contains(QStringLiteral("xl/printerSettings/printerSettings1.bin")));
        QVERIFY(!workbook.package().contains(QStringLiteral("xl/worksheets/sheet1.xml")));
    }

    void activeSheetIsTheOnlySelectedTab()
    {
        XlsxWorkbook workbook;
        QVERIFY(workbook.openFile(handmade));
        QVERIFY(workbook.setActiveSheet(0));
        const QByteArray saved = workbook.saveToBytes();
        const auto part = [&saved](const char* name) { return XlsxTestFiles::partText(saved, QString::fromUtf8(name)); };
        QVERIFY(part("xl/workbook.xml").contains(QLatin1String("<workbookView activeTab=\"0\" firstSheet=\"0\"/>")));
        QVERIFY(part("xl/worksheets/sheet1.xml").contains(QLatin1String("<sheetView workbookViewId=\"0\" tabSelected=\"1\"/>")));
        QVERIFY(!part("xl/worksheets/sheet2.xml").contains(QLatin1String("tabSelected")));
    }
};

QTEST_GUILESS_MAIN(TestXlsxSheets)
#include "test_xlsx_sheets.moc"

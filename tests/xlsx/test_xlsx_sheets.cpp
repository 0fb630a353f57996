#include "XlsxPackage.h"
#include "XlsxTestFiles.h"
#include "XlsxWorkbook.h"
#include "XlsxWorksheet.h"

#include <QtTest>

namespace {

const QString handmade = XlsxTestFiles::handmade();
const QString shippedTemplate = XlsxTestFiles::shippedTemplate();

QString partText(XlsxPackage& package, const char* part)
{
    return QString::fromUtf8(package.partData(QString::fromUtf8(part)));
}

// The anchor rows of a drawing part, in document order.
QStringList anchorRows(const QString& drawing)
{
    QStringList rows;
    const QRegularExpression row(QStringLiteral("<(?:xdr:)?row>(\\d+)</(?:xdr:)?row>"));
    for (auto it = row.globalMatch(drawing); it.hasNext();)
        rows << it.next().captured(1);
    return rows;
}

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

    void activeSheetTakesTheSelection()
    {
        XlsxWorkbook workbook;
        QVERIFY(workbook.openFile(handmade));
        QVERIFY(workbook.setActiveSheet(0));
        const QByteArray saved = workbook.saveToBytes();
        QVERIFY(XlsxTestFiles::partText(saved, QStringLiteral("xl/worksheets/sheet1.xml")).contains("tabSelected=\"1\""));
        QVERIFY(!XlsxTestFiles::partText(saved, QStringLiteral("xl/worksheets/sheet2.xml")).contains("tabSelected=\"1\""));
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

    void copiesGoBelowTakeTheirColumnsAndMerges()
    {
        XlsxWorkbook workbook;
        QVERIFY(workbook.openFile(shippedTemplate));
        XlsxWorksheet* sheet = workbook.worksheet(0);
        QVERIFY(sheet);
        const QString below = sheet->cellText(17, 1);
        QVERIFY(sheet->insertRowCopies(15, 3));

        QCOMPARE(sheet->cellText(15, 1), QStringLiteral("&D_VAL_I"));
        for (int row = 16; row <= 18; ++row) {
            QCOMPARE(sheet->cellText(row, 1), QStringLiteral("&D_VAL_I"));
            QCOMPARE(sheet->cellText(row, 8), QStringLiteral("&LST_F"));
            QCOMPARE(sheet->cellStyle(row, 1), sheet->cellStyle(15, 1));
            QCOMPARE(sheet->rowHeight(row), 20.0);
        }
        QCOMPARE(sheet->cellText(19, 1), QString());
        QCOMPARE(sheet->cellText(20, 1), below);
        QCOMPARE(sheet->rowHeight(23), 82.0);
        QCOMPARE(sheet->rowHeight(20), 15.0);
        QCOMPARE(sheet->nextRow(18), 20);

        // A copy takes the columns up to 49 and the merge of its row.
        QVERIFY(sheet->writeString(2, 49, QStringLiteral("49")));
        QVERIFY(sheet->writeString(2, 52, QStringLiteral("52")));
        QVERIFY(sheet->insertRowCopies(2, 1));
        QCOMPARE(sheet->cellText(3, 49), QStringLiteral("49"));
        QVERIFY(!sheet->hasCell(3, 52));
        QCOMPARE(sheet->cellText(2, 52), QStringLiteral("52"));
        QCOMPARE(sheet->cellText(4, 1), QStringLiteral("&CD_ORG, &CD_ADDRESS, аттестат &CD_CRT_NUM"));
        const QString data = XlsxTestFiles::savedPart(workbook, QStringLiteral("xl/worksheets/sheet1.xml"));
        QVERIFY(data.contains(QLatin1String("<mergeCell ref=\"A3:G3\"/>")));
        QVERIFY(data.contains(QLatin1String("<mergeCell ref=\"A4:G4\"/>")));
        QVERIFY(data.contains(QLatin1String("<mergeCells count=\"18\">")));
    }

    void whatHangsOnRowsMovesAlong()
    {
        // Pictures on the copied row itself (anchor row 14) and on the first row below it (15); manual
        // page breaks after row 12 and row 22 besides the variant's right after the copied row.
        XlsxPackage package;
        QVERIFY(package.openBytes(XlsxTestFiles::fileBytes(XlsxTestFiles::variantTemplate())));
        const QString drawing = partText(package, "xl/drawings/drawing1.xml");
        QCOMPARE(anchorRows(drawing), (QStringList{"0", "19"}));
        package.setPartData(QStringLiteral("xl/drawings/drawing1.xml"),
                            QString(drawing).replace(QLatin1String("<row>0<"), QLatin1String("<row>14<"))
                                .replace(QLatin1String("<row>19<"), QLatin1String("<row>15<")).toUtf8());
        package.setPartData(QStringLiteral("xl/worksheets/sheet1.xml"),
                            partText(package, "xl/worksheets/sheet1.xml")
                                .replace(QLatin1String("<brk id=\"15\""),
                                         QLatin1String("<brk id=\"12\" min=\"0\" max=\"16383\" man=\"1\"/><brk id=\"15\""))
                                .replace(QLatin1String("</rowBreaks>"),
                                         QLatin1String("<brk id=\"22\" max=\"16383\" man=\"1\"/></rowBreaks>"))
                                .toUtf8());
        XlsxWorkbook workbook;
        QVERIFY(workbook.openBytes(package.toBytes()));
        QVERIFY(workbook.worksheet(0)->insertRowCopies(15, 3));
        QVERIFY(package.openBytes(workbook.saveToBytes()));

        const QString sheet = partText(package, "xl/worksheets/sheet1.xml");
        for (const char* moved : {"<dimension ref=\"A2:H23\"/>", "<mergeCell ref=\"A2:G2\"/>", "<mergeCell ref=\"A12:G12\"/>",
                                  "<mergeCell ref=\"A20:G20\"/><mergeCell ref=\"A21:G21\"/><mergeCell ref=\"A22:G22\"/>",
                                  "<mergeCell ref=\"A23:B23\"/>",
                                  "<conditionalFormatting sqref=\"D15:E18\">",
                                  "<brk id=\"12\" min=\"0\" max=\"16383\" man=\"1\"/><brk id=\"18\" min=\"0\" max=\"16383\" man=\"1\"/>"
                                  "<brk id=\"25\"",
                                  "<pageSetup orientation=\"landscape\" paperSize=\"9\" fitToHeight=\"0\" fitToWidth=\"1\"/>"})
            QVERIFY2(sheet.contains(QLatin1String(moved)), moved);
        QVERIFY(!sheet.contains(QLatin1String("<mergeCell ref=\"A17:G17\"/>")));
        QVERIFY(partText(package, "xl/workbook.xml").contains(QLatin1String("!$A$1:$G$23</definedName>")));
        QCOMPARE(anchorRows(partText(package, "xl/drawings/drawing1.xml")), (QStringList{"14", "18"}));

        // A merge and a link over rows 1 to 3 take in the copies of row 2.
        QVERIFY(package.openBytes(XlsxTestFiles::fileBytes(handmade)));
        package.setPartData(QStringLiteral("xl/worksheets/sheet1.xml"),
                            partText(package, "xl/worksheets/sheet1.xml")
                                .replace(QLatin1String("<mergeCell ref=\"A5:D5\"/>"),
                                         QLatin1String("<mergeCell ref=\"A5:D5\"/><mergeCell ref=\"E1:F3\"/>"))
                                .replace(QLatin1String("<hyperlink ref=\"C6\""),
                                         QLatin1String("<hyperlink ref=\"D1:D3\" location=\"Data!A1\"/><hyperlink ref=\"C6\""))
                                .toUtf8());
        XlsxWorkbook handmadeBook;
        QVERIFY(handmadeBook.openBytes(package.toBytes()));
        QVERIFY(handmadeBook.worksheet(0)->insertRowCopies(2, 2));
        QVERIFY(package.openBytes(handmadeBook.saveToBytes()));
        const QString data = partText(package, "xl/worksheets/sheet1.xml");
        for (const char* moved : {"<mergeCell ref=\"A7:D7\"/><mergeCell ref=\"E1:F5\"/>",
                                  "<hyperlink ref=\"D1:D5\" location=\"Data!A1\"/><hyperlink ref=\"C8\" location=\"Data!A1\"",
                                  "<dataValidation type=\"list\" sqref=\"B2:B5 D8\">", "<brk id=\"7\" max=\"16383\" man=\"1\"/>",
                                  "<c r=\"A8\"><f>'Second Sheet'!B2+Data!A2</f>",
                                  "<row r=\"4\" ht=\"24\" customHeight=\"1\"><c r=\"A4\"><v>42.5</v></c>", "<c r=\"C4\"><v>85</v></c>"})
            QVERIFY2(data.contains(QLatin1String(moved)), moved);
        QVERIFY(partText(package, "xl/workbook.xml").contains(QLatin1String(">Data!$A$1:$D$8<")));
    }

    void rowWithoutCellsIsNotCopied()
    {
        XlsxWorkbook workbook;
        QVERIFY(workbook.openFile(handmade));
        XlsxWorksheet* sheet = workbook.worksheet(0);
        QVERIFY(sheet->insertRowCopies(5, 2));
        QVERIFY(sheet->insertRowCopies(2, 0));
        QCOMPARE(sheet->cellText(6, 1), QStringLiteral("50"));
        QCOMPARE(sheet->nextRow(4), 6);
        XlsxPackage original;
        QVERIFY(original.openBytes(workbook.saveToBytes()));
        QVERIFY(partText(original, "xl/worksheets/sheet1.xml").contains(QLatin1String("<mergeCell ref=\"A5:D5\"/>")));
        QVERIFY(original.contains(QStringLiteral("xl/calcChain.xml")));
    }
};

QTEST_GUILESS_MAIN(TestXlsxSheets)
#include "test_xlsx_sheets.moc"

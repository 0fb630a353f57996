#include "XlsxPackage.h"
#include "XlsxTestFiles.h"
#include "XlsxWorkbook.h"
#include "XlsxWorksheet.h"

#include <QtTest>

namespace {

const QString handmade = XlsxTestFiles::handmade();

// The handmade package with one part replaced (or removed, for a null text).
QByteArray handmadeWith(const QString& part, const QByteArray& data)
{
    XlsxPackage package;
    package.openBytes(XlsxTestFiles::fileBytes(handmade));
    if (data.isNull())
        package.removePart(part);
    else
        package.setPartData(part, data);
    return package.toBytes();
}

// Opens the workbook and every sheet, as the engine will.
bool opensWhole(const QByteArray& bytes, const XlsxLimits& limits = XlsxLimits())
{
    XlsxWorkbook workbook;
    if (!workbook.openBytes(bytes, limits))
        return false;
    for (int i = 0; i < workbook.sheetCount(); ++i)
        if (!workbook.worksheet(i))
            return false;
    return true;
}

}  // namespace

class TestXlsxPackage : public QObject
{
    Q_OBJECT

private slots:
    void roundTripKeepsEveryPart_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("shipped") << XlsxTestFiles::shippedTemplate();
        QTest::newRow("variant") << XlsxTestFiles::variantTemplate();
        QTest::newRow("handmade") << handmade;
    }

    void roundTripKeepsEveryPart()
    {
        QFETCH(QString, path);
        XlsxPackage original;
        QVERIFY(original.openBytes(XlsxTestFiles::fileBytes(path)));
        XlsxWorkbook workbook;
        QVERIFY(workbook.openFile(path));
        for (int i = 0; i < workbook.sheetCount(); ++i)
            QVERIFY(workbook.worksheet(i));
        XlsxPackage saved;
        QVERIFY(saved.openBytes(workbook.saveToBytes()));
        QCOMPARE(saved.partNames(), original.partNames());
        for (const QString& part : original.partNames())
            QVERIFY2(saved.partData(part) == original.partData(part), qPrintable(part));
    }

    void badInputIsRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray zip = XlsxTestFiles::fileBytes(handmade);
        const QString sheet2 = QStringLiteral("xl/worksheets/sheet2.xml");
        const auto sheet2Data = [&sheet2](const char* rows) {
            return handmadeWith(sheet2, QByteArray("<worksheet><sheetData>") + rows + "</sheetData></worksheet>");
        };
        QTest::newRow("not a zip") << QByteArray("PK\x03\x04 not really a zip");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("truncated zip") << zip.left(zip.size() / 2);
        QTest::newRow("no package relations") << handmadeWith(QStringLiteral("_rels/.rels"), QByteArray());
        QTest::newRow("no workbook part") << handmadeWith(QStringLiteral("xl/workbook.xml"), QByteArray());
        QTest::newRow("broken workbook") << handmadeWith(QStringLiteral("xl/workbook.xml"), "<workbook><sheets>");
        QTest::newRow("no sheets") << handmadeWith(QStringLiteral("xl/workbook.xml"), "<workbook><sheets/></workbook>");
        const QString workbook = XlsxTestFiles::partText(zip, QStringLiteral("xl/workbook.xml"));
        QTest::newRow("two sheets over one part")
            << handmadeWith(QStringLiteral("xl/workbook.xml"), QString(workbook).replace("\"rId2\"", "\"rId1\"").toUtf8());
        QTest::newRow("sheet part missing") << handmadeWith(sheet2, QByteArray());
        QTest::newRow("broken strings") << handmadeWith(QStringLiteral("xl/sharedStrings.xml"), "<sst><si>");
        QTest::newRow("broken sheet") << handmadeWith(sheet2, "<worksheet><sheetData><row>");
        QTest::newRow("string index out of range") << sheet2Data("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>6</v></c></row>");
        QTest::newRow("row out of range") << sheet2Data("<row r=\"1048577\"/>");
        QTest::newRow("column out of range") << sheet2Data("<row r=\"1\"><c r=\"XFE1\"/></row>");
        QTest::newRow("cell outside its row") << sheet2Data("<row r=\"1\"><c r=\"A2\"/></row>");
    }

    void badInputIsRefused()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(!opensWhole(bytes));
    }

    // The limits on one part and on all parts are reached, not passed, by a package that still opens.
    void sizeLimitsHoldTheirBounds()
    {
        const QByteArray zip = XlsxTestFiles::fileBytes(handmade);
        XlsxPackage package;
        QVERIFY(package.openBytes(zip));
        XlsxLimits limits;
        limits.partBytes = 0;
        limits.totalBytes = 0;
        for (const QString& part : package.partNames()) {
            limits.partBytes = qMax<qint64>(limits.partBytes, package.partData(part).size());
            limits.totalBytes += package.partData(part).size();
        }
        QVERIFY(opensWhole(zip, limits));
        --limits.partBytes;
        QVERIFY(!opensWhole(zip, limits));
        ++limits.partBytes;
        --limits.totalBytes;
        QVERIFY(!opensWhole(zip, limits));
    }

    void editKeepsWhatItDoesNotChange()
    {
        XlsxPackage original;
        QVERIFY(original.openBytes(XlsxTestFiles::fileBytes(handmade)));
        XlsxWorkbook workbook;
        QVERIFY(workbook.openFile(handmade));
        QVERIFY(workbook.renameSheet(0, QStringLiteral("Данные 1")));
        QVERIFY(workbook.worksheet(0)->writeString(3, 4, QStringLiteral("new")));
        const QByteArray saved = workbook.saveToBytes();

        const QString sheet = XlsxTestFiles::partText(saved, QStringLiteral("xl/worksheets/sheet1.xml"));
        QVERIFY(sheet.startsWith(QLatin1String("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>")));
        for (const QString& kept : {QStringLiteral("<pageSetup paperSize=\"9\" orientation=\"landscape\" r:id=\"rId1\"/>"),
                                    QStringLiteral("<sheetPr><tabColor rgb=\"FF00B050\"/><pageSetUpPr fitToPage=\"1\"/></sheetPr>"),
                                    QStringLiteral("<c r=\"A3\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> </t></is></c>"),
                                    QStringLiteral("<printOptions gridLines=\"1\"/>"), QStringLiteral("\n  <mergeCells"),
                                    QStringLiteral("<f>'Second Sheet'!B2+'Данные 1'!A2</f>")})
            QVERIFY2(sheet.contains(kept), qPrintable(kept));
        QVERIFY(XlsxTestFiles::partText(saved, QStringLiteral("xl/worksheets/sheet2.xml")).contains(QStringLiteral("<f>'Данные 1'!A2+1</f>")));
        const QString book = XlsxTestFiles::partText(saved, QStringLiteral("xl/workbook.xml"));
        QVERIFY(book.contains(QStringLiteral("'Данные 1'!$A$1:$D$6")));
        QVERIFY(book.contains(QLatin1String("<definedName name=\"Total\">'Second Sheet'!$B$2</definedName>")));

        XlsxPackage package;
        QVERIFY(package.openBytes(saved));
        QVERIFY(!package.contains(QStringLiteral("xl/calcChain.xml")));
        QVERIFY(!package.partData(QStringLiteral("xl/_rels/workbook.xml.rels")).contains("calcChain"));
        QVERIFY(!package.partData(QStringLiteral("[Content_Types].xml")).contains("calcChain"));
        for (const QString& part : {QStringLiteral("xl/printerSettings/printerSettings1.bin"), QStringLiteral("xl/styles.xml"),
                                    QStringLiteral("xl/sharedStrings.xml"), QStringLiteral("xl/worksheets/_rels/sheet1.xml.rels")})
            QVERIFY2(package.partData(part) == original.partData(part), qPrintable(part));
    }

    void cellsReadAsTheirText()
    {
        XlsxWorkbook workbook;
        QVERIFY(workbook.openFile(handmade));
        XlsxWorksheet* sheet = workbook.worksheet(0);
        QVERIFY(sheet);
        const QList<QPair<int, int>> cells = {{1, 1}, {1, 2}, {1, 3}, {2, 1}, {2, 2}, {2, 3}, {2, 4},
                                              {3, 2}, {3, 3}, {4, 1}, {4, 2}, {5, 1}};
        QStringList texts;
        for (const auto& cell : cells)
            texts << sheet->cellText(cell.first, cell.second);
        QCOMPARE(texts, QStringList({"Температура &CD_TEMP", "Rich &D_NAME", " ", "42.5", "true", "85", "x&CD_TEMP",
                                     "line\r\ntwo", "literal _x0041_", "implied A4", "inline rich", ""}));
        QCOMPARE(sheet->nextRow(4), 6);
        QCOMPARE(sheet->nextColumn(4, 1), 2);
        QCOMPARE(sheet->rowHeight(2), 24.0);
        QCOMPARE(sheet->rowHeight(3), 15.0);
        const XlsxFont font = workbook.styleFont(sheet->cellStyle(4, 2));
        QCOMPARE(font.family + ' ' + QString::number(font.pointSize), QStringLiteral("DejaVu Serif 14"));
        QVERIFY(font.bold && !font.italic && font.underline && font.strikeOut);
        QCOMPARE(workbook.styleFont(7).family, QStringLiteral("Calibri"));
    }

    void writtenTextIsSafeXml()
    {
        XlsxWorkbook workbook;
        QVERIFY(workbook.openFile(handmade));
        XlsxWorksheet* sheet = workbook.worksheet(0);
        const QString text = QStringLiteral("a") + QChar(1) + QChar(0xFFFF) + QStringLiteral("b _x0041_ \r\nc ");
        QVERIFY(sheet->writeString(1, 2, text));
        QVERIFY(sheet->writeString(2, 3, QString(40000, QLatin1Char('z'))));
        QVERIFY(sheet->writeString(30, 2, QStringLiteral("new row")));
        QVERIFY(!sheet->writeString(0, 2, QStringLiteral("outside")));

        XlsxWorkbook reopened;
        QVERIFY(reopened.openBytes(workbook.saveToBytes()));
        XlsxWorksheet* again = reopened.worksheet(0);
        QVERIFY(again);
        QCOMPARE(again->cellText(1, 2), QStringLiteral("ab _x0041_ \r\nc "));
        QCOMPARE(reopened.styleFont(again->cellStyle(1, 2)).family, QStringLiteral("DejaVu Serif"));
        QCOMPARE(again->cellText(2, 3).size(), 32767);
        QCOMPARE(again->cellText(30, 2), QStringLiteral("new row"));
        QCOMPARE(again->nextRow(6), 30);
    }
};

QTEST_GUILESS_MAIN(TestXlsxPackage)
#include "test_xlsx_package.moc"

#include "XlsxPackage.h"
#include "XlsxTestFiles.h"
#include "XlsxWorkbook.h"
#include "XlsxWorksheet.h"

#include <QtTest>
#include <cmath>

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

// The part as two runs of the template generator agree on it: the document properties carry the
// time of the run.
QByteArray runIndependent(XlsxPackage& package, const QString& part)
{
    if (part != QLatin1String("docProps/core.xml"))
        return package.partData(part);
    static const QRegularExpression time(QStringLiteral(">\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ<"));
    return QString::fromUtf8(package.partData(part)).replace(time, QStringLiteral("><")).toUtf8();
}

// The workbooks committed beside the generator that writes them.
void committedWorkbooks()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("shipped") << XlsxTestFiles::shippedTemplate();
    QTest::newRow("variant") << XlsxTestFiles::variantTemplate();
    QTest::newRow("handmade") << handmade;
}

int countOf(const QString& styles, const char* list)
{
    const QRegularExpression count(QStringLiteral("<%1 count=\"(\\d+)\"").arg(QLatin1String(list)));
    return count.match(styles).captured(1).toInt();
}

}  // namespace

class TestXlsxPackage : public QObject
{
    Q_OBJECT

private slots:
    void roundTripKeepsEveryPart_data()
    {
        committedWorkbooks();
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

    void generatorGivesTheCommittedWorkbooks_data()
    {
        committedWorkbooks();
    }

    // A change to the generator that is not run, or a committed workbook edited by hand, shows here.
    void generatorGivesTheCommittedWorkbooks()
    {
        QFETCH(QString, path);
        QTemporaryDir folder;
        int exitCode = -1;
        const QString report = XlsxTestFiles::runReader(
            QStringLiteral("/usr/bin/python3"), {QStringLiteral(ZFN_TEMPLATES "/make_templates.py"), folder.path()}, &exitCode);
        QVERIFY2(exitCode == 0, qPrintable(report));
        XlsxPackage original;
        QVERIFY(original.openBytes(XlsxTestFiles::fileBytes(path)));
        XlsxPackage generated;
        QVERIFY(generated.openBytes(XlsxTestFiles::fileBytes(folder.filePath(QFileInfo(path).fileName()))));
        QCOMPARE(generated.partNames(), original.partNames());
        for (const QString& part : original.partNames())
            QVERIFY2(runIndependent(generated, part) == runIndependent(original, part), qPrintable(part));
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

    // Cells read as their text; an edit writes safe XML and keeps what it does not change.
    void readEditAndSave()
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

        QVERIFY(workbook.renameSheet(0, QStringLiteral("Данные 1")));
        const QString text = QStringLiteral("a") + QChar(1) + QChar(0xFFFF) + QStringLiteral("b _x0041_ \r\nc ");
        QVERIFY(sheet->writeString(1, 2, text));
        QVERIFY(sheet->writeString(2, 3, QString(40000, QLatin1Char('z'))));
        QVERIFY(sheet->writeString(30, 2, QStringLiteral("new row")));
        QVERIFY(!sheet->writeString(0, 2, QStringLiteral("outside")));
        const QByteArray saved = workbook.saveToBytes();
        XlsxWorkbook reopened;
        QVERIFY(reopened.openBytes(saved));
        XlsxWorksheet* again = reopened.worksheet(0);
        QVERIFY(again);
        QCOMPARE(again->cellText(1, 2), QStringLiteral("ab _x0041_ \r\nc "));
        QCOMPARE(reopened.styleFont(again->cellStyle(1, 2)).family, QStringLiteral("DejaVu Serif"));
        QCOMPARE(again->cellText(2, 3).size(), 32767);
        QCOMPARE(again->cellText(30, 2), QStringLiteral("new row"));
        QCOMPARE(again->nextRow(6), 30);

        const QString data = XlsxTestFiles::partText(saved, QStringLiteral("xl/worksheets/sheet1.xml"));
        QVERIFY(data.startsWith(QLatin1String("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>")));
        for (const QString& kept : {QStringLiteral("<pageSetup paperSize=\"9\" orientation=\"landscape\" r:id=\"rId1\"/>"),
                                    QStringLiteral("<sheetPr><tabColor rgb=\"FF00B050\"/><pageSetUpPr fitToPage=\"1\"/></sheetPr>"),
                                    QStringLiteral("<c r=\"A3\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> </t></is></c>"),
                                    QStringLiteral("<printOptions gridLines=\"1\"/>"), QStringLiteral("\n  <mergeCells"),
                                    QStringLiteral("<f>'Second Sheet'!B2+'Данные 1'!A2</f>")})
            QVERIFY2(data.contains(kept), qPrintable(kept));
        QVERIFY(XlsxTestFiles::partText(saved, QStringLiteral("xl/worksheets/sheet2.xml")).contains(QStringLiteral("<f>'Данные 1'!A2+1</f>")));
        const QString book = XlsxTestFiles::partText(saved, QStringLiteral("xl/workbook.xml"));
        QVERIFY(book.contains(QStringLiteral("'Данные 1'!$A$1:$D$6")));
        QVERIFY(book.contains(QLatin1String("<definedName name=\"Total\">'Second Sheet'!$B$2</definedName>")));

        XlsxPackage original;
        QVERIFY(original.openBytes(XlsxTestFiles::fileBytes(handmade)));
        XlsxPackage package;
        QVERIFY(package.openBytes(saved));
        QVERIFY(!package.contains(QStringLiteral("xl/calcChain.xml")));
        QVERIFY(!package.partData(QStringLiteral("xl/_rels/workbook.xml.rels")).contains("calcChain"));
        QVERIFY(!package.partData(QStringLiteral("[Content_Types].xml")).contains("calcChain"));
        for (const QString& part : {QStringLiteral("xl/printerSettings/printerSettings1.bin"), QStringLiteral("xl/styles.xml"),
                                    QStringLiteral("xl/sharedStrings.xml"), QStringLiteral("xl/worksheets/_rels/sheet1.xml.rels")})
            QVERIFY2(package.partData(part) == original.partData(part), qPrintable(part));
    }

    void newWorkbookCellsAndStylesReadBack()
    {
        XlsxWorkbook book;
        QVERIFY(!book.createNew(QStringLiteral("a/b")));
        QVERIFY(book.createNew(QStringLiteral("Архив ЗФН")));
        const int title = book.addCellStyle({QStringLiteral("Arial Cyr"), 18, XlsxCellStyle::NoBorder});
        const int thin = book.addCellStyle({QString(), 0, XlsxCellStyle::Thin});
        // Equal styles are shared; a style differing in font or border only is a new one.
        QCOMPARE(book.addCellStyle({}), 0);
        QCOMPARE(book.addCellStyle({QStringLiteral("Arial Cyr"), 18, XlsxCellStyle::NoBorder}), title);
        QCOMPARE(book.addCellStyle({QString(), 0, XlsxCellStyle::Thin}), thin);
        const int framed = book.addCellStyle({QStringLiteral("Arial Cyr"), 18, XlsxCellStyle::Thin});
        QCOMPARE(QSet<int>({0, title, thin, framed}).size(), 4);
        const QString styles = XlsxTestFiles::savedPart(book, QStringLiteral("xl/styles.xml"));
        QCOMPARE(QList<int>({countOf(styles, "fonts"), countOf(styles, "borders"), countOf(styles, "cellXfs")}),
                 QList<int>({2, 2, 4}));
        XlsxWorksheet* sheet = book.worksheet(0);
        QVERIFY(sheet->writeString(2, 4, QStringLiteral(" P, эт.")) && sheet->setCellStyle(2, 4, title));
        QVERIFY(sheet->writeNumber(5, 7, 1.1000000238418579) && sheet->setCellStyle(5, 7, thin));
        QVERIFY(sheet->writeNumber(5, 8, std::nan("")) && sheet->setCellStyle(5, 8, thin));
        QVERIFY(sheet->writeString(5, 6, QStringLiteral("01234")));
        QVERIFY(!sheet->writeNumber(0, 1, 1.0) && !sheet->setCellStyle(1, 0, thin));

        XlsxWorkbook reopened;
        QVERIFY2(reopened.openBytes(book.saveToBytes()), qPrintable(reopened.errorString()));
        QCOMPARE(reopened.sheetNames(), QStringList{"Архив ЗФН"});
        XlsxWorksheet* back = reopened.worksheet(0);
        QCOMPARE(back->cellText(2, 4), QStringLiteral(" P, эт."));
        QCOMPARE(reopened.styleFont(back->cellStyle(2, 4)).family, QStringLiteral("Arial Cyr"));
        QCOMPARE(reopened.styleFont(back->cellStyle(2, 4)).pointSize, 18.0);
        QCOMPARE(back->cellText(5, 7).toDouble(), 1.1000000238418579);
        QCOMPARE(back->cellText(5, 6), QStringLiteral("01234"));
        QVERIFY(back->hasCell(5, 8));
        QCOMPARE(back->cellText(5, 8), QString());
        QCOMPARE(back->cellStyle(5, 8), thin);
        const QString xml = XlsxTestFiles::savedPart(reopened, QStringLiteral("xl/worksheets/sheet1.xml"));
        QVERIFY(xml.contains(QStringLiteral("<c r=\"F5\" t=\"inlineStr\">")));
        QVERIFY(xml.contains(QStringLiteral("<c r=\"H5\" s=\"%1\"/>").arg(thin)));
    }

    void widthsSplitTheRangeThatHoldsTheColumn()
    {
        XlsxWorkbook book;
        QVERIFY(book.createNew(QStringLiteral("S")));
        const QString part = QStringLiteral("xl/worksheets/sheet1.xml");
        QString xml = QString::fromUtf8(book.package().partData(part));
        xml.replace(QStringLiteral("<sheetData/>"),
                    QStringLiteral("<cols><col min=\"3\" max=\"6\" width=\"5\" style=\"2\"/></cols><sheetData/>"));
        book.package().setPartData(part, xml.toUtf8());
        XlsxWorksheet* sheet = book.worksheet(0);
        QVERIFY(sheet->setColumnWidth(4, 4.3) && sheet->setColumnWidth(1, 9.5) && sheet->setColumnWidth(8, 14));
        QVERIFY(!sheet->setColumnWidth(2, 256) && !sheet->setColumnWidth(0, 1));
        const QString cols = XlsxTestFiles::savedPart(book, part).section(QStringLiteral("<cols>"), 1).section(QStringLiteral("</cols>"), 0, 0);
        QCOMPARE(cols, QStringLiteral("<col min=\"1\" max=\"1\" width=\"9.5\" customWidth=\"1\"/>"
                                      "<col min=\"3\" max=\"3\" width=\"5\" style=\"2\"/>"
                                      "<col min=\"4\" max=\"4\" width=\"4.3\" style=\"2\" customWidth=\"1\"/>"
                                      "<col min=\"5\" max=\"6\" width=\"5\" style=\"2\"/>"
                                      "<col min=\"8\" max=\"8\" width=\"14\" customWidth=\"1\"/>"));
    }

    void sheetNamesFromAnyText()
    {
        const struct { QString text; QString name; } cases[] = {
            {"Архив ЗФН/1: [a]*?\\ от 05.12.2026", "Архив ЗФН_1_ _a____ от 05.12.20"},
            {"'quoted'", "_quoted_"},
            {"", "_"},
            {"Архив " + QString(40, QChar(0x0416)), "Архив " + QString(25, QChar(0x0416))},
        };
        for (const auto& c : cases) {
            QCOMPARE(XlsxWorkbook::sheetNameFrom(c.text), c.name);
            QVERIFY(XlsxWorkbook::isValidSheetName(c.name));
        }
    }
};

QTEST_GUILESS_MAIN(TestXlsxPackage)
#include "test_xlsx_package.moc"

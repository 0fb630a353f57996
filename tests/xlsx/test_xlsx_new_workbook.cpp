#include "XlsxPackage.h"
#include "XlsxTestFiles.h"
#include "XlsxWorkbook.h"
#include "XlsxWorksheet.h"

#include <QtTest>
#include <cmath>

namespace {

int countOf(const QString& styles, const char* list)
{
    const QRegularExpression count(QStringLiteral("<%1 count=\"(\\d+)\"").arg(QLatin1String(list)));
    return count.match(styles).captured(1).toInt();
}

}  // namespace

class TestXlsxNewWorkbook : public QObject
{
    Q_OBJECT

private slots:
    void cellsStylesAndNamesReadBack()
    {
        XlsxWorkbook book;
        QVERIFY(!book.createNew(QStringLiteral("a/b")));
        QVERIFY(book.createNew(QStringLiteral("Архив ЗФН")));
        const int title = book.addCellStyle({QStringLiteral("Arial Cyr"), 18, XlsxCellStyle::NoBorder});
        const int thin = book.addCellStyle({QString(), 0, XlsxCellStyle::Thin});
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

    void equalStylesAreShared()
    {
        XlsxWorkbook book;
        QVERIFY(book.createNew(QStringLiteral("S")));
        const XlsxCellStyle title{QStringLiteral("Arial Cyr"), 18, XlsxCellStyle::NoBorder};
        const XlsxCellStyle medium{QString(), 0, XlsxCellStyle::Medium};
        const XlsxCellStyle framedTitle{QStringLiteral("Arial Cyr"), 18, XlsxCellStyle::Medium};
        const int first = book.addCellStyle(title);
        QCOMPARE(book.addCellStyle({}), 0);
        QCOMPARE(book.addCellStyle(title), first);
        const int framed = book.addCellStyle(framedTitle);
        const int bordered = book.addCellStyle(medium);
        QCOMPARE(QSet<int>({0, first, framed, bordered}).size(), 4);
        QCOMPARE(book.addCellStyle(medium), bordered);
        const QString styles = XlsxTestFiles::savedPart(book, QStringLiteral("xl/styles.xml"));
        QCOMPARE(countOf(styles, "fonts"), 2);
        QCOMPARE(countOf(styles, "borders"), 2);
        QCOMPARE(countOf(styles, "cellXfs"), 4);
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

QTEST_GUILESS_MAIN(TestXlsxNewWorkbook)
#include "test_xlsx_new_workbook.moc"

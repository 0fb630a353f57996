#include "ArchiveFrameBuilder.h"
#include "ArchiveModel.h"
#include "ArchiveTestData.h"
#include "ArchiveXlsxExport.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"
#include "XlsxTestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QtTest>
#include <cmath>

using namespace ArchiveTestData;

namespace {

const QString python = QStringLiteral("/usr/bin/python3");
const QString reader = QStringLiteral(ZFN_TEST_DATA "/read_archive_export.py");
const QDate exportDate(2026, 12, 5);
// Characters a sheet name cannot hold, and too long for one.
const QString deviceName = QStringLiteral("Калибратор/Стенд: №2 [лаборатория]");
const QString title = "Архив " + deviceName + " от 05.12.2026";

QByteArray at(const QByteArray& frame, int day)
{
    return ArchiveFrameBuilder::withTime(frame, QDateTime(QDate(2026, 11, day), QTime(14, 3, 27)));
}

// A HART frame of sensor 1234, a frame whose measured value is not a number, a frame with an error code.
QVector<ArchiveRecord> frames()
{
    const QByteArray hart = ArchiveFrameBuilder::withHart(ArchiveFrameBuilder::measurement(6, 100.5f, 101.25f, 0.25f, 1234),
                                                          100.75f, 0.125f);
    const QByteArray first = ArchiveFrameBuilder::withTemperature(ArchiveFrameBuilder::withModuleSerial(hart, 56), 21.5f);
    const QByteArray noValue = ArchiveFrameBuilder::measurement(7, 0.5f, std::nanf(""), -1.5f, 123);
    const QByteArray failed = ArchiveFrameBuilder::withErrorCode(ArchiveFrameBuilder::measurement(6, 10, 10, 0, 45678), 3);
    return {record(at(first, 1), 0), record(at(noValue, 2), 7), record(at(failed, 3), 511)};
}

// Single-precision values and the shortest texts that read back as them: a frame of each holds it in
// every float field (temperature, reference, measured, error, HART pressure, HART error).
const QList<QPair<float, QString>> digitFloats{{990.0f * 0.001f, "0.99000007"}, {-760.0f * 0.001f, "-0.76000005"},
                                               {40.2f, "40.2"}, {123456.79f, "123456.79"}, {16777216.0f, "16777216"}};
const int floatColumns[] = {2, 5, 6, 7, 9, 10};

QVector<ArchiveRecord> digitFrames()
{
    QVector<ArchiveRecord> records;
    for (const auto& [value, text] : digitFloats) {
        const QByteArray frame = ArchiveFrameBuilder::withHart(ArchiveFrameBuilder::measurement(7, value, value, value, 1),
                                                               value, value);
        records << record(ArchiveFrameBuilder::withTemperature(at(frame, 4), value), quint32(records.size()));
    }
    return records;
}

// One field of every cell of a row: "value" or "type".
QVariantList cells(const QJsonArray& row, const char* field)
{
    QVariantList list;
    for (const QJsonValue& cell : row)
        list << cell.toObject().value(field).toVariant();
    return list;
}

}  // namespace

// Exports read by readers that share no code with ours: openpyxl for cells, styles and widths,
// LibreOffice (one batch of CSV conversions) for what a spreadsheet shows.
class TestArchiveOffice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty()
            || XlsxTestFiles::runReader(python, {"-c", "import openpyxl"}).contains("Error"))
            QSKIP("LibreOffice or python3-openpyxl is not installed");
        TestEnvironment::prepareWithChoiceLists();
        ArchiveModel model;
        model.replaceRecords(frames());
        QVERIFY(saveArchiveToXlsx(&model, exportDate, m_dir.filePath("frames.xlsx"), deviceName));
        model.replaceRecords(digitFrames());
        QVERIFY(saveArchiveToXlsx(&model, exportDate, m_dir.filePath("digits.xlsx"), deviceName));
        model.clear();
        QVERIFY(saveArchiveToXlsx(&model, exportDate, m_dir.filePath("empty.xlsx"), deviceName));
    }

    void openpyxlReadsCellsStylesAndEmptyArchives()
    {
        const QJsonObject book = read("frames.xlsx");
        QCOMPARE(book.value("sheets").toArray(), QJsonArray({"Архив Калибратор_Стенд_ №2 _лаб"}));
        QCOMPARE(book.value("title").toString(), title);
        QCOMPARE(book.value("titleFont").toArray(), QJsonArray({"Arial Cyr", 18}));
        QVERIFY(book.value("firstColumnEmpty").toBool());
        QCOMPARE(book.value("widths").toArray(), QJsonArray({4.3, 17.5, 5.5, 9.5, 9.5, 11, 11, 11, 12, 12, 14, 12, 14}));
        const QJsonArray rows = book.value("rows").toArray();
        QCOMPARE(rows.size(), 4);
        QCOMPARE(cells(rows.at(0).toArray(), "value"),
                 QVariantList({"№", "Дата/Время", "Т, °С", "Единицы", "Зав. №", " P, эт.", " P изм.", "Погр., %",
                               "ТЖС Зав. №", "HART P изм.", "HART Погр., %", "Код ошибки", "HART на связи"}));
        QCOMPARE(cells(rows.at(1).toArray(), "type"), QVariantList({"int", "str", "float", "str", "str", "float",
                                                                   "float", "float", "str", "float", "float", "int",
                                                                   "str"}));
        QVERIFY(cells(rows.at(2).toArray(), "value").at(6).isNull());
        for (int r = 0; r < rows.size(); ++r) {
            const QString line = r == 0 ? QStringLiteral("medium") : QStringLiteral("thin");
            for (const QJsonValue& cell : rows.at(r).toArray())
                QCOMPARE(cell.toObject().value("border").toArray(), QJsonArray({line, line, line, line}));
        }
        const QJsonObject empty = read("empty.xlsx");
        QCOMPARE(empty.value("maxRow").toInt(), 4);
        QCOMPARE(cells(empty.value("rows").toArray().at(0).toArray(), "value").first().toString(), QStringLiteral("№"));
    }

    void sheetEndsAtTheLastColumn_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("used");
        QTest::newRow("three frames") << "frames.xlsx" << "B2:N7";
        QTest::newRow("five frames") << "digits.xlsx" << "B2:N9";
        QTest::newRow("no frame") << "empty.xlsx" << "B2:N4";
    }

    // The table ends at "HART на связи" in column N: no cell right of it holds a value, a border or
    // any other style, which would widen the used range.
    void sheetEndsAtTheLastColumn()
    {
        QFETCH(QString, name);
        QFETCH(QString, used);
        QCOMPARE(read(name).value("used").toString(), used);
    }

    // A float is written with its own digits, never seven of them nor its double expansion.
    void floatCellsHoldTheFramesDigits()
    {
        const QJsonArray rows = read("digits.xlsx").value("rows").toArray();
        QCOMPARE(rows.size(), digitFloats.size() + 1);
        for (int r = 0; r < digitFloats.size(); ++r) {
            const QVariantList values = cells(rows.at(r + 1).toArray(), "value");
            for (const int column : floatColumns)
                QCOMPARE(QString::number(values.at(column).toDouble(), 'g', QLocale::FloatingPointShortest),
                         digitFloats.at(r).second);
        }
    }

    void libreOfficeShowsTitleHeadersAndRows()
    {
        XlsxTestFiles::convertWithLibreOffice("csv:Text - txt - csv (StarCalc):44,34,76,1", m_dir.path(), "csv",
                                              {m_dir.filePath("frames.xlsx"), m_dir.filePath("digits.xlsx")});
        const QList<QStringList> rows = XlsxTestFiles::csvRows(m_dir.filePath("csv/frames.csv"));
        QCOMPARE(rows.size(), 7);
        QCOMPARE(rows.at(1).value(3), title);
        QCOMPARE(rows.at(3).value(1), QStringLiteral("№"));
        QCOMPARE(rows.at(4), QStringList({"", "1", "01.11.26 / 14:03:27", "21.5", "кПа", "01234", "100.5", "101.25",
                                          "0.25", "0000056", "100.75", "0.125", "0", "Да"}));
        QCOMPARE(rows.at(5), QStringList({"", "8", "02.11.26 / 14:03:27", "0", "МПа", "00123", "0.5", "", "-1.5",
                                          "0000000", "0", "0", "0", "Нет"}));
        QCOMPARE(rows.at(6), QStringList({"", "512", "03.11.26 / 14:03:27", "0", "кПа", "45678", "10", "10", "0",
                                          "0000000", "0", "0", "3", "Нет"}));
        const QList<QStringList> digits = XlsxTestFiles::csvRows(m_dir.filePath("csv/digits.csv"));
        QCOMPARE(digits.size(), digitFloats.size() + 4);
        for (int r = 0; r < digitFloats.size(); ++r)
            for (const int column : floatColumns)
                QCOMPARE(digits.at(r + 4).value(column + 1), digitFloats.at(r).second);
    }

private:
    QJsonObject read(const QString& name)
    {
        int exitCode = -1;
        const QString output = XlsxTestFiles::runReader(python, {reader, m_dir.filePath(name)}, &exitCode);
        if (exitCode != 0)
            qWarning().noquote() << output;
        return QJsonDocument::fromJson(output.toUtf8()).object();
    }

    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestArchiveOffice)
#include "test_archive_office.moc"

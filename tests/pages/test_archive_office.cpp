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
const QString longName = QStringLiteral("Калибратор/Стенд: №2 [лаборатория]");

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

QVariantList values(const QJsonArray& row)
{
    QVariantList list;
    for (const QJsonValue& cell : row)
        list << cell.toObject().value("value").toVariant();
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
        QVERIFY(saveArchiveToXlsx(&model, exportDate, m_dir.filePath("frames.xlsx"), QStringLiteral("ЗФН")));
        QVERIFY(saveArchiveToXlsx(&model, exportDate, m_dir.filePath("long.xlsx"), longName));
        model.clear();
        QVERIFY(saveArchiveToXlsx(&model, exportDate, m_dir.filePath("empty.xlsx"), QStringLiteral("ЗФН")));
    }

    void openpyxlReadsCellsStylesAndWidths()
    {
        const QJsonObject book = read("frames.xlsx");
        QCOMPARE(book.value("sheets").toArray(), QJsonArray({"Архив ЗФН от 05.12.2026"}));
        QCOMPARE(book.value("title").toString(), QStringLiteral("Архив ЗФН от 05.12.2026"));
        QCOMPARE(book.value("titleFont").toArray(), QJsonArray({"Arial Cyr", 18}));
        QVERIFY(book.value("firstColumnEmpty").toBool());
        QCOMPARE(book.value("widths").toArray(), QJsonArray({4.3, 17.5, 5.5, 9.5, 9.5, 11, 11, 11, 12, 12, 14, 12, 14}));
        const QJsonArray rows = book.value("rows").toArray();
        QCOMPARE(rows.size(), 4);
        QCOMPARE(values(rows.at(0).toArray()),
                 QVariantList({"№", "Дата/Время", "Т, °С", "Единицы", "Зав. №", " P, эт.", " P изм.", "Погр., %",
                               "ТЖС Зав. №", "HART P изм.", "HART Погр., %", "Код ошибки", "HART на связи"}));
        QCOMPARE(values(rows.at(1).toArray()), QVariantList({1, "01.11.26 / 14:03:27", 21.5, "кПа", "01234", 100.5, 101.25,
                                                             0.25, "0000056", 100.75, 0.125, 0, "Да"}));
        QCOMPARE(values(rows.at(2).toArray()), QVariantList({8, "02.11.26 / 14:03:27", 0, "МПа", "00123", 0.5, QVariant::fromValue(nullptr),
                                                             -1.5, "0000000", 0, 0, 0, "Нет"}));
        const QJsonObject serial = rows.at(1).toArray().at(4).toObject();
        const QJsonObject reference = rows.at(1).toArray().at(5).toObject();
        QCOMPARE(serial.value("type").toString(), QStringLiteral("str"));
        QCOMPARE(reference.value("type").toString(), QStringLiteral("float"));
        for (int r = 0; r < rows.size(); ++r) {
            const QString line = r == 0 ? QStringLiteral("medium") : QStringLiteral("thin");
            for (const QJsonValue& cell : rows.at(r).toArray())
                QCOMPARE(cell.toObject().value("border").toArray(), QJsonArray({line, line, line, line}));
        }
    }

    void namesAndEmptyArchives()
    {
        const QJsonObject book = read("long.xlsx");
        QCOMPARE(book.value("title").toString(), "Архив " + longName + " от 05.12.2026");
        QCOMPARE(book.value("sheets").toArray(), QJsonArray({"Архив Калибратор_Стенд_ №2 _лаб"}));
        const QJsonObject empty = read("empty.xlsx");
        QCOMPARE(empty.value("maxRow").toInt(), 4);
        QCOMPARE(values(empty.value("rows").toArray().at(0).toArray()).first().toString(), QStringLiteral("№"));
    }

    void libreOfficeShowsTitleHeadersAndRows()
    {
        XlsxTestFiles::convertWithLibreOffice("csv:Text - txt - csv (StarCalc):44,34,76,1", m_dir.path(), "csv",
                                              {m_dir.filePath("frames.xlsx"), m_dir.filePath("long.xlsx")});
        const QList<QStringList> rows = XlsxTestFiles::csvRows(m_dir.filePath("csv/frames.csv"));
        QCOMPARE(rows.size(), 7);
        QCOMPARE(rows.at(1).value(3), QStringLiteral("Архив ЗФН от 05.12.2026"));
        QCOMPARE(rows.at(3).value(1), QStringLiteral("№"));
        QCOMPARE(rows.at(4), QStringList({"", "1", "01.11.26 / 14:03:27", "21.5", "кПа", "01234", "100.5", "101.25",
                                          "0.25", "0000056", "100.75", "0.125", "0", "Да"}));
        QCOMPARE(rows.at(5), QStringList({"", "8", "02.11.26 / 14:03:27", "0", "МПа", "00123", "0.5", "", "-1.5",
                                          "0000000", "0", "0", "0", "Нет"}));
        QCOMPARE(rows.at(6), QStringList({"", "512", "03.11.26 / 14:03:27", "0", "кПа", "45678", "10", "10", "0",
                                          "0000000", "0", "0", "3", "Нет"}));
        QCOMPARE(XlsxTestFiles::csvRows(m_dir.filePath("csv/long.csv")).value(1).value(3), "Архив " + longName + " от 05.12.2026");
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

#include "ChannelRecord.h"
#include "DeviceSettings.h"
#include "ExcelSaver.h"
#include "ResultsModel.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"
#include "WorkedExample.h"
#include "XlsxTestFiles.h"

#include <QStandardPaths>
#include <QtTest>

namespace {

const QString python = QStringLiteral("/usr/bin/python3");

}  // namespace

// The worked example written by the program's own handlers into the shipped template and into the
// variant, read back by openpyxl and LibreOffice, readers that share no code with ours.
class TestResultsOffice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void openpyxlSeesTheLayoutAndTheGrownRow();
    void libreOfficeReadsTheLists();

private:
    QString protocol(const QString& name) const { return m_dir.filePath(name + QStringLiteral(".xlsx")); }
    QList<QStringList> sheetRows(const QString& name, const QString& sheet) const;

    QTemporaryDir m_dir;
};

void TestResultsOffice::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty())
        QSKIP("LibreOffice is not installed");
    TestEnvironment::prepare();
    initChoiceLists();
    VerificationSettings settings;
    g_verificationSettings = &settings;
    ResultsModel results;
    ChannelRecord channel;
    DeviceSettings device;
    WorkedExample::fill(channel, settings, results);
    ExcelSaver saver;
    saver.setChannel(&channel);
    saver.setDeviceSettings(&device);
    saver.setResultsModel(&results);
    saver.setVerificationSettings(&settings);
    QVERIFY(QDir().mkpath(VerificationSettings::templatesFolder()));
    const QList<QPair<QString, QString>> templates{{"shipped", XlsxTestFiles::shippedTemplate()},
                                                   {"variant", XlsxTestFiles::variantTemplate()}};
    for (const auto& [name, source] : templates) {
        settings.txtProtocolName = QStringLiteral("office-results-%1.xlsx").arg(name);
        QFile::remove(settings.templatePath());
        QVERIFY(QFile::copy(source, settings.templatePath()));
        QVERIFY2(saver.save(protocol(name)), qPrintable(saver.errorString()));
    }
    g_verificationSettings = nullptr;
    XlsxTestFiles::convertWithLibreOffice("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1",
                                          m_dir.path(), "csv", {protocol("shipped"), protocol("variant")});
}

QList<QStringList> TestResultsOffice::sheetRows(const QString& name, const QString& sheet) const
{
    return XlsxTestFiles::csvRows(m_dir.filePath(QStringLiteral("csv/%1-%2.csv").arg(name, sheet)));
}

void TestResultsOffice::openpyxlSeesTheLayoutAndTheGrownRow()
{
    int exitCode = 0;
    QString report = XlsxTestFiles::runReader(
        python,
        {QStringLiteral(ZFN_TEST_DATA "/check_protocol.py"), XlsxTestFiles::variantTemplate(), protocol("variant"),
         "15", "4", "&DEV_SH_1= Прибор 1", "&DEV_VCR_1=Свидетельство Прибор 1", "&DEV_CCR_1=Сертификат Прибор 1@7+2",
         "Примечания=Примечания"},
        &exitCode);
    QVERIFY2(exitCode == 0, qPrintable(report));
    report = XlsxTestFiles::runReader(python, {"-c",
                                               "import sys\nfrom openpyxl import load_workbook\n"
                                               "row = load_workbook(sys.argv[1])[' Прибор 1'].row_dimensions[10]\n"
                                               "print(row.height, row.customHeight)",
                                               protocol("shipped")});
    QCOMPARE(report.trimmed(), QStringLiteral("42.9 True"));
}

void TestResultsOffice::libreOfficeReadsTheLists()
{
    const QList<QStringList> sheet = sheetRows("shipped", " Прибор 1");
    QVERIFY(sheet.size() > 22);
    const QList<QStringList> list{{"1", "-2", "0", "3.968", "-0.2", "0.5", "0.3", "1"},
                                  {"4", "497", "500", "11.952", "-0.3", "0.5", "0.7", "1"},
                                  {"5", "1004.5", "1000", "20.072", "0.45", "0.5", "0", "1"},
                                  {"6", "504", "500", "12.064", "0.4", "0.5", "0.7", "1"},
                                  {"8", "1", "0", "4.016", "0.1", "0.5", "0.3", "1"}};
    for (int group = 0; group < list.size(); ++group)
        QCOMPARE(sheet.at(14 + group).mid(0, 8), list.at(group));
    QCOMPARE(sheet.at(9).first().count(QLatin1Char('\n')), 2);
    QCOMPARE(sheet.at(20).first(), QStringLiteral("Максимальная погрешность: 0.45 %, максимальная вариация: 0.7 %"));
    QCOMPARE(sheet.at(21).first(), QStringLiteral("Результаты поверки положительны. Прибор годен"));

    const QList<QStringList> strokes = sheetRows("variant", "Сертификат Прибор 1");
    QVERIFY(strokes.size() > 8);
    QCOMPARE(strokes.at(5).mid(0, 4), QStringList({"Эталон, кПа", "Прямой ход", "Обратный ход", "Вариация, %"}));
    QCOMPARE(strokes.at(6).mid(0, 4), QStringList({"0", "-2", "1", "0.3"}));
    QCOMPARE(strokes.at(7).mid(0, 4), QStringList({"500", "497", "504", "0.7"}));
    QCOMPARE(strokes.at(8).mid(0, 4), QStringList({"1000", "1004.5", "1004.5", "0"}));
    QCOMPARE(strokes.at(3).first(), QStringLiteral("Результат: пригодным к применению"));
}

QTEST_GUILESS_MAIN(TestResultsOffice)
#include "test_results_office.moc"

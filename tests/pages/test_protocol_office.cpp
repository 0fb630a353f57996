#include "ChannelRecord.h"
#include "DeviceSettings.h"
#include "ExcelSaver.h"
#include "ParametrEnum.h"
#include "ResultsModel.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"
#include "WorkedExample.h"
#include "XlsxTestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QStandardPaths>
#include <QtTest>

namespace {

const QString python = QStringLiteral("/usr/bin/python3");
constexpr int listRow = 15;

// One protocol made for the office readers: its template, groups, verdict and expected pages.
struct Protocol
{
    QString name;
    QString templatePath;
    int groups;
    bool conform;
    QStringList sheetPairs;
    int pages;
};

const QStringList conformingSheets{"&DEV_SH_1= Прибор 1", "&DEV_VCR_1=Свидетельство Прибор 1"};

// A conforming protocol from the shipped template.
Protocol shipped(int groups, int pages)
{
    return {QStringLiteral("%1 groups").arg(groups), XlsxTestFiles::shippedTemplate(), groups, true, conformingSheets, pages};
}

// With 16 to 18 groups the end of the first page falls within the signature block's rows, with 42
// and 43 the end of the second.
const QList<Protocol> protocols{
    {"conform", XlsxTestFiles::shippedTemplate(), 5, true, conformingSheets, 3},
    {"rejected", XlsxTestFiles::shippedTemplate(), 40, false, {"&DEV_SH_1= Прибор 1", "&DEV_VER_1=Извещение Прибор 1"}, 4},
    {"variant", XlsxTestFiles::variantTemplate(), 5, true,
     {"&DEV_SH_1= Прибор 1", "&DEV_VCR_1=Свидетельство Прибор 1", "&DEV_CCR_1=Сертификат Прибор 1@7+2",
      "Примечания=Примечания"},
     5},
    shipped(1, 2),
    shipped(3, 3),
    shipped(15, 3),
    shipped(16, 3),
    shipped(17, 3),
    shipped(18, 3),
    shipped(42, 4),
    shipped(43, 4),
    shipped(60, 5),
};

// The page number footer is printed on every page, also on one that holds nothing else.
const QRegularExpression footer(QStringLiteral("Стр\\. \\d+ из \\d+"));
const QString conformity = QStringLiteral("соответствует");
constexpr int stampSize = 64;

// The records a protocol is written from, handed to one engine.
struct ProtocolBench
{
    ProtocolBench()
    {
        g_verificationSettings = &settings;
        WorkedExample::attach(saver, channel, device, results, settings);
        WorkedExample::fill(channel, settings, results);
    }
    ~ProtocolBench() { g_verificationSettings = nullptr; }
    bool write(const QString& templatePath, const QString& name, const QString& output)
    {
        settings.txtProtocolName = QStringLiteral("office-%1.xlsx").arg(name);
        return XlsxTestFiles::installTemplate(templatePath, settings.txtProtocolName) && saver.save(output);
    }

    VerificationSettings settings;
    ResultsModel results;
    ChannelRecord channel;
    DeviceSettings device;
    ExcelSaver saver;
};

}  // namespace

// The program's handlers write the worked example, and forty groups that fail a check, into the
// shipped template and the variant; openpyxl and LibreOffice, readers that share no code with
// ours, read them back.
class TestProtocolOffice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void openpyxlSeesTheTemplateLayout();
    void libreOfficePrintsEveryPage_data();
    void libreOfficePrintsEveryPage();
    void libreOfficeReadsTheValues();
    void shippedTableListsTheGroups_data();
    void shippedTableListsTheGroups();

private:
    QString output(const QString& name) const { return m_dir.filePath(name + QStringLiteral(".xlsx")); }
    QString pdf(const QString& name) const { return m_dir.filePath(QStringLiteral("pdf/%1.pdf").arg(name)); }
    QStringList convert(const QString& filter, const QString& folder);
    QList<QStringList> sheetRows(const QString& name, const QString& sheet) const;
    QStringList pageTexts(const QString& name) const;
    // The pages that print a square picture of size pixels, one entry for each.
    QList<int> picturePages(const QString& name, int size) const;

    QTemporaryDir m_dir;
};

void TestProtocolOffice::initTestCase()
{
    for (const QString& tool : {QStringLiteral("soffice"), QStringLiteral("pdfinfo")})
        if (QStandardPaths::findExecutable(tool).isEmpty())
            QSKIP("LibreOffice or poppler-utils is not installed");
    TestEnvironment::prepare();
    initChoiceLists();
    for (const Protocol& protocol : protocols) {
        ProtocolBench bench;
        if (protocol.groups != 5) {
            bench.results.clear();
            for (int group = 1; group <= protocol.groups; ++group)
                bench.results.append(WorkedExample::point(bench.channel, group, 25.0 * group, 25.0 * group + 1));
        }
        bench.settings.prTrial->setValue(protocol.conform ? 0 : 1);
        QVERIFY2(bench.write(protocol.templatePath, protocol.name, output(protocol.name)),
                 qPrintable(bench.saver.errorString()));
    }
}

void TestProtocolOffice::openpyxlSeesTheTemplateLayout()
{
    for (const Protocol& protocol : protocols) {
        int exitCode = 0;
        const QStringList arguments{QStringLiteral(ZFN_TEST_DATA "/check_protocol.py"), protocol.templatePath,
                                    output(protocol.name), QString::number(listRow), QString::number(protocol.groups - 1)};
        const QString report = XlsxTestFiles::runReader(python, arguments + protocol.sheetPairs, &exitCode);
        QVERIFY2(exitCode == 0, qPrintable(protocol.name + QStringLiteral(":\n") + report));
    }
    // The reference list grew row 10 to three lines of the 11-point font.
    const QString report = XlsxTestFiles::runReader(python, {"-c",
                                                             "import sys\nfrom openpyxl import load_workbook\n"
                                                             "row = load_workbook(sys.argv[1])[' Прибор 1'].row_dimensions[10]\n"
                                                             "print(row.height, row.customHeight)",
                                                             output("conform")});
    QCOMPARE(report.trimmed(), QStringLiteral("42.9 True"));
}

QStringList TestProtocolOffice::convert(const QString& filter, const QString& folder)
{
    QStringList files;
    for (const Protocol& protocol : protocols)
        files << output(protocol.name);
    XlsxTestFiles::convertWithLibreOffice(filter, m_dir.path(), folder, files);
    return QDir(m_dir.filePath(folder)).entryList(QDir::Files, QDir::Name);
}

QList<QStringList> TestProtocolOffice::sheetRows(const QString& name, const QString& sheet) const
{
    return XlsxTestFiles::csvRows(m_dir.filePath(QStringLiteral("csv/%1-%2.csv").arg(name, sheet)));
}

QStringList TestProtocolOffice::pageTexts(const QString& name) const
{
    // pdftotext ends every page with a form feed.
    QStringList texts =
        XlsxTestFiles::runReader(QStringLiteral("pdftotext"), {pdf(name), "-"}).split(QLatin1Char('\f'));
    texts.removeLast();
    return texts;
}

QList<int> TestProtocolOffice::picturePages(const QString& name, int size) const
{
    QList<int> pages;
    const QStringList images = XlsxTestFiles::runReader(QStringLiteral("pdfimages"), {"-list", pdf(name)}).split('\n');
    for (const QString& line : images.mid(2)) {
        const QStringList fields = line.simplified().split(QLatin1Char(' '));
        if (fields.size() > 4 && fields.at(3).toInt() == size && fields.at(4).toInt() == size)
            pages << fields.first().toInt();
    }
    return pages;
}

void TestProtocolOffice::libreOfficePrintsEveryPage_data()
{
    QCOMPARE(convert(QStringLiteral("pdf"), QStringLiteral("pdf")).size(), protocols.size());
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("pages");
    for (const Protocol& protocol : protocols)
        QTest::newRow(qPrintable(protocol.name)) << protocol.name << protocol.pages;
}

// Every page prints some text: the table starts under the heading, the signatures, the date and the
// stamp share one page, and each of the four checks stands under a name of its own.
void TestProtocolOffice::libreOfficePrintsEveryPage()
{
    QFETCH(QString, name);
    QFETCH(int, pages);
    const QString info = XlsxTestFiles::runReader(QStringLiteral("pdfinfo"), {pdf(name)});
    const QRegularExpressionMatch count = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    QVERIFY2(count.hasMatch(), qPrintable(info));
    QCOMPARE(count.captured(1).toInt(), pages);

    const QStringList texts = pageTexts(name);
    QCOMPARE(texts.size(), pages);
    for (int page = 0; page < pages; ++page)
        QVERIFY2(!QString(texts.at(page)).remove(footer).trimmed().isEmpty(), qPrintable(QString::number(page + 1)));
    QVERIFY(texts.first().contains(QStringLiteral("Давление, кПа")));

    const QList<int> stampPages = picturePages(name, stampSize);
    QCOMPARE(stampPages.size(), 1);
    const QString stampPage = texts.value(stampPages.first() - 1);
    for (const char* signature : {"Поверитель", "Руководитель", "Дата поверки"})
        QVERIFY2(stampPage.contains(QString::fromUtf8(signature)), signature);

    const QString all = texts.join(QLatin1Char(' ')).simplified();
    const int from = all.indexOf(QStringLiteral("Опробование"));
    QVERIFY(from >= 0);
    const QString checks = all.mid(from, all.indexOf(footer, from) - from);
    QSet<QString> names;
    QRegularExpressionMatchIterator named =
        QRegularExpression(QStringLiteral("([^.,:]+): (не )?") + conformity).globalMatch(checks);
    while (named.hasNext())
        names << named.next().captured(1).trimmed();
    QCOMPARE(checks.count(conformity), 4);
    QVERIFY2(names.size() == 4, qPrintable(checks));
}

void TestProtocolOffice::libreOfficeReadsTheValues()
{
    convert(QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1"),
            QStringLiteral("csv"));
    const QList<QStringList> sheet = sheetRows("conform", " Прибор 1");
    QVERIFY(sheet.size() > 22);
    QCOMPARE(sheet.at(listRow - 1).mid(0, 7), QStringList({"-2", "0", "3.968", "-0.2", "0.5", "0.3", "1"}));
    QCOMPARE(sheet.at(listRow + 3).mid(0, 7), QStringList({"1", "0", "4.016", "0.1", "0.5", "0.3", "1"}));
    QCOMPARE(sheet.at(9).first().count(QLatin1Char('\n')), 2);
    QCOMPARE(sheet.at(20).first(), QStringLiteral("Максимальная погрешность: 0.45 %, максимальная вариация: 0.7 %"));
    QCOMPARE(sheet.at(21).first(), QStringLiteral("Результаты поверки положительны. Прибор годен"));

    const QList<QStringList> rejected = sheetRows("rejected", " Прибор 1");
    QVERIFY(rejected.size() > listRow + 41);
    QCOMPARE(rejected.at(listRow - 1 + 39).mid(0, 3), QStringList({"1001", "1000", "20.016"}));
    QCOMPARE(rejected.at(listRow + 41).first(), QStringLiteral("Результаты поверки отрицательны. Прибор забракован"));

    const QList<QStringList> strokes = sheetRows("variant", "Сертификат Прибор 1");
    QVERIFY(strokes.size() > 8);
    QCOMPARE(strokes.at(6).mid(0, 4), QStringList({"0", "-2", "1", "0.3"}));
    QCOMPARE(strokes.at(7).mid(0, 4), QStringList({"500", "497", "504", "0.7"}));
    QCOMPARE(strokes.at(8).mid(0, 4), QStringList({"1000", "1004.5", "1004.5", "0"}));
    QCOMPARE(strokes.at(3).first(), QStringLiteral("Результат: пригодным к применению"));
}

void TestProtocolOffice::shippedTableListsTheGroups_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("maxVariation");
    QTest::newRow("one group") << QStringList{"101.1|100|5.618|0.11|0.5|0|1"} << "0";
    QTest::newRow("three groups") << QStringList{"101.1|100|5.618|0.11|0.5|20|1", "201.1|200|7.218|0.11|0.5|0|1",
                                                 "301.1|300|8.818|0.11|0.5|20|1"}
                                  << "20";
}

// Groups of twelve points whose last point stands for the group: the table reads one line a group,
// no point's place among the results, and the output signal names its unit once.
void TestProtocolOffice::shippedTableListsTheGroups()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, maxVariation);
    const int groups = lines.size();
    const QString name = QStringLiteral("groups-%1").arg(groups);
    {
        ProtocolBench bench;
        bench.results.clear();
        for (int group = 1; group <= groups; ++group)
            for (int k = 0; k < 12; ++k)
                bench.results.append(WorkedExample::point(bench.channel, group, 100.0 * group, 100.0 * group + 0.1 * k));
        QVERIFY2(bench.write(XlsxTestFiles::shippedTemplate(), name, output(name)), qPrintable(bench.saver.errorString()));
    }
    int exitCode = 0;
    const QString report = XlsxTestFiles::runReader(
        python, {"-c",
                 "import json, sys\nfrom openpyxl import load_workbook\n"
                 "ws = load_workbook(sys.argv[1])[' Прибор 1']\n"
                 "print(json.dumps([[ws.cell(r, c).value or '' for c in range(1, 10)] for r in range(1, 30)]))",
                 output(name)},
        &exitCode);
    QVERIFY2(exitCode == 0, qPrintable(report));
    QList<QStringList> rows;
    for (const QJsonValue& row : QJsonDocument::fromJson(report.toUtf8()).array())
        rows << row.toVariant().toStringList();
    QCOMPARE(rows.size(), 29);
    QCOMPARE(rows.at(4).first(), QStringLiteral("Диапазон измерений: 0...1000 кПа, выходной сигнал 4 - 20 мА"));
    QCOMPARE(rows.at(13), QStringList({"Давление, кПа", "Эталон, кПа", "Ток, мА", "Погрешность, %", "Допуск, %",
                                       "Вариация, %", "Допуск вариации, %", "", ""}));
    for (int line = 0; line < groups; ++line)
        QCOMPARE(QStringList(rows.at(listRow - 1 + line).mid(0, 8)).join('|'), lines.at(line) + '|');
    QVERIFY(rows.at(listRow - 1 + groups).join(QString()).isEmpty());
    QCOMPARE(rows.at(listRow + groups).first(),
             QStringLiteral("Максимальная погрешность: 0.11 %, максимальная вариация: %1 %").arg(maxVariation));
}

QTEST_GUILESS_MAIN(TestProtocolOffice)
#include "test_protocol_office.moc"

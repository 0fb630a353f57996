#include "ChannelRecord.h"
#include "DeviceSettings.h"
#include "ExcelSaver.h"
#include "ParametrDouble.h"
#include "ParametrEnum.h"
#include "ParametrInt.h"
#include "ParametrString.h"
#include "ProtocolPlaceholders.h"
#include "ResultsModel.h"
#include "TestEnvironment.h"
#include "VerificationSettings.h"
#include "WorkedExample.h"
#include "XlsxPackage.h"
#include "XlsxTestFiles.h"
#include "XlsxWorkbook.h"
#include "XlsxWorksheet.h"

#include <QtEndian>
#include <QtTest>

namespace {

constexpr double missing = std::numeric_limits<double>::quiet_NaN();
const QString markupError = QStringLiteral("Ошибка разметки файла шаблона!");
const QString saveError = QStringLiteral("Ошибка при сохранении протокола!");

const QString conformingVerdict = QStringLiteral(
    "признано соответствующим установленным в описании типа метрологическим требованиям и пригодным к применению "
    "в сфере государственного регулирования обеспечения единства измерений");
const QString failingVerdict =
    QStringLiteral("признано не соответствующим установленным в описании типа метрологическим требованиям");
const QString periodic = QStringLiteral("на основании результатов периодической поверки ");
const QString eitherKind = QStringLiteral("на основании результатов первичной (периодической) поверки ");

// A cell text, what it becomes when every group conforms and, where that differs, when one check failed.
struct Expected
{
    QString text;
    QString conforming;
    QString failing = {};
};

const QList<Expected> catalogue{
    {"&ET_ZFN_TYPE &ET_ZFN_SERIAL &ET_ZFN_ACC [&ET_ZFN_INTERVAL]", "ЗФН-030 30042 0.01875 []"},
    {"&ET_TZS_TYPE &ET_TZS_SERIAL &ET_TZS_ACC &ET_TZS_INTERVAL", "ТЖС-020 1234567 0,05 250...0 кПа"},
    {"&ET_PSET_TYPE &ET_PSET_SERIAL &ET_PSET_ACC [&ET_PSET_INTERVAL]", "Задатчик N42 0,02 []"},
    {"&ET_TYPE &ET_SERIAL &ET_OWNER &ET_UNIT &ET_LO &ET_HI", "ЗФН-030 30042 ООО Метролог кПа 0 250"},
    {"&ET_TZS_AVER &ET_MODEL &ET_CLASS &ET_REG_NUM &ET_ACC", "8 005 0,05 12345-67 2"},
    {"&CD_TEMP_FULL, &CD_HUM_FULL, &CD_PRES_FULL", "температура 21,5 °C, влажность 45 %, атмосферное давление 745 мм рт.ст."},
    {"&CD_TEMP &CD_HUM &CD_PRES &CD_PRES_UNITS", "21,5 45 745 мм рт.ст."},
    {"&CD_DATE &CD_VAL_DATE [&CD_CLASS] &CD_DV_COUNT &CD_VRCOEFF", "2024.05.17 2024.05.17 [] 1 1"},
    {"&CD_VERIF_POS &CD_VERIF, &CD_CHEF_POS &CD_CHEF", "поверитель Иванов И.И., начальник Петров П.П."},
    {"&CD_ORG, &CD_ADDRESS, &CD_CRT_NUM", "ООО Метролог, г. Энск, RA.RU.000"},
    {"&D_VR_TYPE_OF &VR_D_TYPE_OF &VR_D1_TYPE_OF", "периодической периодической периодической"},
    {"&D_VR_TYPE &VR_D_TYPE &VR_D1_TYPE", "периодическая периодическая периодическая"},
    {"&D_NAME &D1_NAME &D_TYPE &D1_TYPE &D_SERIAL &D1_SERIAL", "ДИ ДИ ДИ ДИ S-100 S-100"},
    {"&D_SIGNAL_UNIT &D1_SIGNAL_UNIT &D_UNIT &D1_UNIT &D_ET_UNIT &D1_ET_UNIT", "мА мА кПа кПа кПа кПа"},
    {"&D_DATE &D1_DATE &D_AMB &D1_AMB &D_INV &D1_INV", "     "},
    {"&D_FINTERVAL; &D1_FINTERVAL; &D_SIGNAL; &D1_SIGNAL", "0...1000 кПа; 0...1000 кПа; √4 - 20 мА; √4 - 20 мА"},
    {"&D_OWNER/&D1_OWNER/&D_NOTES/&D1_NOTES", "АО Завод/АО Завод/без замечаний/без замечаний"},
    {"&D_DOC_VR &D1_DOC_VR &D_DOC_CL &D1_DOC_CL", "МП-1 МП-1 МП-1 МП-1"},
    {"&VR_D1_DOC_VR &VR_D_DOC_VR &VR_D1_DOC_CL &VR_D_DOC_CL", "МП-1 МП-1 МП-1 МП-1"},
    {"&D_SH_NUM/&D1_SH_NUM", "17/05/17/05"},
    {"&D_CHECK_THT/&D1_CHECK_THT/&D_CHECK_EL/&D1_CHECK_EL", "соответствует/соответствует/-/-"},
    {"&D_CHECK_USG", "соответствует", "не соответствует"},
    {"&D_CHECK_R", "соответствует"},
    {"&D_VCR_NUM&D1_VCR_NUM&D_VCR_ID&D1_VCR_ID&D_VER_NUM&D1_VER_NUM", ""},
    {"&D_VER_ID&D1_VER_ID&D_VER_CAUSE&D1_VER_CAUSE&D_REG_NUM&D1_REG_NUM", ""},
    {"&VR_MAX_ACC &VR_D_MAX_ACC &VR_D1_MAX_ACC &VR_MAX_VAR &VR_D_MAX_VAR &VR_D1_MAX_VAR", "0.45 0.45 0.45 0.7 0.7 0.7"},
    {"&VR_RESULT_VCR", eitherKind + conformingVerdict, eitherKind + failingVerdict},
    {"&VR_D_RESULT_VCR|&VR_D1_RESULT_VCR", periodic + conformingVerdict + '|' + periodic + conformingVerdict,
     periodic + failingVerdict + '|' + periodic + failingVerdict},
    {"&VR_RESULT_SHORT &VR_D_RESULT_SHORT &VR_D1_RESULT_SHORT", "положительны положительны положительны",
     "отрицательны отрицательны отрицательны"},
    {"&VR_RESULT &VR_D_RESULT &VR_D1_RESULT", "Прибор годен Прибор годен Прибор годен",
     "Прибор забракован Прибор забракован Прибор забракован"},
    {"&VR_RES_DOC", "Выписано свидетельство о поверке № от 2024.05.17",
     "Выписано извещение о непригодности № от 2024.05.17"},
    {"&VR_D_RES_DOC|&VR_D1_RES_DOC",
     "Выписано свидетельство о поверке № 17/05 от 2024.05.17|Выписано свидетельство о поверке № 17/05 от 2024.05.17",
     "Выписано извещение о непригодности № 17/05 от 2024.05.17|Выписано извещение о непригодности № 17/05 от 2024.05.17"},
    {"&VR_D_SUITABLE &VR_D1_SUITABLE", "пригодным к применению пригодным к применению",
     "непригодным к применению непригодным к применению"},
    {"Условия: &CD_TEMP °C, &CD_TEMP_FULL", "Условия: 21,5 °C, температура 21,5 °C"},
    {"&XX_UNKNOWN & &", "&XX_UNKNOWN & &"},
    {"&LST_H и слова", "&LST_H и слова"},
};

// A list row of one key of every group field (the last descending), copied for every group; the
// maxima and the verdict below it, then a half list and the text that follows it.
const QStringList listKeys{"&D_INX_I", "&D1_VAL_I", "&VR_E_I",       "&D_SGN_I", "&D_ECSGN_I",   "&D_ACC_I",
                           "&D1_ALL_ACC_I", "&D_INT_I", "&D_UNC_PRC_I", "&D_VAR_I", "&D_ALL_VAR_I", "&D_INX_D"};

// A result of the channel; in MPa it is taken on a channel of 0...1 MPa, the same span.
struct Point
{
    int group;
    double reference;
    double measured;
    bool megapascal = false;
    bool hasCurrent = true;
};
using Points = QList<Point>;

// The program's handlers, failing at one cell as a failed write would.
class FailingFiller : public ProtocolPlaceholders
{
public:
    bool replaceScalarPlaceholders(ExcelSaver& saver, QString& text, int row, int column) override
    {
        return (row != 4 || column != 1) && ProtocolPlaceholders::replaceScalarPlaceholders(saver, text, row, column);
    }
};

QString templatePath(const QString& fileName)
{
    return VerificationSettings::templatesFolder() + fileName;
}

bool anyKeyLeft(XlsxWorksheet* sheet)
{
    for (int row = sheet->nextRow(0); row; row = sheet->nextRow(row))
        for (int column = sheet->nextColumn(row, 0); column; column = sheet->nextColumn(row, column))
            if (sheet->cellText(row, column).contains(QLatin1Char('&')))
                return true;
    return false;
}

}  // namespace

Q_DECLARE_METATYPE(Points)

// The protocol engine with the program's placeholder handlers, on the worked example: every key,
// the group rows, the sheets kept for the verdict, and the saves it refuses.
class TestExcelSaver : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void keysInBothVerdicts();
    void groupRows_data();
    void groupRows();
    void everyListKeyAlias_data();
    void everyListKeyAlias();
    void sheetsAreKeptRenamedOrDropped_data();
    void sheetsAreKeptRenamedOrDropped();
    void failuresWriteNothing_data();
    void failuresWriteNothing();
    void moduleLimitsKeepTheirDigits_data();
    void moduleLimitsKeepTheirDigits();

private:
    // Saves the template made of cells; the first sheet of the written protocol, or null.
    XlsxWorksheet* fill(const XlsxTestFiles::Cells& cells);
    bool save(const QString& templateName, const QString& output);
    ResultRecord pointOf(const Point& point) const;

    std::unique_ptr<VerificationSettings> m_settings;
    std::unique_ptr<ResultsModel> m_results;
    ChannelRecord m_channel;
    DeviceSettings m_device;
    std::unique_ptr<ExcelSaver> m_saver;
    std::unique_ptr<XlsxWorkbook> m_protocol;
    QTemporaryDir m_out;
};

void TestExcelSaver::initTestCase()
{
    TestEnvironment::prepareWithChoiceLists();
    QVERIFY(m_out.isValid());
    QVERIFY(XlsxTestFiles::makeTemplate(QStringLiteral("good.xlsx"), {"&DEV_SH_1", "&DEV_VCR_1", "&DEV_VER_1"}));
    QVERIFY(XlsxTestFiles::makeTemplate(QStringLiteral("only.xlsx"), {QStringLiteral("&DEV_VER_1")}));
    QFile broken(templatePath(QStringLiteral("broken.xlsx")));
    QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("PK\x03\x04 broken") > 0);
}

void TestExcelSaver::init()
{
    m_settings = std::make_unique<VerificationSettings>();
    g_verificationSettings = m_settings.get();
    m_results = std::make_unique<ResultsModel>();
    m_channel = ChannelRecord();
    WorkedExample::fill(m_channel, *m_settings, *m_results);
    m_channel.characteristic = 1;
    m_device = DeviceSettings();
    qToLittleEndian<quint32>(30042, m_device.bytes.data() + DeviceSettings::CalibratorSerialByte);
    qToLittleEndian<quint32>(1234567, m_device.bytes.data() + DeviceSettings::ModuleSerialByte);
    qToLittleEndian(250.0f, m_device.bytes.data() + DeviceSettings::ModuleUpperByte);
    m_device.bytes[DeviceSettings::AveragingByte] = 8;
    m_device.bytes[DeviceSettings::ModuleUnitByte] = 6;
    m_saver = std::make_unique<ExcelSaver>();
    WorkedExample::attach(*m_saver, m_channel, m_device, *m_results, *m_settings);

    VerificationSettings& s = *m_settings;
    s.temperature = QStringLiteral("21,5");
    s.humidity = QStringLiteral("45");
    s.atmPressure = QStringLiteral("745");
    s.verificatorName = QStringLiteral("Иванов И.И.");
    s.verificatorPos = QStringLiteral("поверитель");
    s.chefName = QStringLiteral("Петров П.П.");
    s.chefPos = QStringLiteral("начальник");
    s.protocolDate = QStringLiteral("2024.05.17");
    s.accuracyClassText = QStringLiteral("0,05");
    s.etalonModelText = QStringLiteral("005");
    s.connectedModelName = QStringLiteral("ЗФН-030");
    s.modelTZS = 12;
    s.tzsAccuracyClass = 1;
    s.prProtocolNumber->setValue(QStringLiteral("17/05"));
    s.prOrganisation->setValue(QStringLiteral("ООО Метролог"));
    s.prOrganisationAddress->setValue(QStringLiteral("г. Энск"));
    s.prOrganisationCert->setValue(QStringLiteral("RA.RU.000"));
    s.prDeviceOwner->setValue(QStringLiteral("АО Завод"));
    s.prDeviceNotes->setValue(QStringLiteral("без замечаний"));
    s.prDeviceDoc->setValue(QStringLiteral("МП-1"));
    s.prVerificationType->setValue(1);
    s.prCheckInsulationStrength->setValue(2);
    s.prRegNumberZfn->setValue(QStringLiteral("12345-67"));
    s.prPsetterType->setValue(QStringLiteral("Задатчик"));
    s.prPsetterNumber->setValue(QStringLiteral("N42"));
    s.prPsetterAccuracy->setValue(QStringLiteral("0,02"));
}

bool TestExcelSaver::save(const QString& templateName, const QString& output)
{
    m_settings->txtProtocolName = templateName;
    return m_saver->save(output);
}

XlsxWorksheet* TestExcelSaver::fill(const XlsxTestFiles::Cells& cells)
{
    const QString name = QStringLiteral("cells.xlsx");
    const QString output = m_out.filePath(name);
    if (!XlsxTestFiles::makeTemplate(name, {QStringLiteral("&DEV_SH_1")}, cells) || !save(name, output)) {
        qWarning() << m_saver->errorString();
        return nullptr;
    }
    m_protocol = std::make_unique<XlsxWorkbook>();
    return m_protocol->openFile(output) ? m_protocol->worksheet(0) : nullptr;
}

ResultRecord TestExcelSaver::pointOf(const Point& point) const
{
    ChannelRecord channel = m_channel;
    if (point.megapascal) {
        channel.unit = 2;
        channel.rangeHigh = 1;
    }
    ResultRecord record = WorkedExample::point(channel, point.group, point.reference, point.measured);
    record.setHasCurrent(point.hasCurrent);
    return record;
}

// Passes end with row and column 999. The reference list grows rows of 11 and 13 points and leaves
// one of 82 points when it fits: three fixed lines, then the user's own two.
void TestExcelSaver::keysInBothVerdicts()
{
    const QString fixedLines = QStringLiteral("Эталон: ЗФН-030; 30042; 12345-67; 4..20 мА; \nЭталон: ТЖС-020; 005; "
                                              "250...0 кПа; \nЗадатчик давления: Задатчик; N42; 0,02; ");
    XlsxTestFiles::Cells cells{{{10, 1}, "&CD_ET_AUX_LST"}, {{2, 1}, "&CD_ET_AUX_LST"}, {{20, 1}, "&CD_ET_AUX_LST"}};
    for (int i = 0; i < catalogue.size(); ++i)
        cells[{i + 1, 2}] = catalogue[i].text;
    for (const auto& [row, column] : {qMakePair(999, 1), qMakePair(1000, 1), qMakePair(3, 999), qMakePair(3, 1000)})
        cells[{row, column}] = QStringLiteral("&D_NAME");
    for (const bool conform : {true, false}) {
        m_settings->prTrial->setValue(conform ? 0 : 1);
        m_settings->prEtalonList->setValue(conform ? QString() : QStringLiteral("Манометр МО-250\r\nБарометр БАММ-1"));
        XlsxWorksheet* sheet = fill(cells);
        QVERIFY(sheet);
        for (int i = 0; i < catalogue.size(); ++i) {
            const Expected& expected = catalogue[i];
            const QString text = conform || expected.failing.isNull() ? expected.conforming : expected.failing;
            QVERIFY2(sheet->cellText(i + 1, 2) == text,
                     qPrintable(QStringLiteral("%1 gave %2").arg(expected.text, sheet->cellText(i + 1, 2))));
        }
        const QStringList edges{sheet->cellText(999, 1), sheet->cellText(3, 999), sheet->cellText(1000, 1),
                                sheet->cellText(3, 1000)};
        QCOMPARE(edges, QStringList({"ДИ", "ДИ", "&D_NAME", "&D_NAME"}));
        const int lines = conform ? 3 : 5;
        QCOMPARE(sheet->cellText(10, 1), conform ? fixedLines : fixedLines + "\nМанометр МО-250\nБарометр БАММ-1");
        QCOMPARE(sheet->rowHeight(10), lines * 11 * 1.3);
        QCOMPARE(sheet->rowHeight(2), lines * 13 * 1.3);
        QCOMPARE(sheet->rowHeight(20), std::max(82.0, lines * 11 * 1.3));
    }
}

void TestExcelSaver::groupRows_data()
{
    QTest::addColumn<Points>("points");
    QTest::addColumn<int>("insulation");
    QTest::addColumn<double>("coefficient");
    // The channel's span, which the variations are relative to.
    QTest::addColumn<double>("span");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<int>("halfEnd");
    // Groups 1 to 5 on result rows 1, 4, 5, 6, 8; the first with its uncertainty.
    const QStringList worked{"1|-2|0|3.968|4|-0.2|0.5|0 .. 1000|0.123|0.3|1|8",
                             "4|497|500|11.952|12|-0.3|0.5|0 .. 1000|-|0.7|1|6",
                             "5|1004.5|1000|20.072|20|0.45|0.5|0 .. 1000|-|0|1|5",
                             "6|504|500|12.064|12|0.4|0.5|0 .. 1000|-|0.7|1|4",
                             "8|1|0|4.016|4|0.1|0.5|0 .. 1000|-|0.3|1|1"};
    const QString rejected = QStringLiteral("отрицательны 0.45 0.7");
    QTest::newRow("worked example") << Points() << 0 << 1.0 << 1000.0 << worked << "положительны 0.45 0.7" << 10;
    QTest::newRow("insulation failed") << Points() << 1 << 1.0 << 1000.0 << worked << rejected << 10;
    QTest::newRow("coefficient at the largest error")
        << Points() << 0 << 0.9 << 1000.0 << worked << "положительны 0.45 0.7" << 10;
    QTest::newRow("coefficient below it") << Points() << 0 << 0.8 << 1000.0 << worked << rejected << 10;
    QTest::newRow("order of first use, ties to the later point")
        << Points{{2, 0, 2.0}, {0, 0, 50.0}, {1, 0, -3.0}, {2, 0, -5.0}, {1, 0, 3.0}} << 0 << 1.0 << 1000.0
        << QStringList{"3|-5|0|3.92|4|-0.5|0.5|0 .. 1000|-|0.8|1|4", "4|3|0|4.048|4|0.3|0.5|0 .. 1000|-|0.8|1|3"}
        << "положительны 0.5 0.8" << 5;
    const Points mirrored{{1, 100, 100}, {2, 0.1, 0.101, true, false}};
    QTest::newRow("mirrored points in other units")
        << mirrored << 0 << 1.0 << 1000.0
        << QStringList{"0|100|100|5.6|9.06|0|0.5|0 .. 1000|-|0.1|1|1", "1|101|100|-|9.06|0.1|0.5|0 .. 1000|-|0.1|1|0"}
        << "положительны 0.1 0.1" << 5;
    QTest::newRow("channel without span")
        << mirrored << 0 << 1.0 << 0.0
        << QStringList{"0|100|100|5.6|9.06|0|0.5|0 .. 1000|-|-|1|1", "1|101|100|-|9.06|0.1|0.5|0 .. 1000|-|-|1|0"}
        << "положительны 0.1 0" << 5;
    QTest::newRow("no group at all") << Points{{0, 0, 0.1}} << 0 << 1.0 << 1000.0
                                     << QStringList{"-|-|-|-|-|-|-|-|-|-|-|-"} << "отрицательны 0 0" << 4;
    QTest::newRow("a group without numbers")
        << Points{{0, 0, 0.1}, {1, 0, missing}, {2, 0, 1.0}} << 0 << 1.0 << 1000.0
        << QStringList{"-|-|-|-|-|-|-|-|-|-|-|2", "2|1|0|4.016|4|0.1|0.5|0 .. 1000|-|-|-|-"} << "отрицательны 0.1 0" << 5;
}

void TestExcelSaver::groupRows()
{
    QFETCH(Points, points);
    QFETCH(int, insulation);
    QFETCH(double, coefficient);
    QFETCH(double, span);
    QFETCH(QStringList, rows);
    QFETCH(QString, summary);
    QFETCH(int, halfEnd);
    m_results->record(1)->expandedRelative = 0.123;
    m_results->record(1)->expandedSet = true;
    if (!points.isEmpty())
        m_results->clear();
    for (const Point& point : points)
        m_results->append(pointOf(point));
    m_channel.rangeHigh = m_channel.rangeLow + span;
    m_settings->prCheckInsulationResistance->setValue(insulation);
    m_results->setCoefficient(coefficient);
    XlsxTestFiles::Cells cells{{{1, listKeys.size() + 1}, "&LST_F"},
                               {{2, 1}, "&VR_RESULT_SHORT &VR_MAX_ACC &VR_MAX_VAR"},
                               {{3, 1}, "&LST_H"},
                               {{4, 1}, "конец"}};
    for (int column = 0; column < listKeys.size(); ++column)
        cells[{1, column + 1}] = listKeys.at(column);
    XlsxWorksheet* sheet = fill(cells);
    QVERIFY(sheet);
    for (int row = 0; row < rows.size(); ++row) {
        QStringList texts;
        for (int column = 1; column <= listKeys.size(); ++column)
            texts << sheet->cellText(row + 1, column);
        QCOMPARE(texts.join('|'), rows.at(row));
        QCOMPARE(sheet->cellText(row + 1, listKeys.size() + 1), QString());
    }
    QCOMPARE(sheet->cellText(rows.size() + 1, 1), summary);
    QCOMPARE(sheet->cellText(halfEnd, 1), QStringLiteral("конец"));
}

void TestExcelSaver::everyListKeyAlias_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("texts");
    // Three groups whose fields all differ from the top to the bottom, but the variation, mirrored
    // by its nature, and field 7, which is always empty.
    const struct
    {
        QStringList keys;
        QStringList fields;
    } codes[] = {
        {{"&D1_INX", "&D_INX"}, {"0", "1", "2"}},
        {{"&D_I", "&D1_SGN", "&D_SGN"}, {"4.016", "11.952", "20.072"}},
        {{"&D1_ECSGN", "&D_ECSGN"}, {"4", "15.314", "20"}},  // square-root characteristic
        {{"&D_P", "&D1_VAL", "&D_VAL"}, {"1", "497", "1004.5"}},
        {{"&VR_E", "&D1_REFF", "&D_REFF"}, {"0", "500", "1000"}},
        {{"&D_ACC", "&D1_ACC"}, {"0.1", "-0.3", "0.45"}},
        {{"&D_ALL_ACC", "&D1_ALL_ACC"}, {"0.5", "0.6", "0.7"}},
        {{"&D_INT", "&D1_INT"}, {"0 .. 1000", "0 .. 1100", "0 .. 1200"}},
        {{"&D_UND_PRC", "&D1_UNC_PRC", "&D_UNC_PRC"}, {"0.123", "-", "0.3"}},
        {{"&D_UND", "&D1_UNC", "&D_UNC"}, {"", "", ""}},
        {{"&D_VAR", "&D1_VAR"}, {"100.35", "0", "100.35"}},
        {{"&D_ALL_VAR", "&D1_ALL_VAR"}, {"1", "1.2", "1.4"}},
    };
    const QString none = QStringLiteral("-");
    const auto fourCells = [](const QString& key) { return QStringList{key, key, key, key}; };
    for (const auto& code : codes) {
        QStringList backwards;
        for (const QString& field : code.fields)
            backwards.prepend(field);
        for (const QString& key : code.keys) {
            // A fourth cell of the key finds its cursor past the groups.
            QTest::newRow(qPrintable(key + "_I")) << fourCells(key + "_I") << code.fields + QStringList{none};
            QTest::newRow(qPrintable(key)) << fourCells(key) << code.fields + QStringList{none};
            QTest::newRow(qPrintable(key + "_D")) << fourCells(key + "_D") << backwards + QStringList{none};
        }
    }
    QTest::newRow("aliases share their field's cursors")
        << QStringList{"&D_P_I", "&D_VAL_D", "&D1_VAL", "&D1_VAL_D", "&D_VAL_I и слова"}
        << QStringList{"1", "1004.5", "497", "497", "1004.5"};
    QTest::newRow("fields keep cursors of their own")
        << QStringList{"&D_INX", "&D_INT_I", "&D_I", "&D_INX_I", "&D_ACC_D"}
        << QStringList{"0", "0 .. 1000", "4.016", "1", "0.45"};
    QTest::newRow("not a list key") << QStringList{"&D_VA", "&D_INXX", "D_VAL", " &D_VAL", "&d_val"}
                                    << QStringList{"&D_VA", "0", "D_VAL", " &D_VAL", "&d_val"};
}

// Each key in a column of cells, on three groups of the channel's own range.
void TestExcelSaver::everyListKeyAlias()
{
    QFETCH(QStringList, keys);
    QFETCH(QStringList, texts);
    m_results->clear();
    const struct
    {
        double reference, measured, allowed, rangeHigh, uncertainty;
    } points[] = {{0, 1, 0.5, 1000, 0.123}, {500, 497, 0.6, 1100, missing}, {1000, 1004.5, 0.7, 1200, 0.3}};
    for (int i = 0; i < 3; ++i) {
        ResultRecord record = WorkedExample::point(m_channel, i + 1, points[i].reference, points[i].measured);
        record.setAllowedError(points[i].allowed);
        record.setRangeHigh(points[i].rangeHigh);
        record.expandedRelative = points[i].uncertainty;
        record.expandedSet = !std::isnan(points[i].uncertainty);
        m_results->append(record);
    }
    XlsxTestFiles::Cells cells;
    for (int row = 0; row < keys.size(); ++row)
        cells[{row + 1, 2}] = keys.at(row);
    XlsxWorksheet* sheet = fill(cells);
    QVERIFY(sheet);
    QStringList written;
    for (int row = 1; row <= keys.size(); ++row)
        written << sheet->cellText(row, 2);
    QCOMPARE(written, texts);
}

void TestExcelSaver::sheetsAreKeptRenamedOrDropped_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("conform");
    QTest::addColumn<QStringList>("expected");
    const QStringList three{"&DEV_SH_1", "&DEV_VCR_1", "&DEV_VER_1"};
    QTest::newRow("all conform") << three << true << QStringList{" Прибор 1", "Свидетельство Прибор 1"};
    QTest::newRow("not all conform") << three << false << QStringList{" Прибор 1", "Извещение Прибор 1"};
    QTest::newRow("other device before device 1")
        << QStringList{"&DEV_SH_2", "&DEV_SH_1", "Notes"} << true << QStringList{" Прибор 1", "Notes"};
    QTest::newRow("01, bare marker, letter")
        << QStringList{"&DEV_SH_01", "&DEV_SH_", "&DEV_SH_a"} << false << QStringList{" Прибор 1"};
    QTest::newRow("second sheet for device 1 keeps its name")
        << QStringList{"&DEV_SH_1", "&DEV_SH_01", "x"} << true << QStringList{" Прибор 1", "&DEV_SH_01", "x"};
    const QStringList variant{"&DEV_SH_1", "&DEV_VCR_1", "&DEV_VER_1", "&DEV_CCR_1", "Примечания"};
    QTest::newRow("variant, all conform")
        << variant << true << QStringList{" Прибор 1", "Свидетельство Прибор 1", "Сертификат Прибор 1", "Примечания"};
    QTest::newRow("variant, not all conform")
        << variant << false << QStringList{" Прибор 1", "Извещение Прибор 1", "Сертификат Прибор 1", "Примечания"};
    const QStringList otherDevice{"&DEV_SH_1", "&DEV_VCR_2", "&DEV_VER_2", "&DEV_CCR_2", "&DEV_SH_1a"};
    QTest::newRow("documents of device 2 or 1a, all conform") << otherDevice << true << QStringList{" Прибор 1"};
    QTest::newRow("documents of device 2 or 1a, not all conform") << otherDevice << false << QStringList{" Прибор 1"};
    // A marker counts at the start of the name only, and in capitals.
    QTest::newRow("marker elsewhere or in small letters")
        << QStringList{"&DEV_SH_1", "Копия &DEV_VER_1", "&dev_vcr_1"} << true
        << QStringList{" Прибор 1", "Копия &DEV_VER_1", "&dev_vcr_1"};
}

// Every sheet kept is filled, and the protocol opens on the first of them.
void TestExcelSaver::sheetsAreKeptRenamedOrDropped()
{
    QFETCH(QStringList, names);
    QFETCH(bool, conform);
    QFETCH(QStringList, expected);
    QVERIFY(XlsxTestFiles::makeTemplate(QStringLiteral("triage.xlsx"), names, {},
                                        names.size() > 3 ? XlsxTestFiles::variantTemplate()
                                                          : XlsxTestFiles::shippedTemplate(),
                                        1));
    m_settings->prTrial->setValue(conform ? 0 : 1);
    const QString output = m_out.filePath(QStringLiteral("triage.xlsx"));
    QVERIFY2(save(QStringLiteral("triage.xlsx"), output), qPrintable(m_saver->errorString()));
    XlsxWorkbook protocol;
    QVERIFY(protocol.openFile(output));
    QCOMPARE(protocol.sheetNames(), expected);
    for (int i = 0; i < protocol.sheetCount(); ++i)
        QVERIFY(!anyKeyLeft(protocol.worksheet(i)));
    QVERIFY(XlsxTestFiles::partText(XlsxTestFiles::fileBytes(output), "xl/workbook.xml").contains("activeTab=\"0\""));
}

void TestExcelSaver::failuresWriteNothing_data()
{
    QTest::addColumn<QString>("templateName");
    QTest::addColumn<QString>("output");
    QTest::addColumn<bool>("failingCell");
    QTest::addColumn<QString>("error");
    // Parts of good.xlsx replaced in damaged.xlsx; the debug line must name one of them.
    QTest::addColumn<QVariantMap>("damage");
    const auto failure = [](const char* name, const char* templateName, const char* output, bool failingCell,
                            const QString& error) {
        QTest::newRow(name) << templateName << output << failingCell << error << QVariantMap();
    };
    failure("missing template", "missing.xlsx", "a.xlsx", false, "Ошибка при поиске файла шаблона!");
    failure("template is a folder", "", "a.xlsx", false, "Ошибка при поиске файла шаблона!");
    failure("template not a zip", "broken.xlsx", "a.xlsx", false, markupError);
    failure("only sheet dropped", "only.xlsx", "a.xlsx", false, markupError);
    failure("cell write fails", "good.xlsx", "a.xlsx", true, "Ошибка записи параметра!");
    failure("output folder missing", "good.xlsx", "no/such/a.xlsx", false, saveError);
    failure("output is the template", "good.xlsx", "", false, saveError);

    const QString sheet = QStringLiteral("xl/worksheets/sheet1.xml");
    const QString workbookRels = QStringLiteral("xl/_rels/workbook.xml.rels");
    const QByteArray shipped = XlsxTestFiles::fileBytes(XlsxTestFiles::shippedTemplate());
    const QString stringsRelation = QStringLiteral(
        "<Relationship Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
        "Target=\"sharedStrings.xml\" Id=\"rId9\"/></Relationships>");
    const QString withStrings =
        XlsxTestFiles::partText(shipped, workbookRels).replace(QStringLiteral("</Relationships>"), stringsRelation);
    const QString farRow = XlsxTestFiles::partText(shipped, sheet).replace(
        QStringLiteral("</sheetData>"), QStringLiteral("<row r=\"1048576\"><c r=\"A1048576\"><v>1</v></c></row></sheetData>"));
    const auto damaged = [](const char* name, const QVariantMap& damage) {
        QTest::newRow(name) << "damaged.xlsx" << "a.xlsx" << false << markupError << damage;
    };
    damaged("kept sheet", {{sheet, "<worksheet><sheetData>"}});
    damaged("sheet relationships", {{"xl/worksheets/_rels/sheet1.xml.rels", "<Relationships><Relationship"}});
    damaged("drawing", {{"xl/drawings/drawing1.xml", "<wsDr><oneCellAnchor><from>"}});
    damaged("drawing of another kind", {{"xl/drawings/drawing1.xml", "<Relationships/>"}});
    damaged("content types", {{"[Content_Types].xml", "<Types><Default"}});
    damaged("workbook", {{"xl/workbook.xml", "<workbook><sheets>"}});
    damaged("workbook relationships", {{workbookRels, "<Relationships"}});
    damaged("styles", {{"xl/styles.xml", "<styleSheet><cellXfs>"}});
    damaged("shared strings", {{workbookRels, withStrings}, {"xl/sharedStrings.xml", "<sst><si>"}});
    // Dropping the sheet would drop the texts with it.
    damaged("sheet listed through the shared strings",
            {{workbookRels, QString(withStrings).replace("Id=\"rId3\"", "Id=\"rId0\"").replace("rId9", "rId3")},
             {"xl/sharedStrings.xml", "<sst count=\"0\" uniqueCount=\"0\"/>"}});
    damaged("list rows would leave the sheet", {{sheet, farRow}});
}

void TestExcelSaver::failuresWriteNothing()
{
    QFETCH(QString, templateName);
    QFETCH(QString, output);
    QFETCH(bool, failingCell);
    QFETCH(QString, error);
    QFETCH(QVariantMap, damage);
    const QByteArray before = XlsxTestFiles::fileBytes(templatePath(QStringLiteral("good.xlsx")));
    XlsxPackage package;
    QVERIFY(package.openBytes(before));
    for (auto it = damage.cbegin(); it != damage.cend(); ++it)
        package.setPartData(it.key(), it.value().toByteArray());
    QFile damaged(templatePath(QStringLiteral("damaged.xlsx")));
    QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write(package.toBytes()) > 0);
    damaged.close();
    QTemporaryDir out;
    const QString outputPath = output.isEmpty() ? templatePath(templateName) : out.filePath(output);
    if (failingCell)
        m_saver->setFiller(std::make_unique<FailingFiller>());
    QStringList named;
    for (const QString& part : damage.keys())
        named << QRegularExpression::escape(part);
    if (!named.isEmpty())
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("MARKUP ERROR.*(" + named.join('|') + ")"));
    QVERIFY(!save(templateName, outputPath));
    QCOMPARE(m_saver->errorString(), error);
    QCOMPARE(XlsxTestFiles::fileBytes(templatePath(QStringLiteral("good.xlsx"))), before);
    QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList());
}

// The reference module's limits come from the calibrator in single precision; with every decimal the
// protocol allows, they show the digits they hold, also after a change of unit.
void TestExcelSaver::moduleLimitsKeepTheirDigits_data()
{
    QTest::addColumn<float>("upperKpa");
    QTest::addColumn<int>("unitCode");
    QTest::addColumn<QString>("limits");
    QTest::newRow("kPa") << 6.3f << 6 << "0 6.3 6.3...0 кПа";
    QTest::newRow("kgf/cm2") << 98.0665f << 8 << "0 1 1...0 кг/см2";
    QTest::newRow("MPa") << 6300.1f << 7 << "0 6.3001 6.3001...0 МПа";
}

void TestExcelSaver::moduleLimitsKeepTheirDigits()
{
    QFETCH(float, upperKpa);
    QFETCH(int, unitCode);
    QFETCH(QString, limits);
    qToLittleEndian(upperKpa, m_device.bytes.data() + DeviceSettings::ModuleUpperByte);
    m_device.bytes[DeviceSettings::ModuleUnitByte] = quint8(unitCode);
    m_settings->prProtocolDecimals->setValue(10);
    XlsxWorksheet* sheet = fill({{{1, 1}, "&ET_LO &ET_HI &ET_TZS_INTERVAL"}});
    QVERIFY(sheet);
    QCOMPARE(sheet->cellText(1, 1), limits);
}

QTEST_GUILESS_MAIN(TestExcelSaver)
#include "test_excel_saver.moc"

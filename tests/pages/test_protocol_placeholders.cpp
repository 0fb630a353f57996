#include "ChannelRecord.h"
#include "DeviceSettings.h"
#include "ExcelSaver.h"
#include "ParametrDouble.h"
#include "ParametrEnum.h"
#include "ParametrString.h"
#include "ProtocolGroups.h"
#include "ResultsModel.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"
#include "WorkedExample.h"
#include "XlsxTestFiles.h"
#include "XlsxWorkbook.h"
#include "XlsxWorksheet.h"

#include <QtEndian>
#include <QtTest>
#include <cmath>
#include <cstring>

namespace {

constexpr double missing = std::numeric_limits<double>::quiet_NaN();

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
    {"Без ключей", "Без ключей"},
    {"&XX_UNKNOWN & &", "&XX_UNKNOWN & &"},
    {"&LST_H и слова", "&LST_H и слова"},
};

void putWord(DeviceSettings& device, int offset, quint32 value)
{
    qToLittleEndian(value, device.bytes.data() + offset);
}

void putFloat(DeviceSettings& device, int offset, float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    putWord(device, offset, bits);
}

QStringList repeated(int count, const QString& text)
{
    return QVector<QString>(count, text).toList();
}

QString field(const ProtocolGroups& groups, int group, int code)
{
    return groups.groups().at(group).fieldText(code);
}

QStringList column(const ProtocolGroups& groups, int code)
{
    QStringList texts;
    for (int i = 0; i < groups.count(); ++i)
        texts << field(groups, i, code);
    return texts;
}

}  // namespace

// The program's placeholder handlers through the engine: groups, every key, list cursors and rows.
class TestProtocolPlaceholders : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void groupsInOrderOfFirstUseWithTiesToTheLaterPoint();
    void groupsWithoutNumbersConformToNothing();
    void failedCheckOrCoefficientRejects();
    void mirroredPointsInDifferentUnits();
    void pointsWithoutNumbersShowDashes();
    void keyCatalogue();
    void referenceListGrowsItsRow();
    void listKeysFollowTheirCursors();
    void listRowsMakeRoomForTheGroups_data();
    void listRowsMakeRoomForTheGroups();
    void userTextsAreCleanedOrCut();

private:
    ProtocolGroups computed();
    // Saves the template made of cells; the first sheet of the written protocol, or null.
    XlsxWorksheet* fill(const QString& name, const XlsxTestFiles::Cells& cells);
    void catalogueSettings();

    std::unique_ptr<VerificationSettings> m_settings;
    std::unique_ptr<ResultsModel> m_results;
    ChannelRecord m_channel;
    DeviceSettings m_device;
    std::unique_ptr<ExcelSaver> m_saver;
    std::unique_ptr<XlsxWorkbook> m_protocol;
    QTemporaryDir m_out;
};

void TestProtocolPlaceholders::initTestCase()
{
    TestEnvironment::prepare();
    initChoiceLists();
    QVERIFY(m_out.isValid());
}

void TestProtocolPlaceholders::init()
{
    m_settings = std::make_unique<VerificationSettings>();
    g_verificationSettings = m_settings.get();
    m_results = std::make_unique<ResultsModel>();
    m_channel = ChannelRecord();
    m_device = DeviceSettings();
    putWord(m_device, 57, 30042);
    putWord(m_device, 36, 1234567);
    m_device.bytes[3] = 8;
    m_device.bytes[DeviceSettings::ModuleUnitByte] = 6;
    putFloat(m_device, 24, 250.0f);
    putFloat(m_device, 28, 0.0f);
    WorkedExample::fill(m_channel, *m_settings, *m_results);
    m_saver = std::make_unique<ExcelSaver>();
    WorkedExample::attach(*m_saver, m_channel, m_device, *m_results, *m_settings);
}

void TestProtocolPlaceholders::cleanup()
{
    m_protocol.reset();
    m_saver.reset();
    g_verificationSettings = nullptr;
}

ProtocolGroups TestProtocolPlaceholders::computed()
{
    ProtocolGroups groups;
    groups.computeGroups(*m_results, m_channel, *m_settings);
    return groups;
}

XlsxWorksheet* TestProtocolPlaceholders::fill(const QString& name, const XlsxTestFiles::Cells& cells)
{
    if (!XlsxTestFiles::makeTemplate(name, {QStringLiteral("&DEV_SH_1")}, cells))
        return nullptr;
    m_settings->txtProtocolName = name;
    const QString output = m_out.filePath(name);
    if (!m_saver->save(output)) {
        qWarning() << m_saver->errorString();
        return nullptr;
    }
    m_protocol = std::make_unique<XlsxWorkbook>();
    return m_protocol->openFile(output) ? m_protocol->worksheet(0) : nullptr;
}

void TestProtocolPlaceholders::groupsInOrderOfFirstUseWithTiesToTheLaterPoint()
{
    m_results->clear();
    for (const auto& [group, measured] : {qMakePair(2, 2.0), qMakePair(0, 50.0), qMakePair(1, -3.0),
                                          qMakePair(2, -5.0), qMakePair(1, 3.0)})
        m_results->append(WorkedExample::point(m_channel, group, 0, measured));
    const ProtocolGroups groups = computed();
    QCOMPARE(groups.groupNumbers(), QList<int>({2, 1}));
    QCOMPARE(column(groups, 0), QStringList({"3", "4"}));
    QCOMPARE(column(groups, 5), QStringList({"-0.5", "0.3"}));
    QCOMPARE(groups.maxGroupError(), 0.5);
    QVERIFY(groups.allGroupsConform());
}

// Points outside every group make no group; a group without a numeric error has no point.
void TestProtocolPlaceholders::groupsWithoutNumbersConformToNothing()
{
    m_results->clear();
    m_results->append(WorkedExample::point(m_channel, 0, 0, 0.1));
    QCOMPARE(computed().count(), 0);
    QVERIFY(!computed().allGroupsConform());
    QCOMPARE(computed().maxGroupError(), 0.0);

    m_results->append(WorkedExample::point(m_channel, 1, 0, missing));
    m_results->append(WorkedExample::point(m_channel, 2, 0, 1.0));
    const ProtocolGroups groups = computed();
    QCOMPARE(groups.count(), 2);
    for (int code = 0; code <= 12; ++code)
        QCOMPARE(field(groups, 0, code), QStringLiteral("-"));
    QCOMPARE(field(groups, 1, 5), QStringLiteral("0.1"));
    QCOMPARE(field(groups, 1, 11), QStringLiteral("-"));
    QCOMPARE(groups.maxGroupVariation(), 0.0);
    QVERIFY(!groups.allGroupsConform());
}

void TestProtocolPlaceholders::failedCheckOrCoefficientRejects()
{
    m_settings->prCheckInsulationResistance->setValue(2);
    QVERIFY(computed().allGroupsConform());
    m_settings->prCheckInsulationResistance->setValue(1);
    QVERIFY(!computed().allGroupsConform());
    m_settings->prCheckInsulationResistance->setValue(0);
    m_results->setCoefficient(0.9);
    QVERIFY(computed().allGroupsConform());
    m_results->setCoefficient(0.8);
    QVERIFY(!computed().allGroupsConform());
}

void TestProtocolPlaceholders::mirroredPointsInDifferentUnits()
{
    m_results->clear();
    m_results->append(WorkedExample::point(m_channel, 1, 100, 100));
    ChannelRecord megapascal = m_channel;
    megapascal.unit = 2;
    megapascal.rangeHigh = 1;
    m_results->append(WorkedExample::point(megapascal, 2, 0.1, 0.101));
    ProtocolGroups groups = computed();
    QCOMPARE(column(groups, 3), QStringList({"100", "101"}));
    QCOMPARE(column(groups, 4), QStringList({"100", "100"}));
    QCOMPARE(column(groups, 9), QStringList({"0 .. 1000", "0 .. 1000"}));
    QCOMPARE(column(groups, 11), QStringList({"0.1", "0.1"}));
    m_channel.rangeHigh = m_channel.rangeLow;
    groups = computed();
    QCOMPARE(column(groups, 11), QStringList({"-", "-"}));
    QCOMPARE(groups.maxGroupVariation(), 0.0);
}

void TestProtocolPlaceholders::pointsWithoutNumbersShowDashes()
{
    m_results->clear();
    ResultRecord noCurrent = WorkedExample::point(m_channel, 1, 0, 1.0);
    noCurrent.setHasCurrent(false);
    ResultRecord notANumber = WorkedExample::point(m_channel, 2, missing, 1.0);
    notANumber.setError(0.1);
    notANumber.setCurrent(missing);
    notANumber.setExpectedCurrent(missing);
    notANumber.setRangeHigh(missing);
    m_results->append(noCurrent);
    m_results->append(notANumber);
    const ProtocolGroups groups = computed();
    QCOMPARE(column(groups, 2), QStringList({"-", "-"}));
    QCOMPARE(field(groups, 1, 4), QStringLiteral("-"));
    QCOMPARE(field(groups, 1, 10), QStringLiteral("-"));
    QCOMPARE(field(groups, 1, 9), QStringLiteral("0 .. -"));
    QCOMPARE(field(groups, 0, 6), QStringLiteral("-"));
}

void TestProtocolPlaceholders::catalogueSettings()
{
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
    m_channel.characteristic = 1;
}

void TestProtocolPlaceholders::keyCatalogue()
{
    catalogueSettings();
    XlsxTestFiles::Cells cells;
    for (int i = 0; i < catalogue.size(); ++i)
        cells[{i + 1, 2}] = catalogue[i].text;
    for (const bool conform : {true, false}) {
        m_settings->prTrial->setValue(conform ? 0 : 1);
        XlsxWorksheet* sheet = fill(QStringLiteral("catalogue.xlsx"), cells);
        QVERIFY(sheet);
        for (int i = 0; i < catalogue.size(); ++i) {
            const Expected& expected = catalogue[i];
            const QString text = conform || expected.failing.isNull() ? expected.conforming : expected.failing;
            QVERIFY2(sheet->cellText(i + 1, 2) == text,
                     qPrintable(QStringLiteral("%1 gave %2").arg(expected.text, sheet->cellText(i + 1, 2))));
        }
    }
}

void TestProtocolPlaceholders::referenceListGrowsItsRow()
{
    const QString key = QStringLiteral("&CD_ET_AUX_LST");
    const QString threeLines =
        QStringLiteral("Эталон: 30042; 4..20 мА; \nЭталон: ТЖС-020; 250...0 кПа; \nЗадатчик давления: ");
    // Row 10 wraps a merged cell in the default 11-point font, row 2 is in 13 points, row 23 is 48 points high.
    XlsxWorksheet* sheet = fill(QStringLiteral("aux.xlsx"), {{{10, 1}, key}, {{2, 1}, key}, {{23, 1}, key}});
    QVERIFY(sheet);
    QCOMPARE(sheet->cellText(10, 1), threeLines);
    QCOMPARE(sheet->rowHeight(10), 3 * 11 * 1.3);
    QCOMPARE(sheet->rowHeight(2), 3 * 13 * 1.3);
    QCOMPARE(sheet->rowHeight(23), 48.0);

    m_settings->prEtalonList->setValue(QStringLiteral("Манометр МО-250\r\nБарометр БАММ-1"));
    sheet = fill(QStringLiteral("aux.xlsx"), {{{10, 1}, key}, {{2, 1}, key}, {{23, 1}, key}});
    QVERIFY(sheet);
    QCOMPARE(sheet->cellText(10, 1), threeLines + QStringLiteral("\nМанометр МО-250\nБарометр БАММ-1"));
    QCOMPARE(sheet->rowHeight(10), 5 * 11 * 1.3);
    QCOMPARE(sheet->rowHeight(2), 5 * 13 * 1.3);
    QCOMPARE(sheet->rowHeight(23), 5 * 11 * 1.3);
    QVERIFY(XlsxTestFiles::partText(XlsxTestFiles::fileBytes(m_out.filePath("aux.xlsx")), "xl/worksheets/sheet1.xml")
                .contains(QRegularExpression("<row r=\"10\"[^>]*customHeight=\"1\"")));
}

void TestProtocolPlaceholders::listKeysFollowTheirCursors()
{
    m_results->record(1)->expandedRelative = 0.123;
    m_results->record(1)->expandedSet = true;
    const QStringList keys{"&D_VAL_I", "&D_VAL_D",  "&D_INX",       "&D_I", "&D_INT",   "&D_UNC",
                           "&D_ECSGN_I", "&D_ACC", "&D_VAR",       "&D_ALL_VAR", "&D_P_I хвост", "&D_UND_PRC",
                           "&",        "&LST_F",   "&XYZ",         "&D_INX_D", "&VR_E_I"};
    XlsxTestFiles::Cells cells{{{2, 1}, "&D_ACC_I"}};
    for (int i = 0; i < keys.size(); ++i)
        cells[{1, i + 1}] = keys.at(i);
    XlsxWorksheet* sheet = fill(QStringLiteral("lists.xlsx"), cells);
    QVERIFY(sheet);
    const QList<QStringList> expected{
        {"-2", "1004.5", "1", "-", "-"},
        {"1", "504", "1004.5", "497", "-2"},
        {"1", "4", "5", "6", "8"},
        {"3.968", "11.952", "20.072", "12.064", "4.016"},
        repeated(5, "0 .. 1000"),
        repeated(5, ""),
        {"4", "12", "20", "12", "4"},
        {"-0.2", "-0.3", "0.45", "0.4", "0.1"},
        {"0.3", "0.7", "0", "0.7", "0.3"},
        repeated(5, "1"),
        {"497", "504", "-", "-", "-"},
        {"0.123", "-", "-", "-", "-"},
        repeated(5, "&"),
        repeated(5, ""),
        repeated(5, "&XYZ"),
        {"8", "6", "5", "4", "1"},
        {"0", "500", "1000", "500", "0"},
    };
    for (int column = 0; column < expected.size(); ++column) {
        QStringList texts;
        for (int row = 1; row <= 5; ++row)
            texts << sheet->cellText(row, column + 1);
        QVERIFY2(texts == expected.at(column), qPrintable(keys.at(column) + ": " + texts.join(" | ")));
    }
    QCOMPARE(sheet->cellText(6, 1), QStringLiteral("-"));
}

void TestProtocolPlaceholders::listRowsMakeRoomForTheGroups_data()
{
    QTest::addColumn<int>("groups");
    QTest::addColumn<int>("halfEnd");
    QTest::addColumn<int>("fullEnd");
    QTest::newRow("none") << 0 << 2 << 6;
    QTest::newRow("one") << 1 << 2 << 6;
    QTest::newRow("two") << 2 << 2 << 7;
    QTest::newRow("five") << 5 << 4 << 12;
}

void TestProtocolPlaceholders::listRowsMakeRoomForTheGroups()
{
    QFETCH(int, groups);
    QFETCH(int, halfEnd);
    QFETCH(int, fullEnd);
    m_results->clear();
    for (int group = 1; group <= groups; ++group)
        m_results->append(WorkedExample::point(m_channel, group, 0, 1.0));
    XlsxWorksheet* sheet = fill(QStringLiteral("rows.xlsx"), {{{1, 1}, "&LST_H"},
                                                             {{2, 1}, "конец H"},
                                                             {{5, 1}, "&LST_F"},
                                                             {{5, 2}, "x &LST_F"},
                                                             {{6, 1}, "конец F"}});
    QVERIFY(sheet);
    QCOMPARE(sheet->cellText(halfEnd, 1), QStringLiteral("конец H"));
    QCOMPARE(sheet->cellText(fullEnd, 1), QStringLiteral("конец F"));
    const int fullRow = 5 + halfEnd - 2;
    for (int row = fullRow; row < fullEnd; ++row)
        QCOMPARE(sheet->cellText(row, 2), QStringLiteral("x &LST_F"));
    QCOMPARE(sheet->cellText(1, 1), QString());
}

void TestProtocolPlaceholders::userTextsAreCleanedOrCut()
{
    m_settings->prDeviceOwner->setValue(QStringLiteral("АО\x07 Завод\x1b"));
    m_settings->prDeviceNotes->setValue(QString(40000, QChar(0x44F)));
    XlsxWorksheet* sheet = fill(QStringLiteral("texts.xlsx"), {{{1, 1}, "&D_OWNER"}, {{2, 1}, "Примечания: &D_NOTES"}});
    QVERIFY(sheet);
    QCOMPARE(sheet->cellText(1, 1), QStringLiteral("АО Завод"));
    const QString notes = sheet->cellText(2, 1);
    QCOMPARE(notes.size(), 32767);
    QVERIFY(notes.startsWith(QStringLiteral("Примечания: яя")));
}

QTEST_GUILESS_MAIN(TestProtocolPlaceholders)
#include "test_protocol_placeholders.moc"

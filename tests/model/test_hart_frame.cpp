#include "HartBytes.h"
#include "HartDeviceData.h"
#include "HartFrame.h"
#include "HartPackedAscii.h"
#include "HartResponseCodes.h"
#include "HartDeviceTypeNames.h"
#include "HartTextTables.h"
#include "TestEnvironment.h"

#include <QRegularExpression>
#include <QtTest>
#include <cstring>
#include <functional>

namespace {

const QByteArray Address = QByteArray::fromHex("0011123456");

HartDeviceData connectedRecord()
{
    HartDeviceData d;
    d.uniqueId = Address;
    d.pollingAddressByte = 0x82;
    return d;
}

// The record's plain bytes: from the status bytes to the presence flag, and from the primary
// variable's unit to the end; uniqueId and deviceTypeKey lie between the two.
struct Span
{
    char* begin;
    int size;
};

Span head(HartDeviceData& d)
{
    auto* begin = reinterpret_cast<char*>(&d.responseCode);
    return {begin, int(reinterpret_cast<char*>(&d.present) + 1 - begin)};
}

Span tail(HartDeviceData& d)
{
    auto* begin = reinterpret_cast<char*>(&d.pvUnit);
    return {begin, int(reinterpret_cast<char*>(d.additionalStatus) + sizeof d.additionalStatus - begin)};
}

// A record whose every decodable byte is 1, so that a decoder writing where it should not shows.
HartDeviceData markedRecord()
{
    HartDeviceData d = connectedRecord();
    for (const Span& span : {head(d), tail(d)})
        std::memset(span.begin, 1, size_t(span.size));
    return d;
}

// Offset of the first byte where two records differ (head, then tail), -1 when none does.
int firstDifference(HartDeviceData a, HartDeviceData b)
{
    int offset = 0;
    for (const auto& spans : {std::make_pair(head(a), head(b)), std::make_pair(tail(a), tail(b))}) {
        for (int i = 0; i < spans.first.size; ++i) {
            if (spans.first.begin[i] != spans.second.begin[i])
                return offset + i;
        }
        offset += spans.first.size;
    }
    if (a.uniqueId != b.uniqueId || quint16(a.deviceTypeKey) != quint16(b.deviceTypeKey))
        return offset;
    return -1;
}

// A slave reply frame as the transmitter would send it, hexadecimal.
QByteArray reply(int command, const QByteArray& statusAndData, const QByteArray& address = Address)
{
    QByteArray frame = (address.size() == 1 ? QByteArray("\x06", 1) : QByteArray("\x86", 1)) + address;
    frame += char(command);
    frame += char(statusAndData.size());
    frame += statusAndData;
    quint8 check = 0;
    for (const char c : frame)
        check ^= quint8(c);
    return (frame + char(check)).toHex();
}

QByteArray okReply(int command, const QByteArray& dataHex)
{
    return reply(command, QByteArray::fromHex("0000") + QByteArray::fromHex(dataHex));
}

void putFloat(quint8* at, float value)
{
    std::memcpy(at, &value, sizeof value);
}

QByteArray bytes(const char* hex)
{
    return QByteArray::fromHex(hex);
}

void setBytes(quint8* out, const char* hex)
{
    const QByteArray b = bytes(hex);
    std::memcpy(out, b.constData(), size_t(b.size()));
}

struct DecoderCase
{
    const char* name;
    int command;
    const char* dataHex;
    std::function<void(HartDeviceData&)> expect;
};

}  // namespace

class TestHartFrame : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestEnvironment::prepare();
        initHartTextTables();
    }

    void buildsFrames()
    {
        const struct { int command; const char* data; int form, type; QByteArray expected; } cases[] = {
            {0, "", 1, 0, "8200111234560000E3"},         {40, "41800000", 1, 0, "8200111234562804418000000E"},
            {0, "", 0, 0, "0282000080"},                 {1, "", 0, 1, "0682010085"},
            {1, "00", 1, 2, "810011123456010100E0"},
        };
        for (const auto& c : cases) {
            QByteArray data = bytes(c.data);
            QVERIFY(buildHartFrame(data, connectedRecord(), quint8(c.command), c.form, c.type));
            QCOMPARE(data, c.expected);
        }
        QByteArray data("\x01", 1);
        QVERIFY(!buildHartFrame(data, HartDeviceData(), 0, HartFrame::LongAddress, HartFrame::MasterToSlave));
        QVERIFY(!buildHartFrame(data, connectedRecord(), 0, HartFrame::LongAddress, 3));
        QVERIFY(!buildHartFrame(data, connectedRecord(), 0, 2, HartFrame::MasterToSlave));
        QCOMPARE(data, QByteArray("\x01", 1));
        QByteArray tooLong(256, '\0');
        QVERIFY(!buildHartFrame(tooLong, connectedRecord(), 17, HartFrame::LongAddress, HartFrame::MasterToSlave));
    }

    // Every refused reply leaves the record exactly as it was, response code and status included.
    void refusesBadReplies()
    {
        const QByteArray good = okReply(1, "0C42C80000");
        const struct { QByteArray text; int command; const char* log; } cases[] = {
            {good.left(good.size() - 1), 1, "bad hex"},  // odd length
            {QByteArray(good).replace(2, 1, "G"), 1, "bad hex"},  // not hex
            {QByteArray(), 1, "bad slaveToMasterB -1 134"},  // empty
            {reply(1, bytes("0000"), Address).replace(0, 2, "06"), 1, "bad slaveToMasterB 6 134"},  // short-form delimiter
            {reply(1, bytes("0000"), bytes("0011123457")), 1, "bad adress"},  // other address
            {reply(1, bytes("0000"), bytes("8011123456")), 1, "bad adress"},  // master bit differs
            {good, 2, "bad command 2"},  // other command
            {reply(38, QByteArray()), 38, "bad lenght"},  // byte count 0
            {reply(38, bytes("00")), 38, "bad lenght"},  // byte count 1
            {good.left(good.size() - 2), 1, "bad lenght"},  // check byte missing
            {good.left(good.size() - 2) + "66", 1, "hart checksum error"},  // check byte wrong
            {okReply(1, "0C42C800"), 1, "bad lenght 4 expected 5"},  // short c1
            {okReply(0, "FE1A0105070203080000AB"), 0, "bad lenght 11 expected 12"},  // short c0
            {okReply(13, QByteArray(40, '1')), 13, "bad lenght 20 expected 21"},  // short c13
            {okReply(128, "01014060000041"), 128, "bad lenght 7 expected 10"},  // short c128
            {okReply(7, "05"), 7, "bad lenght 1 expected 2"},  // short c7
        };
        for (auto c : cases) {
            HartDeviceData device = markedRecord();
            const HartDeviceData before = device;
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^UniversalCommands::parseHartResponse ") + c.log));
            HartReplyOutcome outcome = HartReplyOutcome::Success;
            QVERIFY2(!parseHartResponse(c.text, device, c.command, HartFrame::LongAddress, &outcome), c.log);
            QCOMPARE(outcome, HartReplyOutcome::Invalid);
            QCOMPARE(firstDifference(device, before), -1);
        }
    }

    void acceptsRepliesByTheirCode()
    {
        HartDeviceData device = markedRecord();
        QByteArray text = okReply(1, "0C42C80000") + "FFFF";
        HartReplyOutcome outcome = HartReplyOutcome::Invalid;
        QVERIFY(parseHartResponse(text, device, 1, HartFrame::LongAddress, &outcome));
        QCOMPARE(outcome, HartReplyOutcome::Success);
        QCOMPARE(device.pvValue, 100.0f);

        // A warning still decodes; an error stores code and status only.
        text = reply(1, bytes("0850" "0742480000"));
        QVERIFY(parseHartResponse(text, device, 1, HartFrame::LongAddress, &outcome));
        QCOMPARE(outcome, HartReplyOutcome::Warning);
        QCOMPARE(int(device.pvUnit), 7);
        QCOMPARE(int(device.deviceStatus), 0x50);
        const HartDeviceData beforeError = device;
        text = reply(1, bytes("4010" "0C42C80000"));
        QVERIFY(parseHartResponse(text, device, 1, HartFrame::LongAddress, &outcome));
        QCOMPARE(outcome, HartReplyOutcome::DeviceError);
        QCOMPARE(int(device.responseCode), 64);
        QCOMPARE(g_hartResponseText, QStringLiteral("Неизвестная команда"));
        HartDeviceData expected = beforeError;
        expected.responseCode = 64;
        expected.deviceStatus = 0x10;
        QCOMPARE(firstDifference(device, expected), -1);

        // A communication error: the second byte is no device status, nothing is decoded.
        text = reply(1, bytes("8800" "0C42C80000"));
        QVERIFY(parseHartResponse(text, device, 1, HartFrame::LongAddress, &outcome));
        QCOMPARE(outcome, HartReplyOutcome::CommError);
        expected.responseCode = 0x88;
        QCOMPARE(firstDifference(device, expected), -1);

        // Burst mode marks bit 6 of the first address byte; the short form checks the polling address.
        text = reply(1, bytes("0000" "0C42C80000"), bytes("4011123456"));
        QVERIFY(parseHartResponse(text, device, 1, HartFrame::LongAddress));
        device.pollingAddressByte = 0x82;
        text = reply(0, bytes("0000") + QByteArray(12, '\0'), bytes("C2"));
        QVERIFY(parseHartResponse(text, device, 0, HartFrame::ShortAddress));
        text = reply(0, bytes("0000") + QByteArray(12, '\0'), bytes("83"));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("bad adress"));
        QVERIFY(!parseHartResponse(text, device, 0, HartFrame::ShortAddress));
    }

    // Each decoder fills exactly its fields, numbers in host order, and nothing else.
    void decodesEachLayout()
    {
        const QVector<DecoderCase> cases = {
            {"c0", 0, "FEDA020507030409 08ABCDEF06 04002A10001A001B41", [](HartDeviceData& e) {
                 e.manufacturerCode = 0xDA, e.deviceTypeCode = 2, e.requestPreambles = 5, e.universalRevision = 7;
                 e.deviceRevision = 3, e.softwareRevision = 4, e.hardwareRevisionSignalling = 9, e.identityFlags = 8;
                 setBytes(e.deviceId, "ABCDEF");
                 e.responsePreambles = 6, e.maxDeviceVariables = 4, e.extendedDeviceStatus = 0x10, e.deviceProfile = 0x41;
                 setBytes(e.configChangeCounter, "002A");
                 setBytes(e.manufacturerIdCode, "001A");
                 setBytes(e.privateLabelCode, "001B");
                 e.uniqueId = bytes("9A02ABCDEF");
                 e.deviceTypeKey = 0xDA02;
             }},
            {"c1", 1, "0C42C80000", [](HartDeviceData& e) {
                 e.pvUnit = 12, e.pvValue = 100.0f, e.deviceVariables[3] = 12;
                 for (const int at : {4, 12, 20, 28})
                     putFloat(e.deviceVariables + at, at == 4 ? 100.0f : 0.0f);
             }},
            {"c6", 6, "0301", [](HartDeviceData& e) { e.pollingAddressByte = 0x83; }},
            {"c7", 7, "0500FF", [](HartDeviceData& e) { e.pollingAddressByte = 0x85; }},
            {"c9", 9, "10 00400C42480000C0 01400741200000C0", [](HartDeviceData& e) {
                 setBytes(e.deviceVariables, "1000400C00000000C00140070000 0000C0");
                 putFloat(e.deviceVariables + 4, 50.0f);
                 putFloat(e.deviceVariables + 20, 0.0f);
                 putFloat(e.deviceVariables + 28, 0.0f);
                 e.pvUnit = 12, e.pvValue = 50.0f;
             }},
            {"c12", 12, "0102030405060708090A0B0C0D0E0F101112131415161718",
             [](HartDeviceData& e) { setBytes(e.message, "0102030405060708090A0B0C0D0E0F101112131415161718"); }},
            {"c13", 13, "0A0B0C0D0E0F 101112131415161718191A1B 1F0C7E", [](HartDeviceData& e) {
                 setBytes(e.tag, "0A0B0C0D0E0F");
                 setBytes(e.descriptor, "101112131415161718191A1B");
                 setBytes(e.date, "1F0C7E");
             }},
            {"c14", 14, "1234560C 44FA0000 C2C80000 41200000", [](HartDeviceData& e) {
                 setBytes(e.sensorSerial, "123456");
                 e.sensorLimitsUnit = 12, e.sensorUpperLimit = 2000.0f, e.sensorLowerLimit = -100.0f, e.minimumSpan = 10.0f;
             }},
            {"c15", 15, "02010C 42C80000 C1200000 3F000000 00 0607", [](HartDeviceData& e) {
                 e.alarmSelection = 2, e.transferFunction = 1, e.rangeUnit = 12, e.upperRangeValue = 100.0f;
                 e.lowerRangeValue = -10.0f, e.damping = 0.5f, e.writeProtect = 0, e.privateLabelDistributor = 6;
                 e.analogChannelFlags = 7;
             }},
            {"c15 of an older transmitter", 15, "00000C 42C80000 00000000 00000000 01", [](HartDeviceData& e) {
                 e.alarmSelection = 0, e.transferFunction = 0, e.rangeUnit = 12, e.upperRangeValue = 100.0f;
                 e.lowerRangeValue = 0.0f, e.damping = 0.0f, e.writeProtect = 1, e.privateLabelDistributor = 0;
                 e.analogChannelFlags = 0;
             }},
            {"c20", 20, "C4E0E9" "4142434445464748494A4B4C4D4E4F505152535455565758595A5B5C5D",
             [](HartDeviceData& e) {
                 setBytes(e.longTag, "C4E0E94142434445464748494A4B4C4D4E4F505152535455565758595A5B5C5D");
             }},
            {"c40 keeps nothing", 40, "41800000", [](HartDeviceData&) {}},
            {"c48", 48, "0A0B0C", [](HartDeviceData& e) {
                 std::memset(e.additionalStatus, 0, sizeof e.additionalStatus);
                 setBytes(e.additionalStatus, "0A0B0C");
             }},
            {"c80", 80, "000C 00000000 42C80000", [](HartDeviceData& e) {
                 e.trimVariable = 0, e.trimUnit = 12, e.trimPointLower = 0.0f, e.trimPointUpper = 100.0f;
             }},
            {"c81", 81, "00030C 00000000 41200000 42A00000 42C80000 41A00000", [](HartDeviceData& e) {
                 e.guideVariable = 0, e.guideTrimPoints = 3, e.guideUnit = 12, e.guideMinLower = 0.0f;
                 e.guideMaxLower = 10.0f, e.guideMinUpper = 80.0f, e.guideMaxUpper = 100.0f, e.guideMinDifferential = 20.0f;
             }},
            {"c122", 122, "3F800000 BDCCCCCD", [](HartDeviceData& e) { e.outputGain = 1.0f, e.outputOffset = -0.1f; }},
            {"c128, type out of range", 128, "0701 40600000 41C00000 FFFF", [](HartDeviceData& e) {
                 e.currentOutputType = 1, e.alarmLevel = 1, e.alarmCurrentLow = 3.5f, e.alarmCurrentHigh = 24.0f;
                 setBytes(e.currentOutputRead, "0701");
                 putFloat(e.currentOutputRead + 2, 3.5f);
                 putFloat(e.currentOutputRead + 6, 24.0f);
             }},
            {"c130", 130, "41200000 3F800000 3F000000", [](HartDeviceData& e) {
                 e.sqrtLinearizationThreshold = 10.0f, e.sqrtCutoffThreshold = 1.0f, e.sqrtHysteresisWidth = 0.5f;
             }},
            {"c132", 132, "010302", [](HartDeviceData& e) { e.menuLanguage = 1, e.displayDecimals = 3, e.displayMode = 2; }},
            {"c134", 134, "123401", [](HartDeviceData& e) { e.menuPassword = 0x1234, e.reedZeroing = 1; }},
            {"c145", 145, "BF800000", [](HartDeviceData& e) { e.scaleShiftA = -1.0f; }},
            {"c147", 147, "40000000", [](HartDeviceData& e) { e.scaleShiftB = 2.0f; }},
        };
        for (const DecoderCase& c : cases) {
            HartDeviceData device = markedRecord();
            HartDeviceData expected = device;
            expected.responseCode = 0;
            expected.deviceStatus = 0;
            c.expect(expected);
            QByteArray text = okReply(c.command, QByteArray(c.dataHex).replace(' ', ""));
            QVERIFY2(parseHartResponse(text, device, c.command, HartFrame::LongAddress), c.name);
            QVERIFY2(firstDifference(device, expected) == -1,
                     qPrintable(QStringLiteral("%1: byte %2").arg(c.name).arg(firstDifference(device, expected))));
        }
    }

    // Characters past the packed count are not looked at; a text the alphabet cannot carry is refused.
    void packedAsciiRoundTrips()
    {
        const struct { QString text; int size; const char* packed; QString unpacked; } cases[] = {
            {"ABCD", 3, "0420C4", "ABCD"},
            {"AB", 6, "042820820820", "AB"},
            {"ABCDx", 3, "0420C4", "ABCD"},
            {"PT-100 ?", 6, "414B71C3083F", "PT-100 ?"},
            {"\"A'", 3, "8819E0", "\"A'"},
            {QString::fromUtf8("„A’"), 3, "8819E0", "\"A'"},
            {"@@@@@@@@", 6, "000000000000", "@@@@@@@@"},
            {"", 6, "820820820820", ""},
            {"Tag", 6, nullptr, ""},
            {"ТЕГ", 6, nullptr, ""},
            {"A\u201CB", 6, nullptr, ""},
        };
        for (const auto& c : cases) {
            QByteArray out(c.size, '\x55');
            if (!c.packed)
                QTest::ignoreMessage(QtDebugMsg, QRegularExpression("WRONG VALUE"));
            QCOMPARE(packAscii(c.text, reinterpret_cast<quint8*>(out.data()), c.size), c.packed != nullptr);
            if (c.packed) {
                QCOMPARE(out.toHex().toUpper(), QByteArray(c.packed));
                QCOMPARE(unpackAscii(reinterpret_cast<const quint8*>(out.constData()), c.size), c.unpacked);
            }
        }
    }

    void responseTexts()
    {
        const QString generic = QStringLiteral("HART-прибор выдал неизвестную ошибку: ");
        const struct { int code, command; bool error; QString text; } cases[] = {
            {0, 15, false, ""},
            {64, 0, true, "Неизвестная команда"},
            {30, 9, false, ""},
            {14, 82, false, "Span Too Small"},
            {5, 0, true, generic + "5"},
            {3, 0, true, "Ошибка записи!"},
            {11, 40, true, "Loop Current Not Active (Device in Multidrop Mode)"},
            {6, 134, true, "Ошибка чтения параметра из ППЗУ"},
            {7, 2, true, generic + "7"},
            {16, 200, true, generic + "16"},
            {0x88, 1, true, generic + "136"},
        };
        for (const auto& c : cases) {
            QCOMPARE(hartResponseIsError(quint8(c.code), c.command), c.error);
            QCOMPARE(hartResponseCodeText(quint8(c.code), c.command), c.error);
            QCOMPARE(g_hartResponseText, c.text);
            QCOMPARE(g_hartResponsePrefix, QStringLiteral("Команда %1 :").arg(c.command));
        }
    }

    void textTablesAndNumbers()
    {
        QCOMPARE(&hartCodeText(99, g_hartAlarmLevels), &g_hartEmptyText);
        bool ok = false;
        QCOMPARE(hartCodeByText(QStringLiteral("Бар"), g_hartUnits, &ok), quint8(7));
        QVERIFY(ok);
        QCOMPARE(hartCodeByText(QStringLiteral("бар"), g_hartUnits, &ok), quint8(0));
        QVERIFY(!ok);
        const HartTextTable repeated = {{4, QStringLiteral("x")}, {4, QStringLiteral("y")}, {9, QStringLiteral("x")}};
        QCOMPARE(hartCodeText(4, repeated), QStringLiteral("x"));
        QCOMPARE(hartCodeByText(QStringLiteral("x"), repeated, &ok), quint8(4));
        const int units = g_hartUnits.size();
        initHartTextTables();
        QCOMPARE(g_hartUnits.size(), units);
        QCOMPARE(hartDeviceTypeName(hartTypeNoPassword), g_hartDeviceTypeNames.at(1));
        QCOMPARE(hartDeviceTypeName(hartTypeNoPassword + 0x10000), QStringLiteral("Неизвестное HART-устройство"));

        const quint8 mask[2] = {0x0B, 0xFF};
        QCOMPARE(countSetBits(mask, 2), 11);
    }
};

QTEST_GUILESS_MAIN(TestHartFrame)
#include "test_hart_frame.moc"

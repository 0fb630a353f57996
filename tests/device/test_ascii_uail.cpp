#include "AsciiUail.h"
#include "TestEnvironment.h"

#include <QtTest>

namespace {

QByteArray reply(const QByteArray& body)
{
    return '!' + body + QByteArray::number(AsciiUail::crc16(body)) + '\r';
}

}  // namespace

class TestAsciiUail : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    // The start and release frames for address 1 are fixed bytes; the bitwise form agrees with the table.
    void checkValuesAndRequestFrames()
    {
        QCOMPARE(AsciiUail::crc16("123456789"), quint16(19255));
        QByteArray random;
        for (int i = 0; i < 300; ++i)
            random.append(char((i * 37 + 11) & 0xFF));
        QCOMPARE(AsciiUail::crc16Bitwise(reinterpret_cast<const quint8*>(random.constData()), quint16(random.size())),
                 AsciiUail::crc16(random));
        QCOMPARE(AsciiUail::makePackage("11;1;0;1;1", 1), QByteArray("\xFF:1;11;1;0;1;1;43755\r\xFF"));
        QCOMPARE(AsciiUail::makePackage("11;200;0;1;200", 1), QByteArray("\xFF:1;11;200;0;1;200;19630\r\xFF"));
        QByteArray search;
        AsciiUail::makeSearchPackage(0, search);
        QCOMPARE(search, QByteArray("\xFF:0;0;14891\r\xFF"));
    }

    void unpackAcceptsGoodReplies()
    {
        QByteArray echoed = QByteArray("\xFF:1;10;16;2;4;53164\r\xFF") + "!1;ABCD;14484\r";
        QVERIFY(AsciiUail::unpackPackage(echoed, 1));
        QCOMPARE(echoed, QByteArray("ABCD"));

        QByteArray highAddress = "!257;ABCD;33389\r";
        QVERIFY(AsciiUail::unpackPackage(highAddress, 1));
        QCOMPARE(highAddress, QByteArray("ABCD"));

        QByteArray garbage = "\x01\x7Fzz" + reply("7;$0;");
        QVERIFY(AsciiUail::unpackPackage(garbage, 7));
        QCOMPARE(garbage, QByteArray("$0"));

        QByteArray withAddress = reply("12;$90;");
        quint8 address = 0;
        QVERIFY(AsciiUail::unpackPackageGetAddress(withAddress, address));
        QCOMPARE(address, quint8(12));
        QCOMPARE(withAddress, QByteArray("$90"));
    }

    void unpackRejectsBadReplies()
    {
        QByteArray twoFields = "!1;A;B;32245\r";
        QVERIFY(!AsciiUail::unpackPackage(twoFields, 1));

        QByteArray noCr = "!1;ABCD;14484";
        QVERIFY(!AsciiUail::unpackPackage(noCr, 1));

        QByteArray wrongAddress = reply("2;ABCD;");
        QVERIFY(!AsciiUail::unpackPackage(wrongAddress, 1));

        QByteArray notNumber = reply("x;ABCD;");
        quint8 address = 0;
        QVERIFY(!AsciiUail::unpackPackageGetAddress(notNumber, address));

        // A wrong check value leaves the buffer as it stood after echo removal, ready for late bytes.
        const QByteArray echo("\xFF:1;10;16;2;4;53164\r\xFF");
        QByteArray wrongCheck = echo + "!1;ABCD;14485\r";
        QVERIFY(!AsciiUail::unpackPackage(wrongCheck, 1));
        QCOMPARE(wrongCheck, QByteArray("\r\xFF!1;ABCD;14485"));

        QByteArray emptyBuffer;
        QVERIFY(!AsciiUail::unpackPackage(emptyBuffer, 1));
    }

    void statusReplies()
    {
        QVERIFY(AsciiUail::isOkAnswer("$0") && !AsciiUail::isOkAnswer("$00"));
        QVERIFY(!AsciiUail::isDataPackage("$5") && !AsciiUail::isDataPackage("") && AsciiUail::isDataPackage("12.5"));
        QVERIFY(!AsciiUail::checkPackageNoErrorCode("$5") && AsciiUail::checkPackageNoErrorCode("0A"));
        QCOMPARE(AsciiUail::errorCodeText("$", "ЗФН"), QString("Неизвестная ошибка"));
        QCOMPARE(AsciiUail::errorCodeText("$5", "ЗФН"), QString("ЗФН ответил кодом ошибки №5."));
        QCOMPARE(AsciiUail::errorCodeText("$15", "ЗФН"), QString("HART-устройство не подключено."));
    }

    void hexDecoding()
    {
        quint8 out[8] = {};
        QCOMPARE(AsciiUail::hexPairsToBytes(out, "0A1B", 8), 2);
        QCOMPARE(out[0], quint8(0x0A));
        QCOMPARE(out[1], quint8(0x1B));

        quint8 one[2] = {0xEE, 0xEE};
        QCOMPARE(AsciiUail::hexPairsToBytes(one, "0A1B", 1), 1);
        QCOMPARE(one[0], quint8(0x0A));
        QCOMPARE(one[1], quint8(0xEE));

        quint8 untouched[4] = {0x55, 0x55, 0x55, 0x55};
        QCOMPARE(AsciiUail::hexPairsToBytes(untouched, "0A1", 4), -1);
        QCOMPARE(AsciiUail::hexPairsToBytes(untouched, "0G1B", 4), -1);
        QCOMPARE(AsciiUail::hexPairsToBytes(untouched, "$0", 4), -1);
        QCOMPARE(untouched[0], quint8(0x55));
        QCOMPARE(AsciiUail::hexPairsToBytes(untouched, "ff", 4), 1);
        QCOMPARE(untouched[0], quint8(0xFF));
    }
};

QTEST_GUILESS_MAIN(TestAsciiUail)
#include "test_ascii_uail.moc"

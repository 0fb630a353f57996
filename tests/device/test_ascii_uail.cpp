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

    // What is left in the buffer: the data of a taken reply, or, after a refusal, what stood after the
    // echo was removed, ready for late bytes.
    void unpack_data()
    {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<int>("address");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<QByteArray>("left");
        const QByteArray echo("\xFF:1;10;16;2;4;53164\r\xFF");
        QTest::newRow("after the echo") << echo + "!1;ABCD;14484\r" << 1 << true << QByteArray("ABCD");
        QTest::newRow("address above a byte") << QByteArray("!257;ABCD;33389\r") << 1 << true << QByteArray("ABCD");
        QTest::newRow("after garbage") << "\x01\x7Fzz" + reply("7;$0;") << 7 << true << QByteArray("$0");
        QTest::newRow("wrong check") << echo + "!1;ABCD;14485\r" << 1 << false << QByteArray("\r\xFF!1;ABCD;14485");
        for (const QByteArray& bad : {QByteArray("!1;A;B;32245\r"), QByteArray("!1;ABCD;14484"), reply("2;ABCD;"), QByteArray()})
            QTest::addRow("refused %s", bad.constData()) << bad << 1 << false << bad;
    }

    void unpack()
    {
        QFETCH(QByteArray, buffer);
        QFETCH(int, address);
        QFETCH(bool, taken);
        QFETCH(QByteArray, left);
        QCOMPARE(AsciiUail::unpackPackage(buffer, quint8(address)), taken);
        QCOMPARE(buffer, left);
    }

    void unpackReportsTheAddress()
    {
        QByteArray withAddress = reply("12;$90;");
        quint8 address = 0;
        QVERIFY(AsciiUail::unpackPackageGetAddress(withAddress, address));
        QCOMPARE(address, quint8(12));
        QCOMPARE(withAddress, QByteArray("$90"));
        QByteArray notNumber = reply("x;ABCD;");
        QVERIFY(!AsciiUail::unpackPackageGetAddress(notNumber, address));
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

    // A refused text leaves the bytes as they were; at most n pairs are taken, in either case.
    void hexDecoding()
    {
        quint8 out[4] = {0x55, 0x55, 0x55, 0x55};
        for (const char* bad : {"0A1", "0G1B", "$0"})
            QCOMPARE(AsciiUail::hexPairsToBytes(out, bad, 4), -1);
        QCOMPARE(AsciiUail::hexPairsToBytes(out, "0aFF1B", 2), 2);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(out), 4), QByteArray("\x0A\xFF\x55\x55", 4));
    }
};

QTEST_GUILESS_MAIN(TestAsciiUail)
#include "test_ascii_uail.moc"

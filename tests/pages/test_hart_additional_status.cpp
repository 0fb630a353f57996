#include "DeviceTestBench.h"
#include "HartStatusElement.h"
#include "HartSubPageRig.h"
#include "HartTextTables.h"
#include "TabHart.h"
#include "TabHartxAditionalStatus.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QLabel>

namespace {


QList<int> litLamps(const TabHartxAditionalStatus& page)
{
    QList<int> lit;
    for (const HartStatusElement* lamp : page.lamps())
        if (lamp->state())
            lit << lamp->id();
    return lit;
}

}  // namespace

class TestHartAdditionalStatus : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestEnvironment::prepareWithChoiceLists();
        initHartTextTables();
    }

    void lamps_data()
    {
        QTest::addColumn<int>("byte6");
        QTest::addColumn<int>("byte8");
        QTest::addColumn<QList<int>>("lit");
        QTest::newRow("extended status") << 0x07 << 0x00 << QList<int>({0, 1, 2});
        QTest::newRow("other extended bits") << 0xF8 << 0x00 << QList<int>();
        QTest::newRow("standardized status") << 0x00 << 0x7F << QList<int>({3, 4, 5, 6, 7, 8, 9});
        QTest::newRow("bit 0x80") << 0x00 << 0x80 << QList<int>();
        QTest::newRow("power lost, watchdog") << 0x04 << 0x08 << QList<int>({1, 6});
    }

    // Command 48 reaches the hidden page through the tab; each reply starts from all lamps off.
    void lamps()
    {
        QFETCH(int, byte6);
        QFETCH(int, byte8);
        QFETCH(QList<int>, lit);
        DeviceTestBench bench(0);
        TabHart tab;
        TabHartxAditionalStatus& page = *tab.additionalStatusPage();
        HartDeviceData snapshot;
        std::fill(std::begin(snapshot.additionalStatus), std::end(snapshot.additionalStatus), quint8(0xFF));
        tab.getHartResult(48, snapshot);
        QCOMPARE(litLamps(page).size(), 10);
        snapshot.additionalStatus[6] = quint8(byte6);
        snapshot.additionalStatus[8] = quint8(byte8);
        tab.getHartResult(48, snapshot);
        QCOMPARE(litLamps(page), lit);
        QVERIFY(bench.popUps().isEmpty());
        QCOMPARE(page.findChildren<QLabel*>().first()->text(), QString("Выход за диапазон одной из переменных прибора."));
    }

    // Bytes a short reply did not carry show off; the button reads command 48 again.
    void aShortReply()
    {
        HartSubPageRig rig;
        rig.changeState([](HartTransmitterState& s) { s.additionalStatus = QByteArray::fromHex("0000000000000700"); });
        rig.showSubPage(0);
        TabHartxAditionalStatus& page = *rig.tab->additionalStatusPage();
        rig.scope = &page;
        QVERIFY(rig.clickAndWait("pushButton_updateStatus"));
        QCOMPARE(rig.transmitter().commands(), QList<int>({48}));
        QCOMPARE(litLamps(page), QList<int>({0, 1, 2}));
        rig.changeState([](HartTransmitterState& s) { s.additionalStatus = QByteArray::fromHex("000000000000"); });
        QVERIFY(rig.clickAndWait("pushButton_updateStatus"));
        QCOMPARE(litLamps(page), QList<int>());
    }
};

QTEST_MAIN(TestHartAdditionalStatus)
#include "test_hart_additional_status.moc"

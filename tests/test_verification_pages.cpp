#include "ArchiveFrameBuilder.h"
#include "ArchiveModel.h"
#include "ChannelRecord.h"
#include "ConfirmPrompt.h"
#include "DeviceAuxBlock.h"
#include "DeviceSettings.h"
#include "DeviceTestBench.h"
#include "QueuedSpy.h"
#include "PollController.h"
#include "ResultsModel.h"
#include "TabArchive.h"
#include "TabMeasurement.h"
#include "TestEnvironment.h"

#include <QAction>
#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSerialPort>
#include <QtTest>

namespace {

constexpr quint8 kilopascalCode = 6;

QPushButton* button(QWidget& page, const char* name)
{
    return page.findChild<QPushButton*>(name);
}

}  // namespace

// The measurement and archive pages drive the device object end to end against an emulated calibrator.
class TestVerificationPages : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    void measurementPagePollsAndAddsPoints()
    {
        DeviceTestBench bench;
        QAction addPoint(nullptr);
        QAction addGroup(nullptr);
        bench.device().auxBlock()->addPointAction = &addPoint;
        bench.device().auxBlock()->addGroupAction = &addGroup;
        TabMeasurement page;
        QPushButton* start = button(page, "pushButtonStart");
        QPushButton* stop = button(page, "pushButtonStop");

        start->click();
        QCOMPARE(bench.popUps(), QStringList({"Калибратор не подключен."}));
        QVERIFY(start->isEnabled());

        QVERIFY(bench.connectTo(0));
        bench.device().pollController()->pollIntervalMs = 20;
        bench.device().deviceSettings()->bytes[DeviceSettings::ModuleUnitByte] = kilopascalCode;
        bench.device().currentChannel()->unit = 1;
        bench.emulator().setValue("1", "100");
        bench.emulator().setValue("5", "12");
        QueuedSpy updates(&bench.device(), &DeviceZFN::pollUpdateSignal);
        start->click();
        QVERIFY(!start->isEnabled());
        QVERIFY(stop->isEnabled());
        QVERIFY(updates.wait(5000));

        addPoint.trigger();
        QTRY_COMPARE(bench.device().resultsModel()->rowCount(), 1);
        QCOMPARE(bench.device().resultsModel()->record(0)->reference, 100.0);

        page.findChild<QComboBox*>("comboBox_measureType")->setCurrentIndex(2);
        QCOMPARE(bench.device().pollMode(), 2);

        stop->click();
        QVERIFY(!bench.device().pollController()->isPollRunning());
        QVERIFY(start->isEnabled());
        QVERIFY(!addPoint.isEnabled());
        QCOMPARE(bench.device().serialPort()->thread(), bench.device().thread());
    }

    void archivePageReadsAndClears()
    {
        DeviceTestBench bench;
        QVERIFY(bench.connectTo(0));
        bench.device().pollController()->archivePauseMs = 0;
        bench.emulator().setArchiveFrame(4, ArchiveFrameBuilder::measurement(kilopascalCode, 10, 10.5f, 0.05f, 12));
        bench.emulator().setArchiveFrame(9, ArchiveFrameBuilder::measurement(kilopascalCode, 20, 20.5f, 0.05f, 12));
        TabArchive page;
        page.show();
        QPushButton* read = button(page, "pushButton_readArchive");
        QPushButton* stopRead = button(page, "pushButton_stopRead");
        auto* progress = page.findChild<QProgressBar*>("progressBar");

        QueuedSpy finished(&bench.device(), &DeviceZFN::archiveReadFinished);
        read->click();
        QVERIFY(stopRead->isVisible());
        QVERIFY(progress->isVisible());
        QVERIFY(finished.wait(60000));
        QTRY_VERIFY(read->isVisible());
        QVERIFY(!stopRead->isVisible());
        QVERIFY(!progress->isVisible());
        QTRY_COMPARE(bench.device().archiveModel()->rowCount(), 2);

        QueuedSpy cleared(&bench.device(), &DeviceZFN::archiveClearFinished);
        ConfirmPrompt::setSink([](const QString&) { return true; });
        button(page, "pushButton_clearArchive")->click();
        ConfirmPrompt::setSink(nullptr);
        QVERIFY(button(page, "pushButton_stopClearArchive")->isVisible());
        QVERIFY(cleared.wait(60000));
        QTRY_VERIFY(button(page, "pushButton_clearArchive")->isVisible());
        QCOMPARE(bench.emulator().archiveFrame(4), ArchiveFrameBuilder::cleared());
    }
};

QTEST_MAIN(TestVerificationPages)
#include "test_verification_pages.moc"

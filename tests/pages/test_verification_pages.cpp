#include "ArchiveFrameBuilder.h"
#include "ArchiveModel.h"
#include "DeviceTestBench.h"
#include "PollController.h"
#include "QuestionAnswers.h"
#include "QueuedSpy.h"
#include "TabArchive.h"
#include "TestEnvironment.h"

#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

namespace {

constexpr quint8 kilopascalCode = 6;

QPushButton* button(QWidget& page, const char* name)
{
    return page.findChild<QPushButton*>(name);
}

}  // namespace

// The archive page drives the device object end to end against an emulated calibrator.
class TestVerificationPages : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepare(); }

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
        answerQuestions([](const QString&) { return true; });
        button(page, "pushButton_clearArchive")->click();
        answerQuestions(nullptr);
        QVERIFY(button(page, "pushButton_stopClearArchive")->isVisible());
        QVERIFY(cleared.wait(60000));
        QTRY_VERIFY(button(page, "pushButton_clearArchive")->isVisible());
        QCOMPARE(bench.emulator().archiveFrame(4), ArchiveFrameBuilder::cleared());
    }
};

QTEST_MAIN(TestVerificationPages)
#include "test_verification_pages.moc"

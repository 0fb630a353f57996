#include "ArchiveFrameBuilder.h"
#include "ArchiveModel.h"
#include "ArchiveTestData.h"
#include "CalibratorMap.h"
#include "ChildLookup.h"
#include "ConfiguratorModule.h"
#include "DeviceTestBench.h"
#include "FileChooser.h"
#include "GraphWidget.h"
#include "InteractionHooks.h"
#include "LinenPlot.h"
#include "LinenPlotControl.h"
#include "PollController.h"
#include "QueuedSpy.h"
#include "TabArchive.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QComboBox>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>
#include <QtTest/qtestspontaneevent.h>
#include <cmath>
#include <qwt_plot_curve.h>

using namespace ArchiveTestData;

namespace {

constexpr quint8 kilopascalCode = 6;

QByteArray atMinute(const QByteArray& frame, int minute)
{
    return ArchiveFrameBuilder::withTime(frame, QDateTime(QDate(2026, 3, 1), QTime(10, minute)));
}

// Frames 0, 1, 2 and 10 hold measurements; 2 came over HART, 10 carries error code 3.
void fillCalibrator(CalibratorEmulator& emulator)
{
    for (int i : {0, 1, 2, 10}) {
        QByteArray frame = ArchiveFrameBuilder::measurement(kilopascalCode, 100.0f + float(i), 100.5f + float(i), 0.5f, 123);
        if (i == 2)
            frame = ArchiveFrameBuilder::withHart(frame, 102.25f, 0.25f);
        if (i == 10)
            frame = ArchiveFrameBuilder::withErrorCode(frame, 3);
        emulator.setArchiveFrame(i, atMinute(frame, i));
    }
}


// The page, as a tab beside another, on a device connected to an emulated calibrator that holds
// frames 0, 1, 2 and 10.
struct ArchivePage
{
    DeviceTestBench bench;
    QTabWidget tabs;
    TabArchive* page = nullptr;
    QWidget* otherPage = new QWidget;
    QStringList asked;
    bool answer = true;
    QString resumeAnswer;
    QStringList resumeQuestions;

    explicit ArchivePage(int pauseMs = 0)
    {
        fillCalibrator(bench.emulator());
        if (!bench.connectTo(0))
            qFatal("no emulated calibrator");
        bench.device().pollController()->archivePauseMs = pauseMs;
        page = new TabArchive;
        tabs.addTab(page, QStringLiteral("Архив"));
        tabs.addTab(otherPage, QStringLiteral("Другая"));
        tabs.resize(1000, 700);
        tabs.show();
        // The question about an interrupted read is answered with the button named resumeAnswer,
        // the others with yes or cancel.
        InteractionHooks::setMessageBoxRunner([this](QMessageBox& box) {
            const bool resume = !resumeAnswer.isEmpty();
            if (resume)
                resumeQuestions << box.text() + " " + box.informativeText();
            else
                asked << box.text();
            const QMessageBox::ButtonRole role = answer ? QMessageBox::YesRole : QMessageBox::NoRole;
            for (QAbstractButton* button : box.buttons())
                if (resume ? button->text() == resumeAnswer : box.buttonRole(button) == role)
                    button->click();
        });
    }
    ~ArchivePage() { InteractionHooks::setMessageBoxRunner(nullptr); }

    QPushButton* button(const char* name) const { return requireChild<QPushButton>(page, name); }
    QProgressBar* progress() const { return requireChild<QProgressBar>(page, "progressBar"); }
    ArchiveModel& model() { return *bench.device().archiveModel(); }
    bool archiveRunning() { return bench.device().pollController()->isArchiveRunning(); }
    bool idleControls() const
    {
        return button("pushButton_readArchive")->isVisible() && button("pushButton_clearArchive")->isVisible()
               && !button("pushButton_stopRead")->isVisible() && !button("pushButton_stopClearArchive")->isVisible()
               && !progress()->isVisible() && button("pushButton_convertToExcel")->isEnabled()
               && button("pushButton_moveToResult")->isEnabled();
    }
    bool readingControls() const
    {
        return button("pushButton_stopRead")->isVisible() && !button("pushButton_readArchive")->isVisible()
               && !button("pushButton_clearArchive")->isVisible() && progress()->isVisible()
               && !button("pushButton_convertToExcel")->isEnabled() && !button("pushButton_moveToResult")->isEnabled()
               && button("pushButton_plotGrapf")->isEnabled();
    }
    // Reads until at least `rows` frames are in, then stops from the page.
    bool readAndStopAfter(int rows)
    {
        const bool arrived = QTest::qWaitFor([&] { return model().rowCount() >= rows; }, 20000);
        button("pushButton_stopRead")->click();
        return arrived;
    }
};

// For its lifetime, the question about an interrupted read is answered with the button of that text.
struct ResumeAnswer
{
    ResumeAnswer(ArchivePage& page, const QString& answer) : page(page) { page.resumeAnswer = answer; }
    ~ResumeAnswer() { page.resumeAnswer.clear(); }
    ArchivePage& page;
};

}  // namespace

class TestArchiveTab : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepareWithChoiceLists(); }

    void readFillsTheTableAndAsksBeforeReadingAgain()
    {
        ArchivePage p;
        QueuedSpy finished(&p.bench.device(), &DeviceZFN::archiveReadFinished);
        p.button("pushButton_readArchive")->click();
        QVERIFY(p.readingControls());
        QVERIFY(p.progress()->text().startsWith("Загрузка архива: "));
        QVERIFY(p.progress()->text().endsWith("%"));
        QVERIFY(finished.wait(60000));
        QTRY_VERIFY(p.idleControls());
        QCOMPARE(column(p.model(), 0), QStringList({"1", "2", "3", "11"}));
        QCOMPARE(p.model().index(2, 12).data().toString(), QStringLiteral("Да"));
        QCOMPARE(p.model().index(3, 11).data().toInt(), 3);
        QVERIFY(p.asked.isEmpty());

        p.answer = false;
        p.bench.emulator().clearRequests();
        p.button("pushButton_readArchive")->click();
        QCOMPARE(p.asked, QStringList{"Загруженные кадры будут удалены из таблицы. Считать архив заново?"});
        QVERIFY(p.idleControls() && !p.archiveRunning());
        QCOMPARE(p.model().rowCount(), 4);
        QCOMPARE(p.bench.emulator().requestCount(), 0);

        p.answer = true;
        p.button("pushButton_readArchive")->click();
        QCOMPARE(p.model().rowCount(), 0);
        QVERIFY(finished.wait(60000));
        QTRY_COMPARE(column(p.model(), 0), QStringList({"1", "2", "3", "11"}));

        // While a poll holds the port the read is refused before it asks, and the frames stay.
        p.asked.clear();
        QVERIFY(p.bench.device().startPoll());
        p.button("pushButton_readArchive")->click();
        p.bench.device().stopPoll();
        QVERIFY(p.asked.isEmpty());
        QCOMPARE(p.bench.popUps(), QStringList{"Дождитесь окончания текущей операции!"});
        QCOMPARE(p.model().rowCount(), 4);
        QVERIFY(p.idleControls());
    }

    void stoppedReadResumesOnRequest()
    {
        ArchivePage p(20);
        p.button("pushButton_readArchive")->click();
        QVERIFY(p.readAndStopAfter(2));
        QVERIFY(p.idleControls());
        QVERIFY(!p.archiveRunning());
        const int resumeAt = p.model().resumePosition;
        QVERIFY(resumeAt >= 2 && resumeAt < CalibratorMap::ArchiveFrameCount);
        const QStringList readSoFar = column(p.model(), 0);

        {
            ResumeAnswer cancel(p, "Отмена");
            p.button("pushButton_readArchive")->click();
            QCOMPARE(p.resumeQuestions, QStringList{"Чтение архива было прервано! Продолжить чтение?"});
            QVERIFY(p.idleControls() && !p.archiveRunning());
            QCOMPARE(column(p.model(), 0), readSoFar);
        }
        // The stopped run's own stop signal must not end the run that continues it.
        p.bench.device().pollController()->archivePauseMs = 0;
        QueuedSpy finished(&p.bench.device(), &DeviceZFN::archiveReadFinished);
        {
            ResumeAnswer resume(p, "Продолжить");
            p.button("pushButton_readArchive")->click();
        }
        QTest::qWait(100);
        QVERIFY(p.readingControls() || finished.count() == 1);
        QVERIFY(finished.wait(60000));
        QTRY_VERIFY(p.idleControls());
        QCOMPARE(column(p.model(), 0), QStringList({"1", "2", "3", "11"}));
        QCOMPARE(int(p.model().resumePosition), 0);

        p.bench.device().pollController()->archivePauseMs = 20;
        p.answer = true;
        p.button("pushButton_readArchive")->click();
        QVERIFY(p.readAndStopAfter(1));
        QVERIFY(p.model().resumePosition > 0);
        ResumeAnswer restart(p, "Начать с начала");
        QSignalSpy inserted(&p.model(), &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(&p.model(), &QAbstractItemModel::modelReset);
        p.button("pushButton_readArchive")->click();
        QCOMPARE(reset.count(), 1);
        QCOMPARE(p.model().rowCount(), 0);
        QVERIFY(inserted.wait(20000));
        QCOMPARE(column(p.model(), 0).first(), QStringLiteral("1"));
        p.button("pushButton_stopRead")->click();
    }

    void leavingThePageStopsMinimisingDoesNot()
    {
        ArchivePage p(20);
        p.button("pushButton_readArchive")->click();
        QTRY_VERIFY(p.model().rowCount() >= 1);
        QHideEvent minimised;
        QSpontaneKeyEvent::setSpontaneous(&minimised);
        qApp->notify(p.page, &minimised);
        QVERIFY(p.archiveRunning());
        QCOMPARE(p.page->state(), TabArchive::Reading);

        p.tabs.setCurrentWidget(p.otherPage);
        QVERIFY(!p.archiveRunning());
        QCOMPARE(p.page->state(), TabArchive::Idle);
        QVERIFY(p.model().resumePosition > 0);
        p.tabs.setCurrentIndex(0);
        QTRY_VERIFY(p.idleControls());

        p.button("pushButton_clearArchive")->click();
        QTRY_VERIFY(p.archiveRunning());
        QCOMPARE(p.page->state(), TabArchive::Clearing);
        p.tabs.setCurrentWidget(p.otherPage);
        QVERIFY(!p.archiveRunning());
        QCOMPARE(p.page->state(), TabArchive::Idle);
        QCOMPARE(int(p.model().resumePosition), 0);
    }

    void clearIsAskedFirst()
    {
        ArchivePage p(20);
        p.answer = false;
        p.bench.emulator().clearRequests();
        p.button("pushButton_clearArchive")->click();
        QCOMPARE(p.asked, QStringList{"Очистить архив калибратора?"});
        QVERIFY(p.idleControls() && !p.archiveRunning());
        QTest::qWait(50);
        QCOMPARE(p.bench.emulator().requestCount(), 0);

        p.answer = true;
        p.button("pushButton_clearArchive")->click();
        QVERIFY(p.button("pushButton_stopClearArchive")->isVisible());
        QVERIFY(!p.button("pushButton_readArchive")->isVisible() && !p.button("pushButton_clearArchive")->isVisible());
        QVERIFY(p.button("pushButton_convertToExcel")->isEnabled() && p.button("pushButton_moveToResult")->isEnabled());
        QCOMPARE(p.progress()->format(), QStringLiteral("Очистка архива: %p%"));
        QVERIFY(p.bench.emulator().waitForRequests(4, 10000));
        // The end of the clear, however it came, brings the page back.
        p.bench.device().stopClearArchive();
        QTRY_VERIFY(p.idleControls());
        QVERIFY(!p.archiveRunning());
        QCOMPARE(int(p.model().resumePosition), 0);
        QCOMPARE(p.bench.emulator().archiveFrame(0), ArchiveFrameBuilder::cleared());
        QVERIFY(p.bench.emulator().archiveFrame(10) != ArchiveFrameBuilder::cleared());
    }

    void plotsFollowUnitsAndLeaveOutMissingValues()
    {
        DeviceTestBench bench;
        ArchiveModel& model = *bench.device().archiveModel();
        const QByteArray hart = ArchiveFrameBuilder::withHart(
            ArchiveFrameBuilder::measurement(kilopascalCode, 2000, 2010, 0.5f, 1), 2004, 0.25f);
        const QByteArray noMeasured = ArchiveFrameBuilder::measurement(kilopascalCode, 1000, std::nanf(""), 1.5f, 1);
        const QByteArray megapascal = ArchiveFrameBuilder::measurement(kilopascalCode + 1, 3, 3.5f, -0.5f, 1);
        model.replaceRecords({record(atMinute(hart, 30), 0), record(atMinute(noMeasured, 10), 1),
                              record(atMinute(megapascal, 20), 2)});
        TabArchive page;
        page.resize(1000, 700);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        LinenPlot* pressure = page.pressureGraph()->plot();
        LinenPlot* error = page.errorGraph()->plot();
        QCOMPARE(pressure->axisTitle(QwtPlot::yLeft).text(), QStringLiteral("Давление, кПа"));
        QCOMPARE(error->axisTitle(QwtPlot::yLeft).text(), QStringLiteral("Погрешность, %"));
        auto samples = [](LinenPlot* plot, int curve, bool times = false) {
            QList<double> values;
            for (size_t i = 0; i < plot->curve(curve)->dataSize(); ++i)
                values << (times ? plot->curve(curve)->sample(int(i)).x() : plot->curve(curve)->sample(int(i)).y());
            return values;
        };

        requireChild<QPushButton>(&page, "pushButton_plotGrapf")->click();
        QCOMPARE(samples(pressure, 0), QList<double>({2000, 1000, 3000}));
        QCOMPARE(samples(pressure, 1), QList<double>({2010, 3500}));
        QCOMPARE(samples(pressure, 2), QList<double>({2004}));
        QCOMPARE(samples(error, 0), QList<double>({0.5, 1.5, -0.5}));
        QCOMPARE(samples(error, 1), QList<double>({0.25}));
        QCOMPARE(samples(pressure, 0, true), QList<double>({1, 2, 3}));

        page.findChild<QComboBox*>()->setCurrentIndex(2);
        QCOMPARE(pressure->axisTitle(QwtPlot::yLeft).text(), QStringLiteral("Давление, МПа"));
        QCOMPARE(samples(pressure, 0), QList<double>({2, 1, 3}));
        QCOMPARE(samples(pressure, 2), QList<double>({2.004}));
        QCOMPARE(samples(error, 0), QList<double>({0.5, 1.5, -0.5}));

        // Sorted by the stored reference, the rows are no longer in time order: the time axis
        // still joins the points in time order, the index axis in row order.
        model.sort(5, Qt::AscendingOrder);
        page.pressureGraph()->control()->setTimeMode();
        requireChild<QPushButton>(&page, "pushButton_plotGrapf")->click();
        QCOMPARE(samples(pressure, 0), QList<double>({1, 3, 2}));
        QCOMPARE(samples(pressure, 1), QList<double>({3.5, 2.01}));
        const QList<double> times = samples(pressure, 0, true);
        const QDateTime first(QDate(2026, 3, 1), QTime(10, 10));
        QCOMPARE(times.first(), double(pressure->startTime().msecsTo(first)));
        QVERIFY(std::is_sorted(times.cbegin(), times.cend()) && times.first() < times.last());
        page.pressureGraph()->control()->setIndexMode();
        QCOMPARE(samples(pressure, 0), QList<double>({3, 1, 2}));
        QCOMPARE(samples(pressure, 0, true), QList<double>({1, 2, 3}));
    }

    void exportProposesWritesAndRefuses()
    {
        DeviceTestBench bench;
        TabArchive page;
        QStringList proposed;
        QString answer;
        FileChooser::setSink([&](const FileChooser::Request& request) {
            proposed << request.path;
            page.saveToExcel();
            return answer;
        });
        QStringList opened;
        ConfiguratorModule::setUrlOpener([&](const QUrl& url) {
            opened << url.toLocalFile();
            return true;
        });
        InteractionHooks::setClock([] { return QDateTime(QDate(2026, 12, 5), QTime(14, 3, 27)); });

        page.saveToExcel();
        QCOMPARE(bench.popUps(), QStringList{"Архив пуст или не загружен."});
        QVERIFY(proposed.isEmpty());

        bench.device().archiveModel()->replaceRecords({record(ArchiveFrameBuilder::mixed(0), 0)});
        page.saveToExcel();
        QCOMPARE(proposed, QStringList{ConfiguratorModule::settingsFolder()
                                       + "Excel/Архив Калибратор от 05 12 2026 - 14 03 27.xlsx"});

        QTemporaryDir dir;
        answer = dir.filePath("archive.xlsx");
        page.saveToExcel();
        QVERIFY(QFileInfo::exists(answer));
        QCOMPARE(opened, QStringList{answer});
        QCOMPARE(proposed.size(), 2);

        answer = dir.filePath("missing/archive.xlsx");
        page.saveToExcel();
        QTRY_COMPARE(bench.popUps().last(), QStringLiteral("При сохранении файла произошла ошибка!"));
        QVERIFY(!QFileInfo::exists(answer));
        QCOMPARE(opened.size(), 1);

        FileChooser::setSink(nullptr);
        ConfiguratorModule::setUrlOpener(nullptr);
        InteractionHooks::setClock(nullptr);
    }
};

QTEST_MAIN(TestArchiveTab)
#include "test_archive_tab.moc"

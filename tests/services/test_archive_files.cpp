#include "ArchiveFrameBuilder.h"
#include "ArchiveModel.h"
#include "ArchiveTestData.h"
#include "ConfiguratorFixture.h"
#include "DeviceSettings.h"
#include "InteractionHooks.h"
#include "PollController.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTabWidget>
#include <QtEndian>
#include <QtTest>

using namespace ArchiveTestData;

namespace {

const QString loaded = QStringLiteral("Архив успешно загружен!");
const QString loadedWithErrors = QStringLiteral("При загрузке архива допущены ошибки!");

QByteArray fileRecord(const QByteArray& frame, quint32 index)
{
    char indexBytes[sizeof(quint32)];
    qToLittleEndian<quint32>(index, indexBytes);
    return frame.leftJustified(ArchiveRecord::frameSize, '\0', true) + QByteArray(indexBytes, sizeof indexBytes);
}

QByteArray modelBytes(const ArchiveModel& model)
{
    QByteArray bytes;
    for (int row = 0; row < model.rowCount(); ++row)
        bytes += model.record(row).toBytes();
    return bytes;
}

QString currentPage(const ConfiguratorFixture& f)
{
    return requireChild<QTabWidget>(f.window.get(), "tabDeviceConfig")->currentWidget()->objectName();
}

void putDeviceSerial(quint32 serial)
{
    qToLittleEndian<quint32>(serial, g_device->deviceSettings()->bytes.data() + 57);
}

}  // namespace

class TestArchiveFiles : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepareWithChoiceLists(); }

    // Saved under a name made of the calibrator's serial and the time, and loaded back byte for byte.
    void savedArchiveLoadsBackWhole()
    {
        QDir(ConfiguratorFixture::settingsFolder()).removeRecursively();
        ConfiguratorFixture f;
        ArchiveModel& model = *g_device->archiveModel();
        model.replaceRecords({record(ArchiveFrameBuilder::withTime(frameAt(0, 5), QDateTime({2026, 3, 5}, {14, 7, 9})), 0),
                              record(ArchiveFrameBuilder::withHart(frameAt(200), 199.5f, -0.25f), 200),
                              record(frameAt(511, 7), 511)});
        const QByteArray shown = modelBytes(model);
        const QString folder = ConfiguratorFixture::settingsFolder() + "/Archives";
        putDeviceSerial(0);
        f.answer({folder + "/copy"});
        f.trigger("action_saveArchive");
        const QString proposed = f.requests().first().path;
        const QString name = "/Архив_4321_\\d\\d-\\d\\d-\\d{4} \\d\\d_\\d\\d_\\d\\d$";
        QVERIFY2(QRegularExpression("^" + QRegularExpression::escape(folder) + name).match(proposed).hasMatch(),
                 qPrintable(proposed));
        QCOMPARE(f.bench.popUps(), QStringList{"Архив успешно записан!"});
        putDeviceSerial(98765);
        // A dot within the name is no suffix of an archive.
        f.answer({folder + "/copy.v2"});
        f.trigger("action_saveArchive");
        QVERIFY(f.requests().last().path.contains("/Архив_98765_"));
        QVERIFY(QFileInfo(folder + "/copy.v2.ZFN").size() == shown.size() && !QFile::exists(folder + "/copy.v2"));

        model.clear();
        f.answer({folder + "/copy.ZFN"});
        f.trigger("action_openArchive");
        QCOMPARE(f.requests().last().path, folder);
        QCOMPARE(modelBytes(model), shown);
        QCOMPARE(f.bench.popUps().last(), loaded);
        QCOMPARE(currentPage(f), QString("tabArchive"));
    }

    // The proposed name holds each field of the clock in its place: day, month, year, then the time.
    void proposedNameHoldsTheClock_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("name");
        QTest::newRow("day before month, afternoon")
            << QDateTime({2026, 12, 5}, {14, 3, 27}) << "Архив_98765_05-12-2026 14_03_27";
        QTest::newRow("first of the year, morning")
            << QDateTime({2027, 1, 9}, {8, 59, 1}) << "Архив_98765_09-01-2027 08_59_01";
    }
    void proposedNameHoldsTheClock()
    {
        QFETCH(QDateTime, now);
        QFETCH(QString, name);
        ConfiguratorFixture f;
        g_device->archiveModel()->replaceRecords({record(frameAt(0, 5), 0)});
        putDeviceSerial(98765);
        InteractionHooks::setClock([now] { return now; });
        f.trigger("action_saveArchive");
        InteractionHooks::setClock(nullptr);
        QCOMPARE(QFileInfo(f.requests().first().path).fileName(), name);
    }

    void damagedFilesLoadTheGoodRecords_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QList<quint32>>("loadedIndexes");
        QTest::addColumn<QString>("message");
        const QByteArray three = fileRecord(frameAt(0), 0) + fileRecord(frameAt(1), 1) + fileRecord(frameAt(2), 2);
        QTest::newRow("three records and a partial tail")
            << three + QByteArray(10, '\x07') << QList<quint32>{0, 1, 2} << loadedWithErrors;
        QTest::newRow("empty file") << QByteArray() << QList<quint32>{} << loaded;
        QTest::newRow("records after a bad check value")
            << fileRecord(frameAt(0), 0) + fileRecord(ArchiveFrameBuilder::withBadCheck(frameAt(1)), 1)
                   + fileRecord(frameAt(2), 2)
            << QList<quint32>{0, 2} << loadedWithErrors;
        QTest::newRow("cleared frames and unknown units")
            << fileRecord(frameAt(0), 0) + fileRecord(ArchiveFrameBuilder::cleared(), 1)
                   + fileRecord(frameAt(2, 16), 2) + fileRecord(frameAt(3, 4), 3) + fileRecord(frameAt(4, 0), 4)
                   + fileRecord(frameAt(5, 15), 5)
            << QList<quint32>{0, 5} << loaded;
        QTest::newRow("index past the archive")
            << fileRecord(frameAt(0), 511) + fileRecord(frameAt(1), 512) << QList<quint32>{511} << loadedWithErrors;
    }

    void damagedFilesLoadTheGoodRecords()
    {
        QFETCH(QByteArray, content);
        QFETCH(QList<quint32>, loadedIndexes);
        QFETCH(QString, message);
        const QString file = TestEnvironment::homePath() + "/damaged.ZFN";
        QVERIFY(ConfiguratorFixture::writeFile(file, content));
        ConfiguratorFixture f;
        g_device->archiveModel()->append(record(frameAt(9), 9));
        f.answer({file});
        f.trigger("action_openArchive");
        QCOMPARE(indexes(*g_device->archiveModel()), loadedIndexes);
        QCOMPARE(f.bench.popUps(), QStringList{message});
    }

    // What is loaded stays: a file that cannot be opened, a save that cannot be written (the temporary
    // name too long for the folder: a write failure even for root, whom permissions do not stop),
    // and an import while the archive is read, which would replace the frames under the reader.
    void refusalsKeepTheArchiveAndTheFile()
    {
        ConfiguratorFixture f(1);
        f.trigger("action_saveArchive");
        QVERIFY(f.requests().isEmpty());
        ArchiveModel& model = *g_device->archiveModel();
        model.append(record(frameAt(9), 9));
        const QString old = TestEnvironment::homePath() + '/' + QString(250, 'a') + ".ZFN";
        QVERIFY(ConfiguratorFixture::writeFile(old, "old archive"));
        f.answer({TestEnvironment::homePath() + "/absent.ZFN", TestEnvironment::homePath(), old});
        f.trigger("action_openArchive");
        f.trigger("action_openArchive");
        f.trigger("action_saveArchive");
        const QString openError = "При открытии файла возникла ошибка!";
        QCOMPARE(f.bench.popUps(), QStringList({"Архив пуст!", openError, openError,
                                                "При сохранении архива возникла ошибка!"}));
        QCOMPARE(ConfiguratorFixture::readFile(old), QByteArray("old archive"));
        QCOMPARE(indexes(model), QList<quint32>{9});
        QCOMPARE(currentPage(f), QString("tabConnection"));

        QVERIFY(f.bench.connectTo(0));
        f.bench.device().pollController()->archivePauseMs = 20;
        f.bench.device().startReadArchive();
        f.answer({old});
        f.trigger("action_openArchive");
        QCOMPARE(f.bench.popUps().last(), QString("Дождитесь окончания текущей операции!"));
        QCOMPARE(f.requests().size(), 3);
        f.bench.device().stopReadArchive();
        QTRY_VERIFY(!f.bench.device().pollController()->isArchiveRunning());
    }
};

QTEST_MAIN(TestArchiveFiles)
#include "test_archive_files.moc"

#include "HidHandler.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

namespace {

// The stand-in library reads its answer from the environment at every call.
void answer(const char* result, const char* values)
{
    if (result)
        qputenv("ZFN_VORNA_RESULT", result);
    else
        qunsetenv("ZFN_VORNA_RESULT");
    qputenv("ZFN_VORNA_VALUES", values);
}

QStringList logLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

QList<float> valuesOf(const HidHandler& reader)
{
    return {reader.values()[0], reader.values()[1], reader.values()[2]};
}

}  // namespace

class TestThermohygrometer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestEnvironment::prepare();
        QVERIFY(m_logFolder.isValid());
        qputenv("ZFN_VORNA_LOG", logPath().toLocal8Bit());
    }
    void init() { QFile::remove(logPath()); }

    void readPassesTheSerialAndTakesTheValues()
    {
        HidHandler reader;
        QVERIFY(std::isnan(reader.values()[0]) && std::isnan(reader.values()[2]));
        reader.setLibraryFolder(ZFN_VORNA_FOLDER);
        answer("1", "21.4,45.5,748.6");
        QVERIFY(reader.read("123"));
        QCOMPARE(valuesOf(reader), QList<float>({21.4f, 45.5f, 748.6f}));
        QCOMPARE(logLines(logPath()), QStringList({"00000123|82|0|12|1"}));
    }

    void failuresKeepTheLastReading_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QByteArray>("result");
        QTest::addColumn<QByteArray>("values");
        QTest::addColumn<bool>("called");
        const QString library(ZFN_VORNA_FOLDER);
        QTest::newRow("zero result") << library << "77" << QByteArray("0") << QByteArray("1,2,3") << true;
        QTest::newRow("unconfigured") << library << "77" << QByteArray() << QByteArray("1,2,3") << true;
        QTest::newRow("NaN value") << library << "77" << QByteArray("1") << QByteArray("1,nan,3") << true;
        QTest::newRow("infinite value") << library << "77" << QByteArray("1") << QByteArray("1,2,inf") << true;
        QTest::newRow("no library") << m_logFolder.path() << "77" << QByteArray("1") << QByteArray("1,2,3") << false;
        QTest::newRow("no function") << QString(ZFN_VORNA_WITHOUT_READ_FOLDER) << "77" << QByteArray("1")
                                     << QByteArray("1,2,3") << false;
        QTest::newRow("nine characters") << library << "123456789" << QByteArray("1") << QByteArray("1,2,3") << false;
        QTest::newRow("not ASCII") << library << "12№4" << QByteArray("1") << QByteArray("1,2,3") << false;
        QTest::newRow("control character") << library << "12\n4" << QByteArray("1") << QByteArray("1,2,3") << false;
    }

    void failuresKeepTheLastReading()
    {
        QFETCH(QString, folder);
        QFETCH(QString, serial);
        QFETCH(QByteArray, result);
        QFETCH(QByteArray, values);
        QFETCH(bool, called);
        HidHandler reader;
        reader.setLibraryFolder(ZFN_VORNA_FOLDER);
        answer("1", "20,40,750");
        QVERIFY(reader.read("1"));
        QFile::remove(logPath());

        reader.setLibraryFolder(folder);
        answer(result.isNull() ? nullptr : result.constData(), values.constData());
        QVERIFY(!reader.read(serial));
        QCOMPARE(valuesOf(reader), QList<float>({20.0f, 40.0f, 750.0f}));
        QCOMPARE(logLines(logPath()).size(), called ? 1 : 0);
    }

    // A library of the same name in the current folder is never taken in place of the program's.
    void neverLoadsFromTheCurrentFolder()
    {
        QTemporaryDir current;
        QVERIFY(QFile::copy(QString(ZFN_VORNA_FOLDER) + "/libVornaExchange.so", current.filePath("libVornaExchange.so")));
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(current.path()));
        HidHandler reader;
        answer("1", "1,2,3");
        const bool read = reader.read("5");
        QDir::setCurrent(previous);
        QVERIFY(reader.libraryPath().startsWith(QCoreApplication::applicationDirPath() + "/"));
        QVERIFY(!read);
        QVERIFY(logLines(logPath()).isEmpty());
    }

private:
    QString logPath() const { return m_logFolder.filePath("vorna.log"); }
    QTemporaryDir m_logFolder;
};

QTEST_MAIN(TestThermohygrometer)
#include "test_thermohygrometer.moc"

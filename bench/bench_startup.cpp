// Start-up of the workstation on the offscreen platform: the time from process start to the main
// window shown and the resident memory once it is shown. Each sample is a fresh child process running
// the program's own start-up steps; the parent times it from the moment it launched the child.
// Goals: under 1 s and under 80 MB. Usage: bench_startup [samples]
#include "StartUp.h"
#include "Workstation.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {

const char* const childSwitch = "--child";
constexpr double goalMs = 1000.0;
constexpr double goalMb = 80.0;

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// The steps of main, up to the first frame of the window; then one line for the parent.
int runChild(int argc, char* argv[])
{
    QApplication app(argc, argv);
    StartUp::initApplication();
    Workstation workstation(argc, argv);
    workstation.window().show();
    if (!QTest::qWaitForWindowExposed(&workstation.window()))
        return 1;
    std::printf("shown %ld\n", residentKb());
    std::fflush(stdout);
    return 0;
}

struct Sample
{
    double ms = -1;
    double mb = -1;
};

Sample runSample(const QString& program, const QString& home)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("ZFN_PORTS"), QStringLiteral("COM1=/dev/null;COM2=/dev/null"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    child.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    child.start(program, {QString::fromLatin1(childSwitch)});
    Sample sample;
    while (child.waitForReadyRead(30000)) {
        const QByteArray line = child.readAllStandardOutput();
        if (line.startsWith("shown ")) {
            sample.ms = double(timer.nsecsElapsed()) / 1e6;
            sample.mb = line.mid(6).trimmed().toDouble() / 1024.0;
            break;
        }
    }
    child.waitForFinished(30000);
    return sample;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc > 1 && qstrcmp(argv[1], childSwitch) == 0)
        return runChild(argc, argv);

    QCoreApplication app(argc, argv);
    const int samples = std::max(1, argc > 1 ? QByteArray(argv[1]).toInt() : 5);
    QTemporaryDir home;
    std::vector<double> times;
    std::vector<double> memory;
    for (int i = 0; i < samples; ++i) {
        const Sample sample = runSample(QCoreApplication::applicationFilePath(), home.path());
        if (sample.ms < 0) {
            std::printf("sample %d: the window was not shown\n", i + 1);
            return 1;
        }
        std::printf("sample %d: %.1f ms, %.1f MB resident\n", i + 1, sample.ms, sample.mb);
        times.push_back(sample.ms);
        memory.push_back(sample.mb);
    }
    const double ms = median(times);
    const double mb = median(memory);
    std::printf("median start to window shown: %.1f ms (goal < %.0f ms) %s\n", ms, goalMs, ms < goalMs ? "OK" : "OVER");
    std::printf("median resident memory: %.1f MB (goal < %.0f MB) %s\n", mb, goalMb, mb < goalMb ? "OK" : "OVER");
    return 0;
}

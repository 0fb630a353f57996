// Times the whole ExcelSaver::save of the shipped three-sheet template for 500 results in 500
// groups (the program's own handlers fill every key and list cell), prints the median, the peak
// resident memory and the ratio to openpyxl doing the same load, row insertion, writes, deletion
// and save. Then the same at 5,000, 10,000 and 20,000 groups, to show that the cost grows with the
// groups and no faster, with the peak memory at the largest.
#include "ChannelRecord.h"
#include "DeviceSettings.h"
#include "ExcelSaver.h"
#include "ResultsModel.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"
#include "WorkedExample.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int groups = 500;
constexpr int runs = 7;
constexpr int scaleRuns = 3;
const QString shippedTemplate = QStringLiteral(ZFN_TEMPLATES "/Протокол поверки.xlsx");

double peakResidentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

double saveSeconds(ExcelSaver& saver, const QString& output)
{
    QElapsedTimer timer;
    timer.start();
    if (!saver.save(output)) {
        std::fprintf(stderr, "save failed: %s\n", qPrintable(saver.errorString()));
        std::exit(1);
    }
    return double(timer.nsecsElapsed()) / 1e9;
}

// The median seconds of a protocol of so many groups, one conforming result each, so the
// certificate is kept and the notice dropped, as openpyxl does; the size of the file it wrote.
double protocolSeconds(VerificationSettings& settings, int groupCount, int runCount, const QString& output,
                       qint64& bytes)
{
    ChannelRecord channel;
    WorkedExample::setChannel(channel);
    ResultsModel results;
    for (int group = 1; group <= groupCount; ++group)
        results.append(WorkedExample::point(channel, group, group * 2.0, group * 2.0 + 0.5));
    DeviceSettings device;
    ExcelSaver saver;
    WorkedExample::attach(saver, channel, device, results, settings);
    std::vector<double> times;
    for (int i = 0; i < runCount; ++i)
        times.push_back(saveSeconds(saver, output));
    std::sort(times.begin(), times.end());
    bytes = QFileInfo(output).size();
    return times[times.size() / 2];
}

double openpyxlSeconds(const QString& output)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(ZFN_BENCH_DIR "/bench_protocol_openpyxl.py"), shippedTemplate, output,
                  QString::number(groups), QString::number(runs)});
    python.waitForFinished(600000);
    return python.readAllStandardOutput().trimmed().toDouble();
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    initChoiceLists();
    QTemporaryDir dir;
    VerificationSettings settings;
    g_verificationSettings = &settings;
    QDir().mkpath(VerificationSettings::templatesFolder());
    settings.txtProtocolName = QStringLiteral("bench_protocol.xlsx");
    QFile::remove(settings.templatePath());
    QFile::copy(shippedTemplate, settings.templatePath());
    const QString output = dir.filePath(QStringLiteral("protocol.xlsx"));

    qint64 bytes = 0;
    const double median = protocolSeconds(settings, groups, runs, output, bytes);
    const double peak = peakResidentMb();
    const double python = openpyxlSeconds(dir.filePath(QStringLiteral("openpyxl.xlsx")));
    std::printf("protocol of %d groups, 3-sheet template: median %.1f ms, %.1f KB (goal under 50 ms)\n", groups,
                median * 1e3, double(bytes) / 1024);
    std::printf("peak resident memory: %.1f MB (goal under 100 MB)\n", peak);
    std::printf("openpyxl doing the same: median %.1f ms, ratio %.3f (goal at most 0.3)\n", python * 1e3,
                python > 0 ? median / python : 0.0);

    for (int scale : {5000, 10000, 20000}) {
        const double seconds = protocolSeconds(settings, scale, scaleRuns, output, bytes);
        std::printf("protocol of %5d groups: median %7.1f ms, %.3f ms a group, %.1f KB\n", scale, seconds * 1e3,
                    seconds * 1e3 / scale, double(bytes) / 1024);
        std::fflush(stdout);
    }
    std::printf("goal at 20000 groups under 1000 ms; peak resident memory %.1f MB (goal under 200 MB)\n",
                peakResidentMb());
    return 0;
}

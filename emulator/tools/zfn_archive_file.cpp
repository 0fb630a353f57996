// Writes an archive file ("*.ZFN") of varied frames as the workstation saves them, one calibrator's
// archive after another, so that a merged file of several calibrators can be loaded without any.
#include "ArchiveFrameBuilder.h"
#include "ArchiveRecord.h"
#include "CalibratorMap.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSaveFile>
#include <cstdio>

namespace {

bool readCount(const QString& text, int maximum, int& out)
{
    bool ok = false;
    out = text.toInt(&ok);
    return ok && out >= 1 && out <= maximum;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Writes a merged archive file of varied frames.");
    parser.addHelpOption();
    parser.addOptions({{"frames", "Frames of each calibrator, 1 to 512.", "N", "512"},
                       {"calibrators", "Calibrators merged, each with sensors of its own, 1 to 100.", "K", "2"}});
    parser.addPositionalArgument("file", "The archive file to write.");
    parser.process(app);
    int frames = 0;
    int calibrators = 0;
    if (parser.positionalArguments().size() != 1 || !readCount(parser.value("frames"), CalibratorMap::ArchiveFrameCount, frames)
        || !readCount(parser.value("calibrators"), 100, calibrators)) {
        std::fprintf(stderr, "%s\n", qPrintable(parser.helpText()));
        return 2;
    }
    QSaveFile file(parser.positionalArguments().first());
    if (!file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        return 1;
    }
    for (int k = 0; k < calibrators; ++k) {
        const quint32 offset = quint32(1000 * k);
        for (int i = 0; i < frames; ++i) {
            const QByteArray frame = ArchiveFrameBuilder::mixed(i, 123 + offset, 45678 + offset);
            file.write(ArchiveRecord(reinterpret_cast<const quint8*>(frame.constData()), quint32(i)).toBytes());
        }
    }
    if (!file.commit()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        return 1;
    }
    return 0;
}

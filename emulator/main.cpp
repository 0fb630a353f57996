#include "ArchiveFrameBuilder.h"
#include "AsciiUail.h"
#include "CalibratorEmulator.h"
#include "MemoryImage.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QMap>
#include <QStringList>
#include <csignal>
#include <cstdio>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <vector>

namespace {

struct RegisterPreset
{
    int reg = 0;
    int type = 0;
    QByteArray text;
};

struct Settings
{
    EmulatorOptions options;
    int count = 1;
    bool log = false;
    QList<QPair<QString, QString>> values;
    QList<QPair<QString, double>> drifts;
    QList<RegisterPreset> registers;
    int archiveFrames = 0;
    int archiveMixFrames = 0;
    bool hart = false;
    HartVariant hartVariant = HartVariant::Family;
    int hartAddress = 0;
    int hartAddressDelayMs = -1;
    HartTransmitterOptions hartOptions;
    QDateTime clock;
    QList<QPair<int, QByteArray>> memory;
};

const QList<QCommandLineOption>& commandLineOptions()
{
    static const QList<QCommandLineOption> options = {
        {"type", "Device type reported to identify: 70, 90 or 91.", "type", "70"},
        {"address", "Bus address, 0 to 255.", "address", "1"},
        {"delay", "Delay before the first reply byte, ms.", "ms", "0"},
        {"paced", "Spend the 9600-baud byte time (1.0417 ms a byte) on every request byte, then write the reply at it."},
        {"silent", "Log requests but never answer."},
        {"echo", "Echo the request before the reply."},
        {"lose-while-closed", "Lose what is written while the workstation's port is closed, as a real serial port does."},
        {"garbage", "Bytes written before every reply.", "text"},
        {"split", "Write every reply in K pieces, G ms apart.", "K:G"},
        {"bad-check", "Wrong check value in the next N replies; -1 = every reply.", "N", "0"},
        {"count", "Number of emulators, one port each.", "N", "1"},
        {"log", "Print every request with its time stamp."},
        {"value", "Value N of command 1 answers TEXT (repeatable).", "N=TEXT"},
        {"drift", "Value N grows by STEP after every read (repeatable).", "N=STEP"},
        {"archive", "Fill the first N archive frames with sample measurements.", "N", "0"},
        {"archive-mix", "Fill the first N archive frames with varied frames: two sensors, HART and plain, "
                        "error codes, kPa and MPa, three months of dates.", "N", "0"},
        {"status", "Requests starting with the fields PREFIX answer \"$CODE\" (repeatable), e.g. 40=14.",
         "PREFIX=CODE"},
        {"clock", "The calibrator's clock stands at this time, e.g. 2025-12-31T23:59:58.", "time"},
        {"memory", "Type-2 memory from byte ADDR (0 to 67) holds these hexadecimal bytes (repeatable).",
         "ADDR=HEX"},
        {"hart", "Put a HART transmitter behind the calibrator: family, foreign, no-trim or hart5.", "variant"},
        {"hart-address", "Polling address of the transmitter, 0 to 63.", "N", "0"},
        {"hart-paced", "Every HART reply waits the wire time of the request and the reply at 1200 baud."},
        {"hart-delay", "Extra wait before every HART reply, ms.", "ms", "0"},
        {"hart-command-delay", "HART command N (or any) waits MS more before its reply (repeatable).", "N=MS"},
        {"hart-address-delay", "A write of register 276 shows in value 19 only after MS.", "ms"},
        {"hart-code", "HART command N (or any) answers response code CODE (repeatable).", "N=CODE"},
        {"hart-fault", "HART command N (or any) gets a spoilt reply (repeatable): silent, bad-check, address, "
                       "command, count0, count1, short or comm-error.", "N=FAULT"},
        {"register", "Register R of type T holds TEXT (repeatable).", "R;T=TEXT"},
    };
    return options;
}

bool readInt(const QString& text, int minimum, int maximum, int& out)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < minimum || value > maximum)
        return false;
    out = value;
    return true;
}

bool readSplit(const QString& text, EmulatorOptions& options)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    return parts.size() == 2 && readInt(parts.at(0), 1, 1000, options.splitPieces)
        && readInt(parts.at(1), 0, 60000, options.splitGapMs);
}

bool readType(const QString& text, int& type)
{
    using namespace CalibratorMap;
    return readInt(text, 0, 255, type) && (type == TypeZfn020 || type == TypeZfn030 || type == TypeLmv160);
}

// "key=text" pairs of a repeatable option.
bool readPairs(const QStringList& entries, QList<QPair<QString, QString>>& pairs)
{
    for (const QString& entry : entries) {
        const int split = entry.indexOf(QLatin1Char('='));
        if (split <= 0)
            return false;
        pairs.append({entry.left(split), entry.mid(split + 1)});
    }
    return true;
}

bool readDrifts(const QStringList& entries, QList<QPair<QString, double>>& drifts)
{
    QList<QPair<QString, QString>> pairs;
    if (!readPairs(entries, pairs))
        return false;
    for (const auto& pair : qAsConst(pairs)) {
        bool ok = false;
        drifts.append({pair.first, pair.second.toDouble(&ok)});
        if (!ok)
            return false;
    }
    return true;
}

// "key=value" entries of a repeatable option into a map, each side read by its own reader.
template <typename Key, typename Value, typename ReadKey, typename ReadValue>
bool readEntries(const QStringList& entries, ReadKey readKey, ReadValue readValue, QMap<Key, Value>& out)
{
    QList<QPair<QString, QString>> pairs;
    if (!readPairs(entries, pairs))
        return false;
    for (const auto& pair : qAsConst(pairs)) {
        Key key{};
        Value value{};
        if (!readKey(pair.first, key) || !readValue(pair.second, value))
            return false;
        out.insert(key, value);
    }
    return true;
}

bool readRegisters(const QStringList& entries, QList<RegisterPreset>& registers)
{
    QList<QPair<QString, QString>> pairs;
    if (!readPairs(entries, pairs))
        return false;
    for (const auto& pair : qAsConst(pairs)) {
        const QStringList key = pair.first.split(QLatin1Char(';'));
        RegisterPreset preset;
        if (key.size() != 2 || !readInt(key.at(0), 0, 65535, preset.reg) || !readInt(key.at(1), 0, 255, preset.type))
            return false;
        preset.text = pair.second.toLatin1();
        registers.append(preset);
    }
    return true;
}

bool readByte(const QString& text, int& value)
{
    return readInt(text, 0, 255, value);
}

bool readDelay(const QString& text, int& value)
{
    return readInt(text, 0, 600000, value);
}

bool readText(const QString& text, QString& value)
{
    value = text;
    return true;
}

bool readHartVariant(const QString& text, HartVariant& variant)
{
    static const QMap<QString, HartVariant> names = {{"family", HartVariant::Family},
                                                     {"foreign", HartVariant::Foreign},
                                                     {"no-trim", HartVariant::NoCurrentTrim},
                                                     {"hart5", HartVariant::Hart5}};
    variant = names.value(text, HartVariant::Family);
    return names.contains(text);
}

bool readHartFault(const QString& text, HartFault& fault)
{
    static const QMap<QString, HartFault> names = {
        {"silent", HartFault::Silent},          {"bad-check", HartFault::BadCheck},
        {"address", HartFault::WrongAddress},   {"command", HartFault::WrongCommand},
        {"count0", HartFault::ByteCountZero},   {"count1", HartFault::ByteCountOne},
        {"short", HartFault::ShortData},        {"comm-error", HartFault::CommError}};
    fault = names.value(text, HartFault::None);
    return names.contains(text);
}

bool readHartCommand(const QString& text, int& command)
{
    command = HartTransmitterOptions::AnyCommand;
    return text == "any" || readByte(text, command);
}

// Returns the name of the first HART option whose value is wrong, or an empty string.
QString readHartSettings(const QCommandLineParser& parser, Settings& settings)
{
    settings.hart = parser.isSet("hart");
    if (settings.hart && !readHartVariant(parser.value("hart"), settings.hartVariant))
        return "hart";
    if (!readInt(parser.value("hart-address"), 0, 63, settings.hartAddress))
        return "hart-address";
    if (!readDelay(parser.value("hart-delay"), settings.hartOptions.replyDelayMs))
        return "hart-delay";
    if (!readEntries(parser.values("hart-command-delay"), readHartCommand, readDelay,
                     settings.hartOptions.commandDelaysMs))
        return "hart-command-delay";
    if (parser.isSet("hart-address-delay")
        && !readDelay(parser.value("hart-address-delay"), settings.hartAddressDelayMs))
        return "hart-address-delay";
    if (!readEntries(parser.values("hart-code"), readHartCommand, readByte, settings.hartOptions.responseCodes))
        return "hart-code";
    if (!readEntries(parser.values("hart-fault"), readHartCommand, readHartFault, settings.hartOptions.faults))
        return "hart-fault";
    settings.hartOptions.paced = parser.isSet("hart-paced");
    return QString();
}

bool readMemory(const QStringList& entries, QList<QPair<int, QByteArray>>& memory)
{
    QList<QPair<QString, QString>> pairs;
    if (!readPairs(entries, pairs))
        return false;
    for (const auto& pair : qAsConst(pairs)) {
        int address = 0;
        const QByteArray hex = pair.second.toLatin1();
        if (!readInt(pair.first, 0, MemoryImage::Size - 1, address) || !AsciiUail::isHexText(hex) || hex.isEmpty())
            return false;
        memory.append({address, hex});
    }
    return true;
}

// Returns the name of the first option whose value is wrong, or an empty string.
QString readSettings(const QCommandLineParser& parser, Settings& settings)
{
    EmulatorOptions& o = settings.options;
    if (!readType(parser.value("type"), o.deviceType))
        return "type";
    if (!readInt(parser.value("address"), 0, 255, o.address))
        return "address";
    if (!readInt(parser.value("delay"), 0, 600000, o.replyDelayMs))
        return "delay";
    if (!readInt(parser.value("bad-check"), -1, 1000000, o.badCheckReplies))
        return "bad-check";
    if (!readInt(parser.value("count"), 1, 64, settings.count))
        return "count";
    if (parser.isSet("split") && !readSplit(parser.value("split"), o))
        return "split";
    if (!readPairs(parser.values("value"), settings.values))
        return "value";
    if (!readDrifts(parser.values("drift"), settings.drifts))
        return "drift";
    if (!readEntries(parser.values("status"), readText, readByte, o.statusReplies))
        return "status";
    if (!readRegisters(parser.values("register"), settings.registers))
        return "register";
    if (!readInt(parser.value("archive"), 0, CalibratorMap::ArchiveFrameCount, settings.archiveFrames))
        return "archive";
    if (!readInt(parser.value("archive-mix"), 0, CalibratorMap::ArchiveFrameCount, settings.archiveMixFrames))
        return "archive-mix";
    if (parser.isSet("clock")) {
        settings.clock = QDateTime::fromString(parser.value("clock"), Qt::ISODate);
        if (!settings.clock.isValid() || settings.clock.date().year() < 2000 || settings.clock.date().year() > 2099)
            return "clock";
    }
    if (!readMemory(parser.values("memory"), settings.memory))
        return "memory";
    o.paced = parser.isSet("paced");
    o.silent = parser.isSet("silent");
    o.echo = parser.isSet("echo");
    o.loseWhileClosed = parser.isSet("lose-while-closed");
    o.leadingGarbage = parser.value("garbage").toLatin1();
    settings.log = parser.isSet("log");
    return readHartSettings(parser, settings);
}

QByteArray printable(const QByteArray& bytes)
{
    QByteArray text;
    for (const char c : bytes) {
        if (c >= ' ' && c <= '~' && c != '\\')
            text += c;
        else
            text += "\\x" + QByteArray::number(quint8(c), 16).rightJustified(2, '0').toUpper();
    }
    return text;
}

void printRequest(const QString& port, qint64 startUs, const EmulatorRequest& request)
{
    static std::mutex output;
    const std::lock_guard<std::mutex> lock(output);
    std::printf("%s %.3f ms addr %d cmd %s crc %s frame %s\n", qPrintable(port),
                double(request.timeUs - startUs) / 1000.0, request.address, qPrintable(request.command),
                request.validCrc ? "ok" : "BAD", printable(request.frame).constData());
    std::fflush(stdout);
}

qint64 nowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

sigset_t stopSignals()
{
    sigset_t stopSet;
    sigemptyset(&stopSet);
    sigaddset(&stopSet, SIGINT);
    sigaddset(&stopSet, SIGTERM);
    return stopSet;
}

// Frames of a calibrator that measured 100, 101, ... kPa with a small error.
void fillMemory(CalibratorEmulator& emulator, const Settings& settings)
{
    for (const auto& value : settings.values)
        emulator.setValue(value.first, value.second);
    for (const auto& drift : settings.drifts)
        emulator.setValueDrift(drift.first, drift.second);
    for (const RegisterPreset& preset : settings.registers)
        emulator.setRegister(preset.reg, preset.type, preset.text);
    if (settings.clock.isValid())
        emulator.setRegister(CalibratorMap::RegClock, CalibratorMap::RegTypeMemory,
                             MemoryImage::clockBytes(settings.clock).toHex());
    for (const auto& bytes : settings.memory)
        emulator.setRegister(bytes.first, CalibratorMap::RegTypeMemory, bytes.second);
    constexpr quint8 kilopascalCode = 6;
    constexpr quint32 sampleSerial = 12345;
    if (settings.hart) {
        emulator.attachHartTransmitter(settings.hartVariant);
        HartTransmitterState state = emulator.hartTransmitter().state();
        state.pollingAddress = quint8(settings.hartAddress);
        emulator.hartTransmitter().setState(state);
        emulator.hartTransmitter().setOptions(settings.hartOptions);
        emulator.setHartAddressDelayMs(settings.hartAddressDelayMs);
    }
    // One sample a minute, the newest now.
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < settings.archiveFrames; ++i) {
        const float reference = 100.0f + float(i);
        const QByteArray frame = ArchiveFrameBuilder::measurement(kilopascalCode, reference, reference + 0.05f, 0.05f,
                                                                  sampleSerial);
        emulator.setArchiveFrame(i, ArchiveFrameBuilder::withTime(frame, now.addSecs(60 * (i - settings.archiveFrames + 1))));
    }
    for (int i = 0; i < settings.archiveMixFrames; ++i)
        emulator.setArchiveFrame(i, ArchiveFrameBuilder::mixed(i));
}

std::vector<std::unique_ptr<CalibratorEmulator>> startEmulators(const Settings& settings)
{
    std::vector<std::unique_ptr<CalibratorEmulator>> emulators;
    const qint64 startUs = nowUs();
    for (int i = 0; i < settings.count; ++i) {
        auto emulator = std::make_unique<CalibratorEmulator>();
        emulator->setOptions(settings.options);
        fillMemory(*emulator, settings);
        if (!emulator->start())
            return {};
        const QString port = QStringLiteral("COM%1").arg(i + 1);
        if (settings.log)
            emulator->setRequestObserver([port, startUs](const EmulatorRequest& r) { printRequest(port, startUs, r); });
        emulators.push_back(std::move(emulator));
    }
    return emulators;
}

QString portsLine(const std::vector<std::unique_ptr<CalibratorEmulator>>& emulators)
{
    QStringList entries;
    for (const auto& emulator : emulators)
        entries << QStringLiteral("COM%1=%2").arg(entries.size() + 1).arg(emulator->portPath());
    // Quoted, so that the line pasted in front of a command keeps its ";" instead of ending there.
    return QStringLiteral("ZFN_PORTS='%1'").arg(entries.join(QLatin1Char(';')));
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zfn-emulator"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Plays pressure calibrators on pseudo-terminals."));
    parser.addHelpOption();
    parser.addOptions(commandLineOptions());
    parser.process(app);

    Settings settings;
    const QString wrong = readSettings(parser, settings);
    if (!wrong.isEmpty()) {
        std::fprintf(stderr, "zfn-emulator: bad value for --%s\n", qPrintable(wrong));
        return 2;
    }

    // Blocked before the workers start, so that they inherit the mask and only sigwait() sees the signals.
    const sigset_t stopSet = stopSignals();
    pthread_sigmask(SIG_BLOCK, &stopSet, nullptr);
    auto emulators = startEmulators(settings);
    if (emulators.empty()) {
        std::fprintf(stderr, "zfn-emulator: cannot open a pseudo-terminal\n");
        return 1;
    }
    std::printf("%s\n", qPrintable(portsLine(emulators)));
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSet, &received);
    return 0;
}

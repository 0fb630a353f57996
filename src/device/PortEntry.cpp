#include "PortEntry.h"

#include <QRegularExpression>
#include <QSerialPortInfo>
#include <algorithm>
#include <tuple>

namespace {

// "COM12" -> ("COM", 12); a name without a trailing number sorts as number 0.
std::tuple<QString, qulonglong> splitPortName(const QString& name)
{
    static const QRegularExpression trailingDigits(QStringLiteral("(\\d+)$"));
    const QRegularExpressionMatch match = trailingDigits.match(name);
    if (!match.hasMatch())
        return {name, 0};
    return {name.left(match.capturedStart(1)), match.captured(1).toULongLong()};
}

}  // namespace

bool comparePortNumbers(const PortEntry& first, const PortEntry& second)
{
    const auto a = splitPortName(first.name);
    const auto b = splitPortName(second.name);
    return std::tie(std::get<0>(a), std::get<1>(a), first.name) < std::tie(std::get<0>(b), std::get<1>(b), second.name);
}

QList<PortEntry> PortEntry::parsePortList(const QString& text)
{
    QList<PortEntry> ports;
    for (const QString& item : text.split(';', Qt::SkipEmptyParts)) {
        const int eq = item.indexOf('=');
        if (eq <= 0 || eq == item.size() - 1)
            continue;
        ports.append({item.left(eq).trimmed(), item.mid(eq + 1).trimmed()});
    }
    return ports;
}

void PortEntry::sortPorts(QList<PortEntry>& ports)
{
    std::stable_sort(ports.begin(), ports.end(), comparePortNumbers);
}

QList<PortEntry> PortEntry::availablePorts()
{
    QList<PortEntry> ports;
    if (qEnvironmentVariableIsSet("ZFN_PORTS")) {
        ports = parsePortList(qEnvironmentVariable("ZFN_PORTS"));
    } else {
        for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
            ports.append({info.portName(), info.systemLocation()});
    }
    sortPorts(ports);
    return ports;
}

#include "HidHandler.h"

#include <QCoreApplication>
#include <QLibrary>
#include <cmath>
#include <limits>

HidHandler* g_hidHandler = nullptr;

namespace {

// The library's one function: C linkage, and on 32-bit Windows the C calling convention, in
// which the caller removes the arguments.
#if defined(_WIN32)
#define VORNA_CALL __cdecl
#else
#define VORNA_CALL
#endif
extern "C" {
typedef unsigned char(VORNA_CALL* VornaUsbRead)(const char* serial, int request, int channel, float* buffer,
                                                 int bufferSize);
}

constexpr int readRequest = 82;
constexpr int readChannel = 0;

bool allFinite(const float* values)
{
    for (int i = 0; i < HidHandler::valueCount; ++i)
        if (!std::isfinite(values[i]))
            return false;
    return true;
}

}  // namespace

HidHandler::HidHandler(QObject* parent) : QObject(parent)
{
    for (float& value : m_values)
        value = std::numeric_limits<float>::quiet_NaN();
    g_hidHandler = this;
}

HidHandler::~HidHandler()
{
    if (g_hidHandler == this)
        g_hidHandler = nullptr;
}

bool HidHandler::serialAcceptable(const QString& serialNumber)
{
    if (serialNumber.size() > serialLength)
        return false;
    for (const QChar c : serialNumber)
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    return true;
}

QByteArray HidHandler::serialText(const QString& serialNumber)
{
    return serialNumber.rightJustified(serialLength, QLatin1Char('0')).toLatin1();
}

QString HidHandler::libraryPath() const
{
    const QString folder = m_libraryFolder.isEmpty() ? QCoreApplication::applicationDirPath() : m_libraryFolder;
    return folder + QStringLiteral("/VornaExchange");
}

bool HidHandler::read(const QString& serialNumber)
{
    if (!serialAcceptable(serialNumber))
        return false;
    const QByteArray serial = serialText(serialNumber);
    float buffer[valueCount] = {0.0f, 0.0f, 0.0f};
    QLibrary library(libraryPath());
    if (!library.load())
        return false;
    auto readValues = reinterpret_cast<VornaUsbRead>(library.resolve("VORNA_USB_Read"));
    if (!readValues)
        return false;
    if (readValues(serial.constData(), readRequest, readChannel, buffer, int(sizeof buffer)) == 0 || !allFinite(buffer))
        return false;
    for (int i = 0; i < valueCount; ++i)
        m_values[i] = buffer[i];
    return true;
}

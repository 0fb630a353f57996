#include "CalibratorMemory.h"

#include "ArchiveFrameBuilder.h"
#include "AsciiUail.h"
#include "CalibrationRegisters.h"
#include "CalibratorMap.h"
#include "EmulatorStatus.h"

namespace {

// "11;reg;type;count;data": the data follows the three numbers.
constexpr int WriteDataField = 3;

QByteArray noSuchItem()
{
    return EmulatorStatus::reply(EmulatorStatus::NoSuchItem);
}

int archiveHalfRegister(int index, int half)
{
    return index * CalibratorMap::ArchiveFrameBytes + half * CalibratorMap::ArchiveHalfStride;
}

}  // namespace

CalibratorMemory::CalibratorMemory()
{
    const QByteArray cleared = ArchiveFrameBuilder::cleared();
    for (int index = 0; index < CalibratorMap::ArchiveFrameCount; ++index)
        setArchiveFrame(index, cleared);
    CalibrationRegisters::preset(*this);
    fillSettingsDefaults();
}

void CalibratorMemory::setValue(const QString& key, const QString& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_values.insert(key, text.toLatin1());
}

void CalibratorMemory::setValueDrift(const QString& key, double step)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_drifts.insert(key, step);
}

void CalibratorMemory::setRegister(int reg, int type, const QByteArray& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (isImageKey(RegisterKey(reg, type)))
        m_image.setBytes(reg, QByteArray::fromHex(text));
    else
        m_registers.insert(RegisterKey(reg, type), text);
}

QByteArray CalibratorMemory::registerText(int reg, int type) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (isImageKey(RegisterKey(reg, type)))
        return m_image.read(reg, MemoryImage::BlockCount);
    return m_registers.value(RegisterKey(reg, type));
}

bool CalibratorMemory::isSessionOpen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sessionOpen;
}

void CalibratorMemory::setArchiveFrame(int index, const QByteArray& frame)
{
    const QByteArray text = frame.toHex().toUpper();
    const int halfText = 2 * CalibratorMap::ArchiveHalfStride;
    setRegister(archiveHalfRegister(index, 0), CalibratorMap::RegTypeArchive, text.left(halfText));
    setRegister(archiveHalfRegister(index, 1), CalibratorMap::RegTypeArchive, text.mid(halfText));
}

QByteArray CalibratorMemory::archiveFrame(int index) const
{
    const QByteArray text = registerText(archiveHalfRegister(index, 0), CalibratorMap::RegTypeArchive)
                            + registerText(archiveHalfRegister(index, 1), CalibratorMap::RegTypeArchive);
    QByteArray frame(CalibratorMap::ArchiveFrameBytes, '\0');
    const int size = AsciiUail::hexPairsToBytes(reinterpret_cast<quint8*>(frame.data()), text, frame.size());
    return size == frame.size() && text.size() == 2 * frame.size() ? frame : QByteArray();
}

QByteArray CalibratorMemory::readValue(const QStringList& parameters)
{
    if (parameters.isEmpty())
        return noSuchItem();
    const QString qualified = parameters.join(QLatin1Char(';'));
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const QString& key : {qualified, parameters.first()}) {
        const auto it = m_values.find(key);
        if (it == m_values.end())
            continue;
        const QByteArray text = it.value();
        const auto drift = m_drifts.constFind(key);
        if (drift != m_drifts.constEnd())
            it.value() = QByteArray::number(text.toDouble() + drift.value(), 'g', 12);
        return text;
    }
    return noSuchItem();
}

QByteArray CalibratorMemory::readRegisters(const QStringList& parameters) const
{
    RegisterKey key;
    if (!parseRegisterKey(parameters, key))
        return noSuchItem();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (isImageKey(key))
        return m_image.read(key.first, countField(parameters));
    const auto it = m_registers.constFind(key);
    return it != m_registers.constEnd() ? it.value() : noSuchItem();
}

QByteArray CalibratorMemory::writeRegisters(const QStringList& parameters)
{
    RegisterKey key;
    if (parameters.size() <= WriteDataField || !parseRegisterKey(parameters, key))
        return noSuchItem();
    const QByteArray text = parameters.mid(WriteDataField).join(QLatin1Char(';')).toLatin1();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!CalibrationRegisters::isWellFormed(key.first, key.second, text)) {
        ++m_malformedWrites;
        return EmulatorStatus::reply(EmulatorStatus::Malformed);
    }
    if (isImageKey(key))
        return m_image.write(key.first, countField(parameters), text);
    m_registers.insert(key, text);
    trackSession(key, text);
    return EmulatorStatus::reply(EmulatorStatus::Done);
}

int CalibratorMemory::malformedWriteCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_malformedWrites;
}

bool CalibratorMemory::parseRegisterKey(const QStringList& parameters, RegisterKey& key)
{
    if (parameters.size() < 2)
        return false;
    bool regOk = false;
    bool typeOk = false;
    key = RegisterKey(parameters.at(0).toInt(&regOk), parameters.at(1).toInt(&typeOk));
    return regOk && typeOk;
}

void CalibratorMemory::trackSession(const RegisterKey& key, const QByteArray& text)
{
    using namespace CalibratorMap;
    if (key == RegisterKey(RegSessionStart, RegTypeByte) && text == QByteArray::number(SessionStartValue))
        m_sessionOpen = true;
    else if (key == RegisterKey(RegSessionEnd, RegTypeByte) && text == QByteArray::number(SessionEndValue))
        m_sessionOpen = false;
}

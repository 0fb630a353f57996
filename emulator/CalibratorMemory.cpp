#include "CalibratorMemory.h"

#include "CalibratorMap.h"
#include "EmulatorStatus.h"

namespace {

// "11;reg;type;count;data": the data follows the three numbers.
constexpr int WriteDataField = 3;

QByteArray noSuchItem()
{
    return EmulatorStatus::reply(EmulatorStatus::NoSuchItem);
}

}  // namespace

void CalibratorMemory::setValue(const QString& key, const QString& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_values.insert(key, text.toLatin1());
}

void CalibratorMemory::setRegister(int reg, int type, const QByteArray& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_registers.insert(RegisterKey(reg, type), text);
}

QByteArray CalibratorMemory::registerText(int reg, int type) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_registers.value(RegisterKey(reg, type));
}

bool CalibratorMemory::isSessionOpen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sessionOpen;
}

QByteArray CalibratorMemory::readValue(const QStringList& parameters) const
{
    if (parameters.isEmpty())
        return noSuchItem();
    const QString qualified = parameters.join(QLatin1Char(';'));
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const QString& key : {qualified, parameters.first()}) {
        const auto it = m_values.constFind(key);
        if (it != m_values.constEnd())
            return it.value();
    }
    return noSuchItem();
}

QByteArray CalibratorMemory::readRegisters(const QStringList& parameters) const
{
    RegisterKey key;
    if (!parseRegisterKey(parameters, key))
        return noSuchItem();
    std::lock_guard<std::mutex> lock(m_mutex);
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
    m_registers.insert(key, text);
    trackSession(key, text);
    return EmulatorStatus::reply(EmulatorStatus::Done);
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

#include "CalibratorMemory.h"

#include "CalibratorMap.h"

#include <QtEndian>
#include <cstring>

namespace {

// Settings image offsets (byte i of the workstation's settings block is image byte 16 + i).
constexpr int imageStart = CalibratorMap::RegSettingsFirst;
constexpr int kilopascalCode = 6;
constexpr int currentInput4To20 = 1;
constexpr int brightnessHigh = 112;
constexpr int moduleChoiceAddress = 67;
const QDateTime defaultClock(QDate(2025, 6, 2), QTime(10, 30, 0));

void putFloat(QByteArray& image, int offset, float value)
{
    quint32 raw;
    std::memcpy(&raw, &value, sizeof raw);
    qToLittleEndian(raw, image.data() + offset);
}

void putU32(QByteArray& image, int offset, quint32 value)
{
    qToLittleEndian(value, image.data() + offset);
}

// Bytes 0-49 of the settings block: 5 averagings, 3 digits, buzzer and auto-off on, module and
// sensor in kPa, a 4-20 mA sensor of 0-1600 kPa, a module of -100..2500 kPa, bright display.
QByteArray settingsImage()
{
    QByteArray image(50, '\0');
    image[3] = 5;
    image[4] = 3;
    image[7] = 1;
    image[8] = 1;
    image[9] = kilopascalCode;
    image[10] = kilopascalCode;
    image[11] = currentInput4To20;
    putFloat(image, 16, 1600.0f);
    putFloat(image, 20, 0.0f);
    putFloat(image, 24, 2500.0f);
    putFloat(image, 28, -100.0f);
    putU32(image, 32, 1234567);
    putU32(image, 36, 7654321);
    image[48] = char(brightnessHigh);
    image[49] = 75;
    return image;
}

}  // namespace

void CalibratorMemory::fillSettingsDefaults()
{
    using namespace CalibratorMap;
    m_image.setBytes(RegClock, MemoryImage::clockBytes(defaultClock));
    QByteArray image = settingsImage();
    image[0] = m_image.bytes(imageStart, 1).at(0);
    m_image.setBytes(imageStart, image);
    m_image.setBytes(moduleChoiceAddress, QByteArray(1, '\0'));
    m_registers.insert(RegisterKey(RegModuleUnit, RegTypeByte), QByteArray::number(kilopascalCode));
    m_registers.insert(RegisterKey(RegSupply24V, RegTypeByte), "0");
    m_registers.insert(RegisterKey(RegHartModem, RegTypeByte), "0");
    m_registers.insert(RegisterKey(RegAccuracyClass, RegTypeByte), QByteArray("0.05").toHex().toUpper() + "00000000");
    m_registers.insert(RegisterKey(RegSerialNumber, RegTypeFloat), "2101");
    m_values.insert(QString::number(ValueModuleTemperature), "21.5");
}

bool CalibratorMemory::isImageKey(const RegisterKey& key)
{
    return key.second == CalibratorMap::RegTypeMemory && MemoryImage::holds(key.first);
}

int CalibratorMemory::countField(const QStringList& parameters)
{
    return parameters.size() > 2 ? parameters.at(2).toInt() : 0;
}

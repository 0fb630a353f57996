#include "HartRequestData.h"

#include "HartDeviceData.h"

#include <cstring>

namespace {

class RequestWriter
{
public:
    RequestWriter& byte(quint8 value)
    {
        m_data += char(value);
        return *this;
    }

    RequestWriter& word(quint16 value) { return byte(quint8(value >> 8)).byte(quint8(value)); }

    RequestWriter& real(float value)
    {
        quint32 bits;
        std::memcpy(&bits, &value, sizeof bits);
        return word(quint16(bits >> 16)).word(quint16(bits));
    }

    RequestWriter& block(const quint8* bytes, int count)
    {
        m_data.append(reinterpret_cast<const char*>(bytes), count);
        return *this;
    }

    QByteArray data() const { return m_data; }

private:
    QByteArray m_data;
};

}  // namespace

QByteArray hartRequestData(int command, const HartDeviceData& d)
{
    RequestWriter w;
    switch (command) {
    case 6:
        return w.byte(d.newPollingAddress).byte(d.loopCurrentMode).data();
    case 17:
        return w.block(d.message, sizeof d.message).data();
    case 18:
        return w.block(d.tag, sizeof d.tag).block(d.descriptor, sizeof d.descriptor).block(d.date, sizeof d.date).data();
    case 22:
        return w.block(d.longTag, sizeof d.longTag).data();
    case 34:
        return w.real(d.damping).data();
    case 35:
        return w.byte(d.rangeUnit).real(d.upperRangeValue).real(d.lowerRangeValue).data();
    case 38:
        return w.block(d.configChangeCounter, sizeof d.configChangeCounter).data();
    case 40:
        return w.real(d.fixedCurrent).data();
    case 44:
        return w.byte(d.pvUnit).data();
    case 45:
        return w.real(d.trimCurrentLow).data();
    case 46:
        return w.real(d.trimCurrentHigh).data();
    case 47:
        return w.byte(d.transferFunction).data();
    case 59:
        return w.byte(d.responsePreambles).data();
    case 82:
        return w.block(d.trimRequest, sizeof d.trimRequest).data();
    case 123:
        return w.real(d.outputGain).real(d.outputOffset).data();
    case 129:
        return w.byte(d.currentOutputType).byte(d.alarmLevel).real(d.alarmCurrentLow).real(d.alarmCurrentHigh).data();
    case 131:
        return w.real(d.sqrtLinearizationThreshold).real(d.sqrtCutoffThreshold).real(d.sqrtHysteresisWidth).data();
    case 133:
        return w.byte(d.menuLanguage).byte(d.displayDecimals).byte(d.displayMode).data();
    case 135:
        return w.word(d.menuPassword).byte(d.reedZeroing).data();
    case 146:
        return w.real(d.scaleShiftA).data();
    case 148:
        return w.real(d.scaleShiftB).data();
    default:
        return QByteArray();
    }
}

#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The register exchanges that the setup pages run themselves in the GUI thread, one request after
// another, while the serial port rests there.
class DirectExchange
{
public:
    // A calibration register that takes a number within [low, high].
    struct Target
    {
        int reg;
        int type;
        double low;
        double high;
        QString rangeMessage;
    };

    // False when the exchange failed; the calibrator's answer is left in reply.
    static bool send(int reg, int type, int count, const QByteArray& data, QByteArray* reply);
    // True only when the calibrator acknowledged the write with exactly "$0".
    static bool write(int reg, int type, int count, const QByteArray& data);
    // The reply's data, or false for a failed exchange or a status reply.
    static bool readRegister(int reg, int type, int count, QByteArray* data);
    // The number a calibration register (type 3, three words) or a measured value holds, or
    // nothing for a failed exchange, a status reply or a reply that is no number.
    static std::optional<double> readCalibrationRegister(int reg);
    static std::optional<double> readMeasuredValue(int number);
    // Sends value into target when it is a number within the target's range, else shows the range
    // message; shows "Ошибка записи!" when the calibrator does not acknowledge.
    static void writeNumber(const Target& target, std::optional<double> value);

private:
    static bool readValue(int number, QByteArray* data);
    static bool takeData(bool exchanged, const QByteArray& reply, QByteArray* data);
    // At least two characters of decimal text.
    static std::optional<double> calibrationNumber(bool read, const QByteArray& data);
};

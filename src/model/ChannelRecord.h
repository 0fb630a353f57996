#pragma once

#include <limits>

#include <QString>

// The sensor under test and its current measurement, copied by value between the device object,
// the channel table and the settings tab. Pressures are in `unit`, currents in mA.
class ChannelRecord
{
public:
    ChannelRecord();

    // Sets the output current ends from the output type.
    void updateOutputRange();
    // Output current expected at the given pressure; NaN for an unknown output type or characteristic.
    double expectedOutput(double pressure) const;
    // Turns a loop current into the measured pressure and its error in percent of span.
    void currentToValue(double current);
    // The same unit and the same range in use: pressures and errors of one hold for the other.
    bool sameScale(const ChannelRecord& other) const;
    // The pressures and the error, which hold only for the unit and range they were computed in;
    // the loop currents stay.
    void clearMeasurement();

    QString rangeText() const;
    const QString& unitName() const;
    const QString& etUnitName() const;
    QString signalText() const;
    QString outputAccuracyText() const;

    double rawReference = 0;
    double current = 0;
    double measured = 0;
    double reference = 0;
    double outputLow = 0;
    double outputHigh = 5;
    double rangeHigh = 360;
    double rangeLow = 0;
    double error = 100;
    double allowedError = 0.1;
    double hartHigh = 0;
    double hartLow = 0;
    // mA: the loop current the HART poll reads as the calibrator's second HART value.
    double hartCurrent = std::numeric_limits<double>::quiet_NaN();
    // How the cycle that gave the measurement took it: its poll mode, and whether its reference was
    // read from the calibrator rather than typed.
    int pollMode = 0;
    bool referenceFromDevice = false;
    quint8 unit = 0;
    quint8 outputType = 0;
    quint8 characteristic = 0;
    QString model;
    QString serial;
    QString name;
    bool hartOutput = false;
    bool hartRange = false;
};

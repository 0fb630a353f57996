#pragma once

#include <QString>
#include <limits>

// One verification point. Pressures are in `unit`, errors in percent, currents in mA; the
// uncertainty terms are filled by ResultsModel when the point's set is computed.
class ResultRecord
{
public:
    // 1 within tolerance, 2 within tolerance only without the coefficient, 3 out of tolerance.
    void updateVerdict();

    void setReference(double value) { reference = value; }
    void setMeasured(double value) { measured = value; }
    void setError(double value);
    void setAllowedError(double value);
    void setCoefficient(double value);
    void setCurrent(double value) { current = value; }
    void setExpectedCurrent(double value) { expectedCurrent = value; }
    void setGroup(int value) { group = value; }
    void setUnit(quint8 value) { unit = value; }
    void setKind(quint8 value) { kind = value; }
    void setReferenceFromDevice(bool value) { referenceFromDevice = value; }
    void setHasCurrent(bool value) { hasCurrent = value; }
    void setRangeText(const QString& value) { rangeText = value; }
    void setRangeLow(double value) { rangeLow = value; }
    void setRangeHigh(double value) { rangeHigh = value; }
    void setOutputLow(double value) { outputLow = value; }
    void setOutputHigh(double value) { outputHigh = value; }

    int number = 0;
    int group = 0;
    quint8 verdict = 0;
    quint8 unit = 0;
    // The poll mode the point was taken in: 0 loop current, 1 HART.
    quint8 kind = 0;
    double reference = std::numeric_limits<double>::quiet_NaN();
    double measured = std::numeric_limits<double>::quiet_NaN();
    double error = std::numeric_limits<double>::quiet_NaN();
    double allowedError = std::numeric_limits<double>::quiet_NaN();
    double coefficient = std::numeric_limits<double>::quiet_NaN();
    double current = std::numeric_limits<double>::quiet_NaN();
    double expectedCurrent = std::numeric_limits<double>::quiet_NaN();
    double uCurrent = std::numeric_limits<double>::quiet_NaN();
    double uMeasured = std::numeric_limits<double>::quiet_NaN();
    double uReference = 0;
    bool uReferenceSet = false;
    double uResult = 0;
    bool uResultSet = false;
    double expandedRelative = 0;
    double expanded = 0;
    bool expandedSet = false;
    bool referenceFromDevice = false;
    bool hasCurrent = false;
    QString rangeText;
    double rangeLow = std::numeric_limits<double>::quiet_NaN();
    double rangeHigh = std::numeric_limits<double>::quiet_NaN();
    // mA: the channel's output ends when the point was taken, for the loop-current term.
    double outputLow = std::numeric_limits<double>::quiet_NaN();
    double outputHigh = std::numeric_limits<double>::quiet_NaN();
};

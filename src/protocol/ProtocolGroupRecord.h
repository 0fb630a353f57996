#pragma once

#include <QString>
#include <limits>

// One verification group as the protocol lists it: the point that stands for the group (the one
// with the largest absolute error) and the variation against the mirrored group. Numbers are in
// percent or mA, texts already in the device's unit.
class ProtocolGroupRecord
{
public:
    // Field codes of the list keys.
    enum Field {
        RowField = 0,
        HasCurrentField = 1,
        CurrentField = 2,
        MeasuredField = 3,
        ReferenceField = 4,
        ErrorField = 5,
        UncertaintyField = 6,
        Field7 = 7,
        AllowedErrorField = 8,
        RangeField = 9,
        ExpectedCurrentField = 10,
        VariationField = 11,
        AllowedVariationField = 12,
    };

    // "-" for every field while no point is chosen.
    QString fieldText(int code) const;
    bool hasPoint() const { return row >= 0; }

    int row = -1;
    bool hasCurrent = false;
    double current = std::numeric_limits<double>::quiet_NaN();
    double expectedCurrent = std::numeric_limits<double>::quiet_NaN();
    // While the point is chosen: the largest absolute error so far.
    double error = -1.0;
    double uncertainty = std::numeric_limits<double>::quiet_NaN();
    double allowedError = std::numeric_limits<double>::quiet_NaN();
    double variation = std::numeric_limits<double>::quiet_NaN();
    double allowedVariation = std::numeric_limits<double>::quiet_NaN();
    QString measuredText;
    QString referenceText;
    QString rangeText;
    QString field7Text;
};

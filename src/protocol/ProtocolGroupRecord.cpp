#include "ProtocolGroupRecord.h"

#include "TextDiscription.h"

namespace {

QString number(double value)
{
    return formatNumberForProtocol(value, -1);
}

}  // namespace

QString ProtocolGroupRecord::fieldText(int code) const
{
    if (!hasPoint())
        return QStringLiteral("-");
    switch (code) {
    case RowField:
        return QString::number(row);
    case HasCurrentField:
        return QString::number(hasCurrent ? 1 : 0);
    case CurrentField:
        return hasCurrent ? number(current) : QStringLiteral("-");
    case MeasuredField:
        return measuredText;
    case ReferenceField:
        return referenceText;
    case RangeField:
        return rangeText;
    case Field7:
        return field7Text;
    case ErrorField:
        return number(error);
    case UncertaintyField:
        return number(uncertainty);
    case AllowedErrorField:
        return number(allowedError);
    case ExpectedCurrentField:
        return number(expectedCurrent);
    case VariationField:
        return number(variation);
    case AllowedVariationField:
        return number(allowedVariation);
    default:
        return QString();
    }
}

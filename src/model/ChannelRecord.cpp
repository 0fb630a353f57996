#include "ChannelRecord.h"

#include "TextDiscription.h"
#include "VerificationSettings.h"

#include <QObject>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr int outputTypeCount = 4;

// Loop current at the low and at the high end of the range, mA, by output type.
constexpr double outputEnds[outputTypeCount][2] = {{0, 5}, {4, 20}, {5, 0}, {20, 4}};

bool isReversedOutput(quint8 outputType)
{
    return outputType == 2 || outputType == 3;
}

}  // namespace

ChannelRecord::ChannelRecord()
    : model(QStringLiteral("-")), serial(QStringLiteral("-")), name(QObject::tr("нет"))
{
}

void ChannelRecord::updateOutputRange()
{
    if (outputType >= outputTypeCount)
        return;
    outputLow = std::min(outputEnds[outputType][0], outputEnds[outputType][1]);
    outputHigh = std::max(outputEnds[outputType][0], outputEnds[outputType][1]);
}

double ChannelRecord::expectedOutput(double pressure) const
{
    if (outputType >= outputTypeCount || characteristic > 1)
        return notANumber;
    const double lo = isReversedOutput(outputType) ? outputHigh : outputLow;
    const double hi = isReversedOutput(outputType) ? outputLow : outputHigh;
    const double x = (pressure - rangeLow) / (rangeHigh - rangeLow);
    if (characteristic == 0)
        return lo + x * (hi - lo);
    const double root = std::pow(std::fabs(x), 0.5);
    return x >= 0 ? lo + root * (hi - lo) : lo - root * (hi - lo);
}

void ChannelRecord::currentToValue(double loopCurrent)
{
    current = loopCurrent;
    const double span = rangeHigh - rangeLow;
    if (outputType >= outputTypeCount) {
        measured = notANumber;
        error = notANumber;
        return;
    }
    const double lo = outputEnds[outputType][0];
    const double hi = outputEnds[outputType][1];
    const double x = (loopCurrent - lo) / (hi - lo);
    if (characteristic == 1)
        measured = x >= 0 ? rangeLow + x * x * span : rangeLow - x * x * span;
    else
        measured = rangeLow + x * span;
    error = (measured - reference) * 100 / span;
}

bool ChannelRecord::sameScale(const ChannelRecord& other) const
{
    // An unknown end of a transmitter's range is NaN, and the same as another unknown one.
    const auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    if (unit != other.unit || hartRange != other.hartRange)
        return false;
    if (hartRange)
        return same(hartLow, other.hartLow) && same(hartHigh, other.hartHigh);
    return same(rangeLow, other.rangeLow) && same(rangeHigh, other.rangeHigh);
}

void ChannelRecord::clearMeasurement()
{
    measured = notANumber;
    reference = notANumber;
    error = notANumber;
}

QString ChannelRecord::rangeText() const
{
    return QString::number(rangeLow, 'g', 6) + QLatin1String("...") + QString::number(rangeHigh, 'g', 6)
        + QLatin1Char(' ') + unitName();
}

const QString& ChannelRecord::unitName() const
{
    return ::unitName(unit);
}

const QString& ChannelRecord::etUnitName() const
{
    return ::unitName(unit);
}

QString ChannelRecord::signalText() const
{
    if (outputType >= TextDiscription::lstOutputs.size())
        return QStringLiteral("-");
    const QString& output = TextDiscription::lstOutputs.at(outputType);
    return characteristic == 1 ? QString(QChar(0x221A)) + output : output;
}

QString ChannelRecord::outputAccuracyText() const
{
    if (outputHigh == outputLow || !g_verificationSettings)
        return QStringLiteral("-");
    return formatNumberTrimmed(0.3 / (outputHigh - outputLow), -1);
}

#include "DoubleValidator.h"

#include <QRegExp>
#include <QRegExpValidator>
#include <cmath>

namespace {

QRegExp numberPattern()
{
    return QRegExp(QStringLiteral("^\\-?\\d*\\.?\\d*(e\\-?\\d*)?$"), Qt::CaseInsensitive, QRegExp::RegExp);
}

}  // namespace

DoubleValidator::DoubleValidator(QObject* parent)
    : QValidator(parent), regExpValidator(new QRegExpValidator(numberPattern(), parent))
{
}

QValidator::State DoubleValidator::validate(QString& input, int& pos) const
{
    if (input.isEmpty())
        return Acceptable;
    input.replace(QLatin1Char(','), QLatin1Char('.'));
    const int point = input.indexOf(QLatin1Char('.'));
    if (point >= 0 && input.indexOf(QLatin1Char('.'), point + 1) >= 0)
        return Invalid;
    const State state = regExpValidator->validate(input, pos);
    if (state == Acceptable && !number(input))
        return Intermediate;
    return state;
}

std::optional<double> DoubleValidator::number(QString text)
{
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || !numberPattern().exactMatch(text))
        return std::nullopt;
    return value;
}

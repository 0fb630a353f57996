#include "ProtocolGroups.h"

#include "ChannelRecord.h"
#include "ParametrDouble.h"
#include "ParametrEnum.h"
#include "PressureUnits.h"
#include "ResultsModel.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"

#include <cmath>

namespace {

constexpr int conformingVerdict = 1;
constexpr int failedCheck = 1;

double inChannelUnit(const ResultRecord& point, const ChannelRecord& channel, double value)
{
    return PressureUnits::convert(point.unit, channel.unit, value);
}

QString pressureText(const ResultRecord& point, const ChannelRecord& channel, double value)
{
    return formatNumberForProtocol(inChannelUnit(point, channel, value), -1);
}

}  // namespace

void ProtocolGroups::clear()
{
    m_numbers.clear();
    m_groups.clear();
    m_allConform = false;
    m_maxError = 0;
    m_maxVariation = 0;
}

void ProtocolGroups::computeGroups(ResultsModel& results, const ChannelRecord& channel,
                                   const VerificationSettings& settings)
{
    clear();
    const QVector<int> rows = choosePoints(results, collectGroups(results));
    m_allConform = !m_groups.isEmpty();
    for (int i = 0; i < m_groups.size(); ++i) {
        const int row = rows.at(i);
        if (row < 0) {
            m_allConform = false;
            continue;
        }
        const ResultRecord& point = *results.record(row);
        if (point.verdict != conformingVerdict)
            m_allConform = false;
        m_groups[i].row = row;
        fillRecord(m_groups[i], point, channel);
    }
    computeVariations(results, channel, settings.prAnalysisCoeffVariation->value());
    applyChecks(settings);
}

QHash<int, int> ProtocolGroups::collectGroups(ResultsModel& results)
{
    QHash<int, int> positions;
    for (int row = 0; row < results.rowCount(); ++row) {
        const int number = results.record(row)->group;
        if (number != 0 && !positions.contains(number)) {
            positions.insert(number, m_numbers.size());
            m_numbers.append(number);
            m_groups.append(ProtocolGroupRecord());
        }
    }
    return positions;
}

QVector<int> ProtocolGroups::choosePoints(ResultsModel& results, const QHash<int, int>& positions) const
{
    QVector<int> chosen(m_groups.size(), -1);
    QVector<double> largest(m_groups.size(), -1.0);
    for (int row = 0; row < results.rowCount(); ++row) {
        const ResultRecord& point = *results.record(row);
        const auto position = positions.constFind(point.group);
        if (position == positions.cend())
            continue;
        const double error = std::fabs(point.error);
        if (error >= largest.at(*position)) {
            chosen[*position] = row;
            largest[*position] = error;
        }
    }
    return chosen;
}

void ProtocolGroups::fillRecord(ProtocolGroupRecord& group, const ResultRecord& point, const ChannelRecord& channel)
{
    group.measuredText = pressureText(point, channel, point.measured);
    group.referenceText = pressureText(point, channel, point.reference);
    group.rangeText = pressureText(point, channel, point.rangeLow) + QStringLiteral(" .. ")
                      + pressureText(point, channel, point.rangeHigh);
    group.error = point.error;
    group.allowedError = point.allowedError;
    group.uncertainty = point.expandedSet ? point.expandedRelative : std::nan("");
    group.hasCurrent = point.hasCurrent;
    group.current = point.current;
    group.expectedCurrent = point.expectedCurrent;
    if (std::fabs(point.error) > m_maxError)
        m_maxError = std::fabs(point.error);
}

// Mirrored groups are the first and the last, the second and the second to last, and so on.
void ProtocolGroups::computeVariations(ResultsModel& results, const ChannelRecord& channel, double coefficient)
{
    for (const ProtocolGroupRecord& group : qAsConst(m_groups))
        if (!group.hasPoint())
            return;
    const double span = channel.rangeHigh - channel.rangeLow;
    const int n = m_groups.size();
    for (int i = 0; i < n; ++i) {
        const ResultRecord& point = *results.record(m_groups.at(i).row);
        const ResultRecord& mirror = *results.record(m_groups.at(n - 1 - i).row);
        const double difference =
            inChannelUnit(point, channel, point.measured) - inChannelUnit(mirror, channel, mirror.measured);
        ProtocolGroupRecord& group = m_groups[i];
        group.variation = span != 0 ? std::fabs(difference) * 100 / span : std::nan("");
        group.allowedVariation = group.allowedError * coefficient;
        if (group.variation > m_maxVariation)
            m_maxVariation = group.variation;
    }
}

void ProtocolGroups::applyChecks(const VerificationSettings& settings)
{
    for (const ParametrEnum* check : {settings.prCheckTightness, settings.prTrial, settings.prCheckInsulationStrength,
                                      settings.prCheckInsulationResistance})
        if (check->value() == failedCheck)
            m_allConform = false;
}

#pragma once

#include "ProtocolGroupRecord.h"

#include <QHash>
#include <QList>
#include <QVector>

class ChannelRecord;
class ResultRecord;
class ResultsModel;
class VerificationSettings;

// The verification groups of a protocol, rebuilt from the results at every save: one record per
// group number other than 0, in the order the numbers first occur, the maxima and the verdict.
class ProtocolGroups
{
public:
    void computeGroups(ResultsModel& results, const ChannelRecord& channel, const VerificationSettings& settings);
    // No group at all, and no verdict either.
    void clear();

    const QList<int>& groupNumbers() const { return m_numbers; }
    const QList<ProtocolGroupRecord>& groups() const { return m_groups; }
    int count() const { return m_groups.size(); }
    // Every group has a conforming point and no check failed; false without groups.
    bool allGroupsConform() const { return m_allConform; }
    double maxGroupError() const { return m_maxError; }
    double maxGroupVariation() const { return m_maxVariation; }

private:
    // Each group number's position in m_groups.
    QHash<int, int> collectGroups(ResultsModel& results);
    // Each group's row of the point with the largest absolute error, in one pass over the results;
    // the later of two points with the same absolute error stands for the group, and a group whose
    // errors are no numbers has none (-1).
    QVector<int> choosePoints(ResultsModel& results, const QHash<int, int>& positions) const;
    void fillRecord(ProtocolGroupRecord& group, const ResultRecord& point, const ChannelRecord& channel);
    void computeVariations(ResultsModel& results, const ChannelRecord& channel, double coefficient);
    void applyChecks(const VerificationSettings& settings);

    QList<int> m_numbers;
    QList<ProtocolGroupRecord> m_groups;
    bool m_allConform = false;
    double m_maxError = 0;
    double m_maxVariation = 0;
};

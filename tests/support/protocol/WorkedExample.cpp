#include "WorkedExample.h"

#include "ChannelRecord.h"
#include "ExcelSaver.h"
#include "ParametrDouble.h"
#include "ParametrEnum.h"
#include "ParametrInt.h"
#include "ResultsModel.h"
#include "VerificationSettings.h"

void WorkedExample::attach(ExcelSaver& saver, ChannelRecord& channel, DeviceSettings& device, ResultsModel& results,
                           VerificationSettings& settings)
{
    saver.setChannel(&channel);
    saver.setDeviceSettings(&device);
    saver.setResultsModel(&results);
    saver.setVerificationSettings(&settings);
}

void WorkedExample::setChannel(ChannelRecord& channel)
{
    channel.unit = 1;
    channel.rangeLow = 0;
    channel.rangeHigh = 1000;
    channel.outputType = 1;
    channel.characteristic = 0;
    channel.updateOutputRange();
    channel.allowedError = 0.5;
    channel.name = QStringLiteral("ДИ");
    channel.serial = QStringLiteral("S-100");
}

ResultRecord WorkedExample::point(const ChannelRecord& channel, int group, double reference, double measured,
                                  double coefficient)
{
    ResultRecord record;
    record.setUnit(channel.unit);
    record.setGroup(group);
    record.setReference(reference);
    record.setMeasured(measured);
    record.setAllowedError(channel.allowedError);
    record.setCoefficient(coefficient);
    record.setError((measured - reference) * 100 / (channel.rangeHigh - channel.rangeLow));
    record.setHasCurrent(true);
    record.setCurrent(4 + 16 * measured / 1000);
    record.setExpectedCurrent(channel.expectedOutput(reference));
    record.setRangeLow(channel.rangeLow);
    record.setRangeHigh(channel.rangeHigh);
    record.setOutputLow(channel.outputLow);
    record.setOutputHigh(channel.outputHigh);
    return record;
}

void WorkedExample::fill(ChannelRecord& channel, VerificationSettings& settings, ResultsModel& results)
{
    setChannel(channel);
    settings.prProtocolDecimals->setValue(3);
    settings.prAnalysisCoeffAccuracy->setValue(1.0);
    settings.prAnalysisCoeffVariation->setValue(2.0);
    for (ParametrEnum* check : {settings.prCheckTightness, settings.prTrial, settings.prCheckInsulationStrength,
                                settings.prCheckInsulationResistance})
        check->setValue(0);
    const struct
    {
        int group;
        double reference;
        double measured;
    } points[] = {{1, 0, 1.2},    {1, 0, -2.0},   {0, 250, 262.0}, {2, 500, 503.0}, {2, 500, 497.0},
                  {3, 1000, 1004.5}, {4, 500, 504.0}, {4, 500, 502.0}, {5, 0, 1.0}};
    results.clear();
    for (const auto& p : points)
        results.append(point(channel, p.group, p.reference, p.measured));
}

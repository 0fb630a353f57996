#pragma once

#include "ResultRecord.h"

class ChannelRecord;
class ExcelSaver;
class DeviceSettings;
class ResultsModel;
class VerificationSettings;

// The protocol example worked out by hand: a kPa channel 0...1000 with 4-20 mA, allowed error 0.5 %,
// three decimals, coefficients 1.0 and 2.0, and nine points in groups 1, 1, 0, 2, 2, 3, 4, 4, 5.
// Groups 1 to 5 stand on rows 1, 4, 5, 6, 8 with errors -0.2, -0.3, 0.45, 0.4, 0.1 %.
class WorkedExample
{
public:
    static void fill(ChannelRecord& channel, VerificationSettings& settings, ResultsModel& results);
    static void setChannel(ChannelRecord& channel);
    // Hands the saver the records it fills the protocol from.
    static void attach(ExcelSaver& saver, ChannelRecord& channel, DeviceSettings& device, ResultsModel& results,
                       VerificationSettings& settings);
    // A point of the channel with the error and the loop current the measured pressure gives.
    static ResultRecord point(const ChannelRecord& channel, int group, double reference, double measured,
                              double coefficient = 1.0);
};

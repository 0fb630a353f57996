#pragma once

#include "ParametrEnumItem.h"

#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

// The fixed vocabulary of the workstation. Built empty before main, filled once by
// initChoiceLists in the GUI thread; project loading rewrites lstChannelsNames and lstId.
namespace TextDiscription {

extern QStringList lstChannelsNames;
// The names the program offers itself; names typed by the user come and go, these stay.
extern QStringList lstBuiltInChannelNames;
extern QStringList lstCharacteristics;
extern QStringList lstUnits;
extern QStringList lstOutputs;
extern QStringList lstModuleCodes;
extern QStringList lstClasses;
extern QStringList lstModuleUnits;
extern QList<ParametrEnumItem*> lstVerificationKinds;
extern QList<ParametrEnumItem*> lstConformity;
extern QStringList lstId;

extern const QString noValue;

}  // namespace TextDiscription

void initChoiceLists();

// The language of shown numbers and dates, whatever the system's: decimal comma, a blank between
// thousands, Russian month names. Input fields keep the default locale, which their validators
// and the calibrator's texts rely on.
const QLocale& russianLocale();

// Name of a unit index, TextDiscription::noValue outside the unit list.
const QString& unitName(int index);

// The double read from the shortest text that reads back as the same float, so that a
// single-precision value shows the digits it holds: widened as it is, 100.05f would show its binary
// tail (100.05000305), and seven significant digits would lose those of a float that needs eight or nine.
double widenFloat(float value);

// Fixed notation with the given decimals, trailing zeros and point removed, never "-0"; "-" for NaN or infinity.
QString trimmedNumber(double value, int decimals);
// Six decimals, trimmed as above.
QString floatToText(float value);
QString doubleToText(double value);
// A unit of -1 gives the bare number, any other unit appends a blank and its name.
QString formatNumberTrimmed(double value, int unit);
QString formatNumberForProtocol(double value, int unit);

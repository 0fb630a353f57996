#pragma once

#include "HartTextEntry.h"

#include <QString>

// Code-to-text tables of the HART pages. Filled once by initHartTextTables in the GUI thread after
// the translator is installed; read-only afterwards, so worker threads read them without a lock.
extern HartTextTable g_hartPhysicalSignaling;
extern HartTextTable g_hartTransferFunctions;
extern HartTextTable g_hartUnits;
extern HartTextTable g_hartOnOff;
extern HartTextTable g_hartPermission;
extern HartTextTable g_hartCurrentOutputTypes;
extern HartTextTable g_hartAlarmLevels;
extern HartTextTable g_hartDisplayModes;

extern const QString g_hartEmptyText;

extern QString g_trimMsgFixed4mA;
extern QString g_trimMsgFixed0mA;
extern QString g_trimMsgLowPoint;
extern QString g_trimMsgHighPoint;
extern QString g_trimMsgDone;
extern QString g_msgWrongFieldData;

void initHartTextTables();

// Text of the first row with the code, g_hartEmptyText when no row has it.
const QString& hartCodeText(quint8 code, const HartTextTable& table);
// Code of the first row whose text is exactly the given one; ok false and 0 when none is.
quint8 hartCodeByText(const QString& text, const HartTextTable& table, bool* ok);

const QString& hartPhysicalSignalingText(quint8 code);
const QString& hartUnitText(quint8 code);
const QString& hartCurrentOutputTypeText(quint8 code);
const QString& hartOnOffText(quint8 code);

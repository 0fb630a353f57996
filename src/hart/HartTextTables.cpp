#include "HartTextTables.h"

#include <QObject>

HartTextTable g_hartPhysicalSignaling;
HartTextTable g_hartTransferFunctions;
HartTextTable g_hartUnits;
HartTextTable g_hartOnOff;
HartTextTable g_hartPermission;
HartTextTable g_hartCurrentOutputTypes;
HartTextTable g_hartAlarmLevels;
HartTextTable g_hartDisplayModes;

const QString g_hartEmptyText;

QString g_trimMsgFixed4mA;
QString g_trimMsgFixed0mA;
QString g_trimMsgLowPoint;
QString g_trimMsgHighPoint;
QString g_trimMsgDone;
QString g_msgWrongFieldData;

namespace {

QString fixedCurrentSteps(int lowMa, int highMa)
{
    const QString setCurrent = QObject::tr("Установите фиксированный ток с помощью кнопки \"=> %1 мА\". ");
    const QString enterCurrent = QObject::tr(" Введите истиное значение тока в соответствующее поле.");
    return setCurrent.arg(lowMa) + QLatin1Char('\n') + enterCurrent + QLatin1String(" \n")
        + setCurrent.arg(highMa) + QLatin1Char('\n') + enterCurrent;
}

QString trimPointSteps(const QString& point)
{
    return QObject::tr("Установите давление, соответствующее %1 точке подстройки. Оно должно находиться "
                       "внутри диапазона допустимых давлений для %1 точки. Дождитесь установления "
                       "переходный процессов и введите в активное поле ввода значение давления, "
                       "измеренное эталонным датчиком. Нажмите кнопку \">> Далее\".")
        .arg(point);
}

void fillTables()
{
    g_hartPhysicalSignaling = {{0, QStringLiteral("Bell 202 Current")},
                               {1, QStringLiteral("Bell 202 Voltage")},
                               {2, QStringLiteral("RS-485")},
                               {3, QStringLiteral("RS-232")},
                               {4, QStringLiteral("Wireless")},
                               {6, QStringLiteral("Special")}};
    g_hartTransferFunctions = {{0, QObject::tr("Линейная")}, {1, QObject::tr("Корнеизвлекающая")}};
    // HART unit codes; the transmitters' psi (code 6) has no text here.
    g_hartUnits = {{11, QObject::tr("Па")},
                   {12, QObject::tr("кПа")},
                   {237, QObject::tr("МПа")},
                   {10, QObject::tr("кгс/см2")},
                   {176, QObject::tr("кгс/м2")},
                   {5, QObject::tr("мм рт. ст.")},
                   {239, QObject::tr("мм вод. ст.")},
                   {8, QObject::tr("мБар")},
                   {7, QObject::tr("Бар")},
                   {14, QObject::tr("Атм")}};
    g_hartOnOff = {{0, QObject::tr("Выключена")}, {1, QObject::tr("Включена")}};
    g_hartPermission = {{0, QObject::tr("запрещено")}, {1, QObject::tr("разрешено")}};
    g_hartCurrentOutputTypes = {{0, QStringLiteral("0-5")},
                                {1, QStringLiteral("4-20")},
                                {2, QStringLiteral("5-0")},
                                {3, QStringLiteral("20-4")}};
    g_hartAlarmLevels = {{0, QObject::tr("низкий")},
                         {1, QObject::tr("высокий")},
                         {2, QObject::tr("выключен")},
                         {3, QObject::tr("двойной")}};
    g_hartDisplayModes = {{0, QObject::tr("давление")}, {1, QObject::tr("% от диапазона")}, {2, QObject::tr("мА")}};
}

// Built here rather than before main so that the installed translator reaches them.
void fillTrimMessages()
{
    g_trimMsgFixed4mA = fixedCurrentSteps(4, 20);
    g_trimMsgFixed0mA = fixedCurrentSteps(0, 5);
    g_trimMsgLowPoint = trimPointSteps(QObject::tr("нижней"));
    g_trimMsgHighPoint = trimPointSteps(QObject::tr("верхней"));
    g_trimMsgDone = QObject::tr("Подстройка успешно завершена.");
    g_msgWrongFieldData = QObject::tr("В выбранном поле содержатся неверные данные");
}

}  // namespace

void initHartTextTables()
{
    fillTables();
    fillTrimMessages();
}

const QString& hartCodeText(quint8 code, const HartTextTable& table)
{
    for (const HartTextEntry& entry : table) {
        if (entry.code == code)
            return entry.text;
    }
    return g_hartEmptyText;
}

quint8 hartCodeByText(const QString& text, const HartTextTable& table, bool* ok)
{
    for (const HartTextEntry& entry : table) {
        if (entry.text == text) {
            if (ok)
                *ok = true;
            return entry.code;
        }
    }
    if (ok)
        *ok = false;
    return 0;
}

const QString& hartPhysicalSignalingText(quint8 code)
{
    return hartCodeText(code, g_hartPhysicalSignaling);
}

const QString& hartUnitText(quint8 code)
{
    return hartCodeText(code, g_hartUnits);
}

const QString& hartCurrentOutputTypeText(quint8 code)
{
    return hartCodeText(code, g_hartCurrentOutputTypes);
}

const QString& hartOnOffText(quint8 code)
{
    return hartCodeText(code, g_hartOnOff);
}

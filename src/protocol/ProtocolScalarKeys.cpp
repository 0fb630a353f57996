#include "ProtocolScalarKeys.h"

#include "ChannelRecord.h"
#include "DeviceSettings.h"
#include "ExcelSaver.h"
#include "ParametrDouble.h"
#include "ParametrEnum.h"
#include "ParametrString.h"
#include "PressureUnits.h"
#include "ProtocolGroups.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"
#include "XlsxWorkbook.h"
#include "XlsxWorksheet.h"

#include <QtEndian>
#include <algorithm>

namespace {

// Places in the calibrator's settings block: little-endian numbers, limits in kPa.
constexpr int averagingByte = 3;
constexpr int moduleUpperOffset = 24;
constexpr int moduleLowerOffset = 28;
constexpr int moduleSerialOffset = 36;
constexpr int calibratorSerialOffset = 57;

// Row height in points per line and point of the font; the usual line spacing of office programs.
constexpr double lineSpacing = 1.3;
constexpr double defaultPointSize = 11;

const QString halfListKey = QStringLiteral("&LST_H");
const QString fullListKey = QStringLiteral("&LST_F");

quint32 wordAt(const DeviceSettings& device, int offset)
{
    return qFromLittleEndian<quint32>(device.bytes.data() + offset);
}

QString moduleLimitText(const DeviceSettings& device, int offset)
{
    const quint8 unit = quint8(device.etalonUnitIndex());
    return formatNumberForProtocol(PressureUnits::fromKpaFloat(unit, device.floatAt(offset)), -1);
}

QString calibratorSerial(const DeviceSettings& device)
{
    return QString::number(wordAt(device, calibratorSerialOffset));
}

QString etalonRange(const VerificationSettings& settings, const DeviceSettings& device)
{
    return settings.etalonRangeText(device.floatAt(moduleUpperOffset), device.floatAt(moduleLowerOffset),
                                    device.etalonUnitIndex());
}

template <typename Group>
void add(Group& group, std::initializer_list<const char*> keys, const QString& value)
{
    for (const char* key : keys)
        group.keys.append({QString::fromLatin1(key), value});
}

QString chosen(bool conform, const char* conforming, const char* failing)
{
    return QString::fromUtf8(conform ? conforming : failing);
}

}  // namespace

void ProtocolScalarKeys::build(const VerificationSettings& settings, const DeviceSettings& device,
                               const ChannelRecord& channel, const ProtocolGroups& groups)
{
    const bool conform = groups.allGroupsConform();
    m_groupCount = groups.count();
    m_groups = {referenceGroup(settings, device, channel), conditionsGroup(settings, device),
                deviceGroup(settings, channel), maximaGroup(groups), verdictGroup(settings, conform),
                deviceVerdictGroup(settings, conform)};
}

ProtocolScalarKeys::Group ProtocolScalarKeys::referenceGroup(const VerificationSettings& settings,
                                                             const DeviceSettings& device, const ChannelRecord& channel)
{
    Group group{QStringLiteral("&ET_"), {}};
    add(group, {"&ET_ZFN_TYPE"}, deviceTypeName());
    add(group, {"&ET_ZFN_SERIAL"}, calibratorSerial(device));
    add(group, {"&ET_ZFN_ACC"}, channel.outputAccuracyText());
    add(group, {"&ET_ZFN_INTERVAL"}, QString());
    add(group, {"&ET_TZS_TYPE"}, QStringLiteral("ТЖС-020"));
    add(group, {"&ET_TZS_SERIAL"}, QString::number(wordAt(device, moduleSerialOffset)));
    add(group, {"&ET_TZS_ACC"}, settings.accuracyClassText);
    add(group, {"&ET_TZS_INTERVAL"}, etalonRange(settings, device));
    add(group, {"&ET_PSET_TYPE"}, settings.prPsetterType->valueText());
    add(group, {"&ET_PSET_SERIAL"}, settings.prPsetterNumber->valueText());
    add(group, {"&ET_PSET_ACC"}, settings.prPsetterAccuracy->valueText());
    add(group, {"&ET_PSET_INTERVAL"}, QString());
    add(group, {"&ET_TYPE"}, deviceTypeName());
    add(group, {"&ET_SERIAL"}, calibratorSerial(device));
    add(group, {"&ET_OWNER"}, settings.prOrganisation->valueText());
    add(group, {"&ET_UNIT"}, unitName(device.etalonUnitIndex()));
    add(group, {"&ET_LO"}, moduleLimitText(device, moduleLowerOffset));
    add(group, {"&ET_HI"}, moduleLimitText(device, moduleUpperOffset));
    add(group, {"&ET_TZS_AVER"}, QString::number(device.bytes[averagingByte]));
    add(group, {"&ET_MODEL"}, settings.etalonModelText);
    add(group, {"&ET_CLASS"}, settings.accuracyClassText);
    add(group, {"&ET_REG_NUM"}, settings.prRegNumberZfn->valueText());
    add(group, {"&ET_ACC"},
        settings.etalonAccuracyText(device.floatAt(moduleUpperOffset), device.floatAt(moduleLowerOffset)));
    return group;
}

ProtocolScalarKeys::Group ProtocolScalarKeys::conditionsGroup(const VerificationSettings& settings,
                                                              const DeviceSettings& device)
{
    Group group{QStringLiteral("&CD_"), {}};
    add(group, {"&CD_TEMP_FULL"}, QStringLiteral("температура ") + settings.temperature + QStringLiteral(" °C"));
    add(group, {"&CD_HUM_FULL"}, QStringLiteral("влажность ") + settings.humidity + QStringLiteral(" %"));
    add(group, {"&CD_PRES_FULL"},
        QStringLiteral("атмосферное давление ") + settings.atmPressure + QLatin1Char(' ') + settings.atmPressureUnits);
    add(group, {"&CD_PRES_UNITS"}, settings.atmPressureUnits);
    add(group, {"&CD_DATE"}, settings.protocolDate);
    add(group, {"&CD_TEMP"}, settings.temperature);
    add(group, {"&CD_HUM"}, settings.humidity);
    add(group, {"&CD_PRES"}, settings.atmPressure);
    add(group, {"&CD_VERIF_POS"}, settings.verificatorPos);
    add(group, {"&CD_CHEF_POS"}, settings.chefPos);
    add(group, {"&CD_VERIF"}, settings.verificatorName);
    add(group, {"&CD_CHEF"}, settings.chefName);
    add(group, {"&CD_CLASS"}, QString());
    add(group, {"&CD_DV_COUNT"}, QStringLiteral("1"));
    add(group, {"&CD_VRCOEFF"}, settings.prAnalysisCoeffAccuracy->valueText());
    add(group, {"&CD_VAL_DATE"}, settings.protocolDate);
    add(group, {"&CD_ORG"}, settings.prOrganisation->valueText());
    add(group, {"&CD_ADDRESS"}, settings.prOrganisationAddress->valueText());
    add(group, {"&CD_CRT_NUM"}, settings.prOrganisationCert->valueText());
    group.keys.append({QStringLiteral("&CD_ET_AUX_LST"), referenceList(settings, device), true});
    return group;
}

// Three fixed lines (calibrator, reference module, pressure setter), then the user's own list.
QString ProtocolScalarKeys::referenceList(const VerificationSettings& settings, const DeviceSettings& device)
{
    QString list = QStringLiteral("Эталон: ");
    for (const QString& item : {deviceTypeName(), calibratorSerial(device), settings.prRegNumberZfn->valueText(),
                                QStringLiteral("4..20 мА")})
        ExcelSaver::appendListItem(list, item);
    list += QStringLiteral("\nЭталон: ");
    for (const QString& item : {QStringLiteral("ТЖС-020"), settings.etalonModelText,
                                settings.prRegNumberTzs->valueText(), etalonRange(settings, device)})
        ExcelSaver::appendListItem(list, item);
    list += QStringLiteral("\nЗадатчик давления: ");
    for (const QString& item : {settings.prPsetterType->valueText(), settings.prPsetterNumber->valueText(),
                                settings.prPsetterAccuracy->valueText()})
        ExcelSaver::appendListItem(list, item);
    QString own = settings.prEtalonList->value();
    if (!own.isEmpty())
        list += QLatin1Char('\n') + own.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return list;
}

ProtocolScalarKeys::Group ProtocolScalarKeys::deviceGroup(const VerificationSettings& settings,
                                                          const ChannelRecord& channel)
{
    Group group;
    add(group, {"&D_VR_TYPE_OF", "&VR_D_TYPE_OF", "&VR_D1_TYPE_OF"}, settings.verificationKindText());
    add(group, {"&D_VR_TYPE", "&VR_D_TYPE", "&VR_D1_TYPE"}, settings.prVerificationType->valueText());
    add(group, {"&D_NAME", "&D1_NAME"}, channel.name);
    add(group, {"&D_SERIAL", "&D1_SERIAL"}, channel.serial);
    add(group, {"&D1_SIGNAL_UNIT", "&D_SIGNAL_UNIT"}, QStringLiteral("мА"));
    add(group, {"&D1_UNIT", "&D_UNIT"}, channel.unitName());
    add(group, {"&D1_ET_UNIT", "&D_ET_UNIT"}, channel.etUnitName());
    add(group, {"&D1_TYPE", "&D_TYPE"}, channel.name);
    add(group, {"&D1_DATE", "&D_DATE", "&D1_AMB", "&D_AMB", "&D1_INV", "&D_INV"}, QString());
    add(group, {"&D1_FINTERVAL", "&D_FINTERVAL"}, channel.rangeText());
    add(group, {"&D_OWNER", "&D1_OWNER"}, settings.prDeviceOwner->valueText());
    add(group, {"&D_NOTES", "&D1_NOTES"}, settings.prDeviceNotes->valueText());
    add(group,
        {"&D_DOC_VR", "&D1_DOC_VR", "&D_DOC_CL", "&D1_DOC_CL", "&VR_D1_DOC_VR", "&VR_D_DOC_VR", "&VR_D1_DOC_CL",
         "&VR_D_DOC_CL"},
        settings.prDeviceDoc->valueText());
    add(group, {"&D_SIGNAL", "&D1_SIGNAL"}, channel.signalText());
    add(group, {"&D_SH_NUM", "&D1_SH_NUM"}, settings.prProtocolNumber->valueText());
    add(group, {"&D_CHECK_THT", "&D1_CHECK_THT"}, settings.prCheckTightness->valueText());
    add(group, {"&D_CHECK_USG", "&D1_CHECK_USG"}, settings.prTrial->valueText());
    add(group, {"&D_CHECK_EL", "&D1_CHECK_EL"}, settings.prCheckInsulationStrength->valueText());
    add(group, {"&D_CHECK_R", "&D1_CHECK_R"}, settings.prCheckInsulationResistance->valueText());
    add(group,
        {"&D_VCR_NUM", "&D1_VCR_NUM", "&D_VCR_ID", "&D1_VCR_ID", "&D_VER_NUM", "&D1_VER_NUM", "&D_VER_ID",
         "&D1_VER_ID", "&D_VER_CAUSE", "&D1_VER_CAUSE", "&D_REG_NUM", "&D1_REG_NUM"},
        QString());
    return group;
}

ProtocolScalarKeys::Group ProtocolScalarKeys::maximaGroup(const ProtocolGroups& groups)
{
    Group group;
    add(group, {"&VR_MAX_ACC", "&VR_D_MAX_ACC", "&VR_D1_MAX_ACC"}, formatNumberForProtocol(groups.maxGroupError(), -1));
    add(group, {"&VR_MAX_VAR", "&VR_D_MAX_VAR", "&VR_D1_MAX_VAR"},
        formatNumberForProtocol(groups.maxGroupVariation(), -1));
    return group;
}

ProtocolScalarKeys::Group ProtocolScalarKeys::verdictGroup(const VerificationSettings& settings, bool conform)
{
    Group group{QStringLiteral("&VR_"), {}};
    add(group, {"&VR_RESULT_VCR"},
        chosen(conform,
               "на основании результатов первичной (периодической) поверки признано соответствующим установленным "
               "в описании типа метрологическим требованиям и пригодным к применению в сфере государственного "
               "регулирования обеспечения единства измерений",
               "на основании результатов первичной (периодической) поверки признано не соответствующим "
               "установленным в описании типа метрологическим требованиям"));
    add(group, {"&VR_RESULT_SHORT"}, chosen(conform, "положительны", "отрицательны"));
    add(group, {"&VR_RESULT"}, chosen(conform, "Прибор годен", "Прибор забракован"));
    add(group, {"&VR_RES_DOC"},
        chosen(conform, "Выписано свидетельство о поверке № от ", "Выписано извещение о непригодности № от ")
            + settings.protocolDate);
    return group;
}

ProtocolScalarKeys::Group ProtocolScalarKeys::deviceVerdictGroup(const VerificationSettings& settings, bool conform)
{
    Group group{QStringLiteral("&VR_D"), {}};
    const QString kind = settings.verificationKindText();
    add(group, {"&VR_D1_RESULT_VCR", "&VR_D_RESULT_VCR"},
        QStringLiteral("на основании результатов ") + kind
            + chosen(conform,
                     " поверки признано соответствующим установленным в описании типа метрологическим требованиям и "
                     "пригодным к применению в сфере государственного регулирования обеспечения единства измерений",
                     " поверки признано не соответствующим установленным в описании типа метрологическим "
                     "требованиям"));
    add(group, {"&VR_D1_RESULT_SHORT", "&VR_D_RESULT_SHORT"}, chosen(conform, "положительны", "отрицательны"));
    add(group, {"&VR_D1_RESULT", "&VR_D_RESULT"}, chosen(conform, "Прибор годен", "Прибор забракован"));
    add(group, {"&VR_D1_RES_DOC", "&VR_D_RES_DOC"},
        chosen(conform, "Выписано свидетельство о поверке № %1 от %2", "Выписано извещение о непригодности № %1 от %2")
            .arg(settings.prProtocolNumber->valueText(), settings.protocolDate));
    add(group, {"&VR_D1_SUITABLE", "&VR_D_SUITABLE"},
        chosen(conform, "пригодным к применению", "непригодным к применению"));
    return group;
}

bool ProtocolScalarKeys::replaceScalarPlaceholders(ExcelSaver& saver, QString& text, int row, int column) const
{
    if (!text.contains(QLatin1Char('&')))
        return true;
    for (const Group& group : m_groups) {
        if (!group.gate.isEmpty() && !text.contains(group.gate))
            continue;
        for (const Key& key : group.keys) {
            if (!text.contains(key.key))
                continue;
            text.replace(key.key, key.value);
            if (!saver.writeCell(row, column, text))
                return false;
            if (key.growsRow)
                fitRowHeight(saver, row, column, key.value);
        }
    }
    return replaceListRowKey(saver, text, row, column);
}

// No font metrics: the height follows from the cell's font size alone, whatever fonts are installed.
void ProtocolScalarKeys::fitRowHeight(ExcelSaver& saver, int row, int column, const QString& value)
{
    XlsxWorksheet* sheet = saver.currentSheet();
    const double size = saver.document()->styleFont(sheet->cellStyle(row, column)).pointSize;
    const int lines = value.count(QLatin1Char('\n')) + 1;
    const double height = lines * (size > 0 ? size : defaultPointSize) * lineSpacing;
    sheet->setRowHeight(row, std::max(height, sheet->rowHeight(row)));
}

// The key is written away before the row is copied: a copy that still held it would insert again.
bool ProtocolScalarKeys::replaceListRowKey(ExcelSaver& saver, const QString& text, int row, int column) const
{
    const bool half = text == halfListKey;
    if (!half && text != fullListKey)
        return true;
    if (!saver.writeCell(row, column, QString()))
        return false;
    saver.insertListRows(row, half ? (m_groupCount - 1) / 2 : m_groupCount - 1);
    return true;
}

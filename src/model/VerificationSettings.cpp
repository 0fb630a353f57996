#include "VerificationSettings.h"

#include "ParametrDouble.h"
#include "ParametrEnum.h"
#include "ParametrInt.h"
#include "ParametrString.h"
#include "PressureUnits.h"
#include "TextDiscription.h"

#include <QCoreApplication>
#include <QObject>
#include <algorithm>
#include <cmath>

VerificationSettings* g_verificationSettings = nullptr;

namespace {

constexpr quint8 parametrFlags = HAbstractParametr::DeferredEdit | HAbstractParametr::OwnCaption;
constexpr quint8 multiLineFlags = parametrFlags | HAbstractParametr::TallInput;

struct Bracket
{
    double bound;
    bool strict;
    const char* text;
};

// A cell is either a fixed text or up to three brackets on the upper limit, tried in order.
struct AccuracyCell
{
    const char* fixed;
    std::array<Bracket, 3> brackets;
};

constexpr AccuracyCell fixedCell(const char* text)
{
    return {text, {}};
}

constexpr AccuracyCell upTo(double b1, const char* t1, double b2 = 0, const char* t2 = nullptr,
                            double b3 = 0, const char* t3 = nullptr)
{
    return {nullptr, {{{b1, false, t1}, {b2, false, t2}, {b3, false, t3}}}};
}

constexpr AccuracyCell below(double b1, const char* t1, double b2, const char* t2)
{
    return {nullptr, {{{b1, true, t1}, {b2, false, t2}, {0, false, nullptr}}}};
}

struct AccuracyRow
{
    double lowerFloor;
    std::array<AccuracyCell, 4> columns;  // A0, A, B, C
};

const std::array<AccuracyRow, VerificationSettings::moduleCount> accuracyTable = {{
    {0, {fixedCell("1"), fixedCell("1"), fixedCell("1"), fixedCell("1")}},
    {0, {fixedCell("2"), fixedCell("2"), upTo(60, "2", 120, "3"), fixedCell("РСИ")}},
    {0, {fixedCell("1"), fixedCell("1"), below(200, "1", 250, "2"), below(100, "1", 250, "2")}},
    {0, {fixedCell("2"), upTo(270, "2", 600, "3"), fixedCell("3"), fixedCell("РСИ")}},
    {0, {fixedCell("3"), fixedCell("3"), fixedCell("3"), fixedCell("РСИ")}},
    {0, {fixedCell("-"), fixedCell("-"), fixedCell("-"), fixedCell("-")}},
    {0, {fixedCell("-"), fixedCell("-"), fixedCell("-"), fixedCell("-")}},
    {0, {upTo(1.5, "1", 2.5, "2"), upTo(0.8, "1", 2.5, "2"), fixedCell("2"), fixedCell("2")}},
    {0, {upTo(3, "1", 6.3, "2"), upTo(2, "1", 6.3, "2"), fixedCell("2"), fixedCell("2")}},
    {0, {upTo(8, "1", 16, "2"), upTo(6, "1", 16, "2"), fixedCell("2"), fixedCell("2")}},
    {0, {fixedCell("1"), upTo(32.8, "1", 40, "2"), upTo(5.5, "1", 40, "2"), upTo(5.5, "1", 40, "2")}},
    {0, {fixedCell("1"), upTo(82, "1", 100, "2"), upTo(50, "1", 100, "2"), upTo(59, "2", 100, "3")}},
    {0, {fixedCell("1"), upTo(200, "1", 250, "2"), upTo(100, "1", 250, "2"), upTo(75, "1", 250, "2")}},
    {0, {fixedCell("1"), upTo(495, "1", 600, "2"), upTo(300, "1", 600, "2"), upTo(354, "2", 600, "3")}},
    {0, {fixedCell("1"), upTo(2050, "1", 2500, "2"), upTo(1300, "1", 2500, "2"),
         upTo(1500, "2", 2500, "3")}},
    {0, {fixedCell("1"), upTo(5000, "1", 6000, "2"), upTo(3000, "1", 6000, "2"),
         upTo(3500, "2", 6000, "3")}},
    {0, {fixedCell("1"), upTo(13000, "1", 16000, "2"), upTo(8000, "1", 16000, "2"),
         upTo(9500, "2", 16000, "3")}},
    {0, {fixedCell("1"), upTo(50000, "1", 60000, "2"), upTo(30000, "1", 60000, "2"),
         upTo(35500, "2", 60000, "3")}},
    {0, {fixedCell("1"), upTo(80000, "1", 100000, "2"), upTo(41000, "1", 100000, "2"),
         upTo(17000, "1", 100000, "2")}},
    {-10, {fixedCell("1"), upTo(13, "1", 20, "2"), upTo(10, "1", 20, "2"), upTo(5, "1", 20, "2")}},
    {-40, {fixedCell("1"), upTo(52, "1", 80, "2"), upTo(40, "1", 80, "2"), upTo(20, "1", 80, "2")}},
    {-100, {fixedCell("1"), upTo(169, "1", 260, "2"), upTo(130, "1", 260, "2"), upTo(65, "1", 260, "2")}},
    {-100, {upTo(0, "3", 600, "1"), upTo(0, "3", 390, "1", 600, "2"), upTo(0, "3", 200, "1", 600, "2"),
            upTo(0, "3", 360, "2", 600, "3")}},
}};

int accuracyColumn(quint8 classIndex)
{
    return classIndex >= 1 && classIndex <= 3 ? classIndex : 0;
}

// The limits are single-precision values from the calibrator: a bound such as 0.8 is compared
// in single precision too, so that a limit stored as 0.8f counts as equal to it.
bool withinBracket(float upper, const Bracket& bracket)
{
    const float bound = float(bracket.bound);
    return bracket.strict ? upper < bound : upper <= bound;
}

QString bracketText(const AccuracyRow& row, const AccuracyCell& cell, float upper, float lower)
{
    if (std::isnan(upper) || std::isnan(lower) || lower < float(row.lowerFloor))
        return QStringLiteral("-");
    for (const Bracket& bracket : cell.brackets) {
        if (!bracket.text)
            break;
        if (withinBracket(upper, bracket))
            return QString::fromUtf8(bracket.text);
    }
    return QStringLiteral("-");
}

}  // namespace

VerificationSettings::VerificationSettings()
    : temperature(QStringLiteral("-")),
      humidity(QStringLiteral("-")),
      atmPressure(QStringLiteral("-")),
      atmPressureUnits(QObject::tr("мм рт.ст.")),
      verificatorName(QStringLiteral("-")),
      verificatorPos(QStringLiteral("-")),
      chefName(QStringLiteral("-")),
      chefPos(QStringLiteral("-")),
      prProtocolDecimals(new ParametrInt(QObject::tr("Кол-во знаков после зап. в протоколе"), 0, 10,
                                         parametrFlags)),
      prProtocolNumber(new ParametrString(QObject::tr("Номер протокола"), 250, parametrFlags)),
      prOrganisation(new ParametrString(QObject::tr("Наименование организации"), 250, parametrFlags)),
      prOrganisationAddress(new ParametrString(QObject::tr("Адрес организации"), 500, multiLineFlags)),
      prOrganisationCert(new ParametrString(QObject::tr("№ сертификата аккредитации"), 250,
                                            parametrFlags)),
      prEtalonList(new ParametrString(QObject::tr("Список эталонов"), 500, multiLineFlags)),
      prDeviceOwner(new ParametrString(QObject::tr("Владелец датчика"), 250, parametrFlags)),
      prDeviceNotes(new ParametrString(QObject::tr("Замечания по датчику"), 250, parametrFlags)),
      prDeviceDoc(new ParametrString(QObject::tr("Обозначение документа"), 250, parametrFlags)),
      prVerificationType(new ParametrEnum(QObject::tr("Тип поверки"),
                                          &TextDiscription::lstVerificationKinds, parametrFlags)),
      prCheckTightness(new ParametrEnum(QObject::tr("Проверка герметичности"),
                                        &TextDiscription::lstConformity, parametrFlags)),
      prTrial(new ParametrEnum(QObject::tr("Опробование"), &TextDiscription::lstConformity,
                               parametrFlags)),
      prCheckInsulationStrength(new ParametrEnum(QObject::tr("Проверка эл. прочности изоляции"),
                                                 &TextDiscription::lstConformity, parametrFlags)),
      prCheckInsulationResistance(new ParametrEnum(QObject::tr("Проверка эл. R изоляции"),
                                                   &TextDiscription::lstConformity, parametrFlags)),
      prAnalysisCoeffAccuracy(new ParametrDouble(QObject::tr("Коэффициент для расчета доп. погрешности"),
                                                 0.1, 1.0, parametrFlags)),
      prAnalysisCoeffVariation(new ParametrDouble(QObject::tr("Коэффициент для расчета доп. вариации"),
                                                  0.5, 10.0, parametrFlags)),
      prRegNumberZfn(new ParametrString(QObject::tr("Рег. номер"), 100, parametrFlags)),
      prRegNumberTzs(new ParametrString(QObject::tr("Рег. номер"), 100, parametrFlags)),
      prPsetterType(new ParametrString(QObject::tr("Тип"), 100, parametrFlags)),
      prPsetterNumber(new ParametrString(QObject::tr("Номер"), 100, parametrFlags)),
      prPsetterAccuracy(new ParametrString(QObject::tr("Погрешность, %"), 100, parametrFlags)),
      glakSerialNumber(QStringLiteral("00000")),
      m_parametrs{{prProtocolDecimals, prProtocolNumber, prOrganisation, prOrganisationAddress,
                   prOrganisationCert, prEtalonList, prDeviceOwner, prDeviceNotes, prDeviceDoc,
                   prVerificationType, prCheckTightness, prTrial, prCheckInsulationStrength,
                   prCheckInsulationResistance, prAnalysisCoeffAccuracy, prAnalysisCoeffVariation,
                   prRegNumberZfn, prRegNumberTzs, prPsetterType, prPsetterNumber, prPsetterAccuracy}}
{
    prProtocolDecimals->setValue(3);
    prVerificationType->setValue(0);
    prCheckTightness->setValue(0);
    prTrial->setValue(0);
    prCheckInsulationStrength->setValue(0);
    prCheckInsulationResistance->setValue(0);
    prAnalysisCoeffAccuracy->setValue(1.0);
    prAnalysisCoeffVariation->setValue(2.0);
}

VerificationSettings::~VerificationSettings()
{
    qDeleteAll(m_parametrs);
}

HAbstractParametr* VerificationSettings::parametr(int index) const
{
    if (index < 0 || index >= parametrCount)
        return nullptr;
    return m_parametrs[size_t(index)];
}

QString VerificationSettings::templatesFolder()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Templates/");
}

QString VerificationSettings::templatePath() const
{
    return templatesFolder() + txtProtocolName;
}

QString VerificationSettings::verificationKindText() const
{
    return prVerificationType->value() != 0 ? QObject::tr("периодической") : QObject::tr("первичной");
}

QString VerificationSettings::etalonRangeText(float upperKpa, float lowerKpa, int etalonUnitIndex) const
{
    const quint8 unit = quint8(etalonUnitIndex);
    return QStringLiteral("%1...%2 %3")
        .arg(formatNumberForProtocol(PressureUnits::fromKpaFloat(unit, upperKpa), -1),
             formatNumberForProtocol(PressureUnits::fromKpaFloat(unit, lowerKpa), -1),
             unitName(etalonUnitIndex));
}

QString VerificationSettings::etalonAccuracyText(float upperKpa, float lowerKpa) const
{
    if (modelTZS >= moduleCount)
        return QStringLiteral("-");
    const AccuracyRow& row = accuracyTable[modelTZS];
    const AccuracyCell& cell = row.columns[size_t(accuracyColumn(tzsAccuracyClass))];
    if (cell.fixed)
        return QString::fromUtf8(cell.fixed);
    return bracketText(row, cell, upperKpa, lowerKpa);
}

void VerificationSettings::clampLoadedValues()
{
    groupPointCount = std::max(1, groupPointCount);
}

QString deviceTypeName()
{
    return g_verificationSettings ? g_verificationSettings->connectedModelName : QString();
}

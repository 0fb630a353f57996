#pragma once

#include <QString>
#include <array>

class HAbstractParametr;
class ParametrDouble;
class ParametrEnum;
class ParametrInt;
class ParametrString;

// Verification conditions and protocol parameters. Written in the GUI thread (tabs, project
// loading) and, for accuracyClassText only, by the settings worker; the poll thread reads
// prAnalysisCoeffAccuracy and groupPointCount. No lock: the writers never overlap a reader's use.
class VerificationSettings
{
public:
    static constexpr int parametrCount = 21;
    static constexpr int moduleCount = 23;

    VerificationSettings();
    ~VerificationSettings();

    VerificationSettings(const VerificationSettings&) = delete;
    VerificationSettings& operator=(const VerificationSettings&) = delete;

    HAbstractParametr* parametr(int index) const;

    static QString templatesFolder();
    QString templatePath() const;
    QString verificationKindText() const;
    // Reference-module limits in kPa as the settings block holds them, the upper one first.
    QString etalonRangeText(float upperKpa, float lowerKpa, int etalonUnitIndex) const;
    QString etalonAccuracyText(float upperKpa, float lowerKpa) const;

    // Brings fields read from a project file back into their ranges.
    void clampLoadedValues();

    QString temperature;
    QString humidity;
    QString atmPressure;
    QString atmPressureUnits;
    QString verificatorName;
    QString verificatorPos;
    QString chefName;
    QString chefPos;
    QString protocolDate;
    QString etalonIdString;
    QString accuracyClassText;
    QString txtProtocolName;
    QString etalonModelText;
    int lmvIdNumber = 0;
    int groupPointCount = 10;
    quint8 modelTZS = 0;
    quint8 tzsAccuracyClass = 0;
    qint16 currentPortIndexMax = -1;
    qint16 currentPortIndexMin = -1;
    double etalonDelta = 0.0;
    double indicatorCoff = 0.0;

    ParametrInt* prProtocolDecimals;
    ParametrString* prProtocolNumber;
    ParametrString* prOrganisation;
    ParametrString* prOrganisationAddress;
    ParametrString* prOrganisationCert;
    ParametrString* prEtalonList;
    ParametrString* prDeviceOwner;
    ParametrString* prDeviceNotes;
    ParametrString* prDeviceDoc;
    ParametrEnum* prVerificationType;
    ParametrEnum* prCheckTightness;
    ParametrEnum* prTrial;
    ParametrEnum* prCheckInsulationStrength;
    ParametrEnum* prCheckInsulationResistance;
    ParametrDouble* prAnalysisCoeffAccuracy;
    ParametrDouble* prAnalysisCoeffVariation;
    ParametrString* prRegNumberZfn;
    ParametrString* prRegNumberTzs;
    ParametrString* prPsetterType;
    ParametrString* prPsetterNumber;
    ParametrString* prPsetterAccuracy;

    int glakReadMode = 0;
    QString glakSerialNumber;
    // Kept by the device object: the connected calibrator's model name, empty while none is connected.
    QString connectedModelName;

private:
    std::array<HAbstractParametr*, parametrCount> m_parametrs;
};

// Set by the device object for the whole run; null until then.
extern VerificationSettings* g_verificationSettings;

// Model name of the connected calibrator, empty when none is connected.
QString deviceTypeName();

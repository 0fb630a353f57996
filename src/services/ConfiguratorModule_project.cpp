#include "ConfiguratorModule.h"

#include "ChannelRecord.h"
#include "ChannelsModel.h"
#include "DeviceZFN.h"
#include "IniFile.h"
#include "ParametrDouble.h"
#include "ParametrEnum.h"
#include "ParametrInt.h"
#include "ParametrPath.h"
#include "ParametrString.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"

#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <cmath>
#include <limits>

namespace {

constexpr int lowestInt = std::numeric_limits<int>::min();
constexpr int highestInt = std::numeric_limits<int>::max();
constexpr int lastModule = VerificationSettings::moduleCount - 1;
constexpr int lastAccuracyClass = 3;
constexpr int lastUnit = 10;
constexpr int lastOutputType = 3;
constexpr int lastCharacteristic = 1;
constexpr int lastReadMode = 1;
constexpr int lastPortIndex = std::numeric_limits<qint16>::max();

const QString dash = QStringLiteral("-");

bool toInteger(const QVariant& value, qint64 minimum, qint64 maximum, int* out)
{
    bool ok = false;
    const qlonglong number = value.type() == QVariant::StringList ? 0 : value.toLongLong(&ok);
    if (!ok || number < minimum || number > maximum)
        return false;
    *out = int(number);
    return true;
}

bool toReal(const QVariant& value, double minimum, double maximum, double* out)
{
    bool ok = false;
    const double number = value.type() == QVariant::StringList ? 0 : value.toDouble(&ok);
    if (!ok || !std::isfinite(number) || number < minimum || number > maximum)
        return false;
    *out = number;
    return true;
}

bool toList(const QVariant& value, QStringList* out)
{
    if (value.type() == QVariant::StringList)
        *out = value.toStringList();
    else if (value.toString().isEmpty())
        out->clear();
    else
        *out = QStringList{value.toString()};
    return true;
}

bool toFlag(const QVariant& value, bool* out)
{
    const QString text = value.type() == QVariant::StringList ? QString() : value.toString().trimmed().toLower();
    if (text != QLatin1String("true") && text != QLatin1String("false") && text != QLatin1String("1")
        && text != QLatin1String("0"))
        return false;
    *out = text == QLatin1String("true") || text == QLatin1String("1");
    return true;
}

bool isEnumValue(const ParametrEnum& parametr, int value)
{
    for (const ParametrEnumItem* item : *parametr.items())
        if (item->value == value)
            return true;
    return false;
}

// Only a regular file is read: QSettings would read a device or a pipe without end.
bool isRegularFile(const QString& path)
{
    const QFileInfo info(path);
    return !info.exists() || info.isFile();
}

// Null for a file that cannot be read, is no INI file, holds a serialized object or none of the
// project's groups; the file's bytes go to `bytes`.
std::unique_ptr<QSettings> openProjectFile(const QString& path, QByteArray* bytes)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return nullptr;
    *bytes = file.readAll();
    if (IniFile::holdsEncodedValue(*bytes))
        return nullptr;
    auto settings = IniFile::open(path);
    const QStringList groups = settings->childGroups();
    const bool ours = groups.contains(QStringLiteral("INFO")) || groups.contains(QStringLiteral("CHANNEL1"))
        || groups.contains(QStringLiteral("COMMON"));
    return settings->status() == QSettings::NoError && ours ? std::move(settings) : nullptr;
}

}  // namespace

bool ConfiguratorModule::loadProjectFile(const QString& path)
{
    QByteArray bytes;
    const auto settings = openProjectFile(path, &bytes);
    if (!settings) {
        g_device->showPopUpMessage(tr("При открытии файла возникла ошибка!"));
        return false;
    }
    ChannelRecord* channel = g_device->currentChannel();
    m_invalidKeys.clear();
    {
        QMutexLocker lock(g_device->mutex());
        projectSettings = settings.get();
        m_projectBytes = bytes;
        loadSaveParameters(true);
        projectSettings = nullptr;
        m_projectBytes.clear();
        channel->updateOutputRange();
    }
    g_device->channelsModel()->setRecord(0, *channel);
    if (!m_invalidKeys.isEmpty())
        g_device->showPopUpMessage(tr("Недопустимые значения заменены значениями по умолчанию: ")
                                   + m_invalidKeys.join(QStringLiteral(", ")));
    return true;
}

// An existing file that is no INI file is not overwritten: its status would not tell the save
// apart from a failed one.
bool ConfiguratorModule::saveProjectFile(const QString& path)
{
    const auto settings = isRegularFile(path) ? IniFile::open(path) : nullptr;
    bool saved = settings && settings->status() == QSettings::NoError;
    if (saved) {
        projectSettings = settings.get();
        loadSaveParameters(false);
        projectSettings = nullptr;
        settings->sync();
        saved = settings->status() == QSettings::NoError;
    }
    if (!saved)
        g_device->showPopUpMessage(tr("При сохранении проекта возникла ошибка!"));
    return saved;
}

void ConfiguratorModule::loadSaveParameters(bool load)
{
    m_loading = load;
    projectSettings->beginGroup(QStringLiteral("INFO"));
    infoGroup();
    projectSettings->endGroup();
    projectSettings->beginGroup(QStringLiteral("CHANNEL1"));
    channelGroup();
    projectSettings->endGroup();
    projectSettings->beginGroup(QStringLiteral("COMMON"));
    commonGroup();
    projectSettings->endGroup();
}

void ConfiguratorModule::infoGroup()
{
    VerificationSettings* infoParametrs = g_verificationSettings;
    text(infoParametrs->temperature, dash, QStringLiteral("infoParametrs->temperature"));
    text(infoParametrs->humidity, dash, QStringLiteral("infoParametrs->humidity"));
    text(infoParametrs->atmPressure, dash, QStringLiteral("infoParametrs->atmPressure"));
    text(infoParametrs->atmPressureUnits, infoParametrs->atmPressureUnits,
         QStringLiteral("infoParametrs->atmPressureUnits"));
    text(infoParametrs->verificatorName, dash, QStringLiteral("infoParametrs->verificatorName"));
    text(infoParametrs->verificatorPos, dash, QStringLiteral("infoParametrs->verificatorPos"));
    text(infoParametrs->chefName, dash, QStringLiteral("infoParametrs->chefName"));
    text(infoParametrs->chefPos, dash, QStringLiteral("infoParametrs->chefPos"));
    integer(infoParametrs->lmvIdNumber, 0, QStringLiteral("infoParametrs->lmvIdNumber"), lowestInt, highestInt);
    text(infoParametrs->etalonIdString, dash, QStringLiteral("infoParametrs->etalonIdString"));
    text(infoParametrs->txtProtocolName, QString(), QStringLiteral("infoParametrs->txtProtocolName"));
    shortInteger(infoParametrs->currentPortIndexMax, -1, QStringLiteral("infoParametrs->currentPortIndexMax"), -1);
    shortInteger(infoParametrs->currentPortIndexMin, -1, QStringLiteral("infoParametrs->currentPortIndexMin"), -1);
    byte(infoParametrs->modelTZS, 0, QStringLiteral("infoParametrs->modelTZS"), lastModule);
    byte(infoParametrs->tzsAccuracyClass, 0, QStringLiteral("infoParametrs->tzsAccuracyClass"), lastAccuracyClass);
    real(infoParametrs->etalonDelta, infoParametrs->etalonDelta, QStringLiteral("infoParametrs->etalonDelta"));
    real(infoParametrs->indicatorCoff, infoParametrs->indicatorCoff, QStringLiteral("infoParametrs->indicatorCoff"));
    integer(infoParametrs->groupPointCount, infoParametrs->groupPointCount,
            QStringLiteral("infoParametrs->groupPointCount"), 1, highestInt);
    text(infoParametrs->glakSerialNumber, infoParametrs->glakSerialNumber,
         QStringLiteral("infoParametrs->glakSerialNumber"));
    integer(infoParametrs->glakReadMode, infoParametrs->glakReadMode, QStringLiteral("infoParametrs->glakReadMode"),
            0, lastReadMode);
    parametrEntries();
}

void ConfiguratorModule::parametrEntries()
{
    VerificationSettings* infoParametrs = g_verificationSettings;
    parametr(infoParametrs->prPsetterType, QStringLiteral("infoParametrs->prPsetterType"));
    parametr(infoParametrs->prPsetterNumber, QStringLiteral("infoParametrs->prPsetterNumber"));
    parametr(infoParametrs->prPsetterAccuracy, QStringLiteral("infoParametrs->prPsetterAccuracy"));
    parametr(infoParametrs->prProtocolDecimals, QStringLiteral("infoParametrs->prProtocolDecimals"));
    parametr(infoParametrs->prProtocolNumber, QStringLiteral("infoParametrs->prProtocolNumber"));
    parametr(infoParametrs->prOrganisation, QStringLiteral("infoParametrs->prOrganisation"));
    parametr(infoParametrs->prOrganisationAddress, QStringLiteral("infoParametrs->prOrganisationAddress"));
    parametr(infoParametrs->prOrganisationCert, QStringLiteral("infoParametrs->prOrganisationCert"));
    parametr(infoParametrs->prEtalonList, QStringLiteral("infoParametrs->prEtalonList"));
    parametr(infoParametrs->prDeviceOwner, QStringLiteral("infoParametrs->prDeviceOwner"));
    parametr(infoParametrs->prDeviceNotes, QStringLiteral("infoParametrs->prDeviceNotes"));
    parametr(infoParametrs->prDeviceDoc, QStringLiteral("infoParametrs->prDeviceDoc"));
    parametr(infoParametrs->prVerificationType, QStringLiteral("infoParametrs->prVerificationType"));
    parametr(infoParametrs->prAnalysisCoeffAccuracy, QStringLiteral("infoParametrs->prAnalysisCoeffAccuracy"));
    parametr(infoParametrs->prAnalysisCoeffVariation, QStringLiteral("infoParametrs->prAnalysisCoeffVariation"));
    parametr(infoParametrs->prRegNumberZfn, QStringLiteral("infoParametrs->prRegNumberZfn"));
    parametr(infoParametrs->prRegNumberTzs, QStringLiteral("infoParametrs->prRegNumberTzs"));
}

void ConfiguratorModule::channelGroup()
{
    ChannelRecord* currentChannel = g_device->currentChannel();
    text(currentChannel->name, tr("нет"), QStringLiteral("currentChannel->txtName"));
    text(currentChannel->model, QStringLiteral("1"), QStringLiteral("currentChannel->txtModel"));
    text(currentChannel->serial, QStringLiteral("0"), QStringLiteral("currentChannel->txtSerial"));
    real(currentChannel->rangeLow, 0.0, QStringLiteral("currentChannel->pressureMin"));
    real(currentChannel->rangeHigh, 360.0, QStringLiteral("currentChannel->pressureMax"));
    byte(currentChannel->unit, 0, QStringLiteral("currentChannel->devicePressureUnits"), lastUnit);
    byte(currentChannel->outputType, 0, QStringLiteral("currentChannel->outputSignalType"), lastOutputType);
    byte(currentChannel->characteristic, 0, QStringLiteral("currentChannel->dependanceType"), lastCharacteristic);
    real(currentChannel->allowedError, 0.1, QStringLiteral("currentChannel->accuracyAllowed"));
    list(TextDiscription::lstChannelsNames, QStringLiteral("TextDiscription::lstChannelsNames"));
    list(TextDiscription::lstId, QStringLiteral("TextDiscription::lstId"));
}

void ConfiguratorModule::commonGroup()
{
    flag(DeviceZFN::SearchFirstOnly, QStringLiteral("searchSingleDevice"));
    flag(DeviceZFN::SearchPortRange, QStringLiteral("searchMode"));
}

QString ConfiguratorModule::settingKey(const QString& keyExpression)
{
    QString key = keyExpression;
    const int arrow = key.lastIndexOf(QLatin1String("->"));
    if (arrow >= 0)
        key = key.mid(arrow + 2);
    const int scope = key.lastIndexOf(QLatin1String("::"));
    if (scope >= 0)
        key = key.mid(scope + 2);
    return key;
}

void ConfiguratorModule::text(QString& field, const QString& defaultValue, const QString& keyExpression)
{
    if (m_loading)
        readString(field, defaultValue, keyExpression);
    else
        writeValue(field, keyExpression);
}

void ConfiguratorModule::integer(int& field, int defaultValue, const QString& keyExpression, int minimum,
                                 int maximum)
{
    if (m_loading)
        readInt(field, defaultValue, keyExpression, minimum, maximum);
    else
        writeValue(field, keyExpression);
}

void ConfiguratorModule::shortInteger(qint16& field, qint16 defaultValue, const QString& keyExpression, int minimum)
{
    if (m_loading)
        readShort(field, defaultValue, keyExpression, minimum);
    else
        writeValue(int(field), keyExpression);
}

void ConfiguratorModule::byte(quint8& field, quint8 defaultValue, const QString& keyExpression, int maximum)
{
    if (m_loading)
        readByte(field, defaultValue, keyExpression, maximum);
    else
        writeValue(int(field), keyExpression);
}

void ConfiguratorModule::real(double& field, double defaultValue, const QString& keyExpression)
{
    if (m_loading)
        readDouble(field, defaultValue, keyExpression, std::numeric_limits<double>::lowest(),
                   std::numeric_limits<double>::max());
    else
        writeValue(field, keyExpression);
}

void ConfiguratorModule::list(QStringList& field, const QString& keyExpression)
{
    if (m_loading)
        readStringList(field, keyExpression);
    else
        writeValue(field, keyExpression);
}

void ConfiguratorModule::parametr(HAbstractParametr* field, const QString& keyExpression)
{
    if (m_loading)
        readParametr(field, keyExpression);
    else
        writeParametr(field, keyExpression);
}

void ConfiguratorModule::flag(quint16 option, const QString& key)
{
    if (!m_loading) {
        writeValue(g_device->getFlag(option).toBool(), key);
        return;
    }
    bool value = false;
    readChecked(key, &value, toFlag);
    g_device->setFlag(option, value);
}

template <typename T, typename Convert>
bool ConfiguratorModule::readChecked(const QString& keyExpression, T* value, Convert convert)
{
    const QString key = settingKey(keyExpression);
    if (!projectSettings->contains(key))
        return false;
    if (convert(projectSettings->value(key), value))
        return true;
    m_invalidKeys << key;
    return false;
}

// An unquoted text with commas reads as a list; it is taken back as the file writes it.
void ConfiguratorModule::readString(QString& field, const QString& defaultValue, const QString& keyExpression)
{
    const QString groupKey = projectSettings->group() + QLatin1Char('/') + settingKey(keyExpression);
    const auto toText = [this, &groupKey](const QVariant& stored, QString* out) {
        *out = stored.type() == QVariant::StringList
            ? IniFile::listAsWritten(m_projectBytes, groupKey, stored.toStringList())
            : stored.toString();
        return true;
    };
    QString value;
    field = readChecked(keyExpression, &value, toText) ? value : defaultValue;
}

void ConfiguratorModule::readDouble(double& field, double defaultValue, const QString& keyExpression, double minimum,
                                    double maximum)
{
    double value = 0;
    const auto convert = [=](const QVariant& stored, double* out) { return toReal(stored, minimum, maximum, out); };
    field = readChecked(keyExpression, &value, convert) ? value : defaultValue;
}

void ConfiguratorModule::readInt(int& field, int defaultValue, const QString& keyExpression, int minimum, int maximum)
{
    int value = 0;
    const auto convert = [=](const QVariant& stored, int* out) { return toInteger(stored, minimum, maximum, out); };
    field = readChecked(keyExpression, &value, convert) ? value : defaultValue;
}

void ConfiguratorModule::readShort(qint16& field, qint16 defaultValue, const QString& keyExpression, int minimum)
{
    int value = defaultValue;
    readInt(value, defaultValue, keyExpression, minimum, lastPortIndex);
    field = qint16(value);
}

void ConfiguratorModule::readByte(quint8& field, quint8 defaultValue, const QString& keyExpression, int maximum)
{
    int value = defaultValue;
    readInt(value, defaultValue, keyExpression, 0, maximum);
    field = quint8(value);
}

// A missing list keeps the one the program has.
void ConfiguratorModule::readStringList(QStringList& field, const QString& keyExpression)
{
    QStringList value;
    if (readChecked(keyExpression, &value, toList))
        field = value;
}

void ConfiguratorModule::readParametr(HAbstractParametr* field, const QString& keyExpression)
{
    switch (field->typeId()) {
    case ParametrEnum::TypeId: {
        auto* enumParametr = static_cast<ParametrEnum*>(field);
        int value = enumParametr->value();
        const auto convert = [enumParametr](const QVariant& stored, int* out) {
            return toInteger(stored, lowestInt, highestInt, out) && isEnumValue(*enumParametr, *out);
        };
        if (readChecked(keyExpression, &value, convert))
            enumParametr->setValue(value);
        break;
    }
    case ParametrString::TypeId: {
        auto* textParametr = static_cast<ParametrString*>(field);
        QString value = textParametr->value();
        readString(value, value, keyExpression);
        textParametr->setValue(value);
        break;
    }
    case ParametrDouble::TypeId: {
        auto* realParametr = static_cast<ParametrDouble*>(field);
        double value = realParametr->value();
        readDouble(value, value, keyExpression, realParametr->minimum(), realParametr->maximum());
        realParametr->setValue(value);
        break;
    }
    case ParametrInt::TypeId: {
        auto* intParametr = static_cast<ParametrInt*>(field);
        int value = intParametr->value();
        readInt(value, value, keyExpression, intParametr->minimum(), intParametr->maximum());
        intParametr->setValue(value);
        break;
    }
    case ParametrPath::TypeId: {
        auto* pathParametr = static_cast<ParametrPath*>(field);
        QString value = pathParametr->value();
        readString(value, value, keyExpression);
        pathParametr->setValue(value);
        break;
    }
    default:
        break;
    }
}

void ConfiguratorModule::writeParametr(HAbstractParametr* field, const QString& keyExpression)
{
    switch (field->typeId()) {
    case ParametrEnum::TypeId:
        writeValue(static_cast<ParametrEnum*>(field)->value(), keyExpression);
        break;
    case ParametrString::TypeId:
        writeValue(static_cast<ParametrString*>(field)->value(), keyExpression);
        break;
    case ParametrDouble::TypeId:
        writeValue(static_cast<ParametrDouble*>(field)->value(), keyExpression);
        break;
    case ParametrInt::TypeId:
        writeValue(static_cast<ParametrInt*>(field)->value(), keyExpression);
        break;
    case ParametrPath::TypeId:
        writeValue(static_cast<ParametrPath*>(field)->value(), keyExpression);
        break;
    default:
        break;
    }
}

void ConfiguratorModule::writeValue(const QVariant& value, const QString& keyExpression)
{
    projectSettings->setValue(settingKey(keyExpression), value);
}

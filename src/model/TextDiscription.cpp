#include "TextDiscription.h"

#include "ParametrInt.h"
#include "VerificationSettings.h"

#include <QObject>
#include <charconv>
#include <cmath>

namespace TextDiscription {

QStringList lstChannelsNames;
QStringList lstBuiltInChannelNames;
QStringList lstCharacteristics;
QStringList lstUnits;
QStringList lstOutputs;
QStringList lstModuleCodes;
QStringList lstClasses;
QStringList lstModuleUnits;
QList<ParametrEnumItem*> lstVerificationKinds;
QList<ParametrEnumItem*> lstConformity;
QStringList lstId;

const QString noValue = QStringLiteral("---");

}  // namespace TextDiscription

namespace {

void releaseEnumList(QList<ParametrEnumItem*>& list)
{
    qDeleteAll(list);
    list.clear();
}

// Defined after the lists, so destroyed before them: frees the items they point to at exit.
struct EnumItemsRelease
{
    ~EnumItemsRelease()
    {
        releaseEnumList(TextDiscription::lstVerificationKinds);
        releaseEnumList(TextDiscription::lstConformity);
    }
} enumItemsRelease;

constexpr int trimmedDecimals = 6;
constexpr int defaultProtocolDecimals = 3;

void fillEnumList(QList<ParametrEnumItem*>& list, const QStringList& texts)
{
    releaseEnumList(list);
    for (int i = 0; i < texts.size(); ++i)
        list.append(new ParametrEnumItem(texts.at(i), i));
}


QString withUnit(const QString& number, int unit)
{
    if (unit == -1)
        return number;
    return number + QLatin1Char(' ') + unitName(unit);
}

int protocolDecimals()
{
    if (!g_verificationSettings)
        return defaultProtocolDecimals;
    return g_verificationSettings->prProtocolDecimals->value();
}

}  // namespace

const QLocale& russianLocale()
{
    static const QLocale locale(QLocale::Russian, QLocale::Russia);
    return locale;
}

QString trimmedNumber(double value, int decimals)
{
    if (!std::isfinite(value))
        return QStringLiteral("-");
    QString text = QString::number(value, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    if (text == QLatin1String("-0"))
        return QStringLiteral("0");
    return text;
}

double widenFloat(float value)
{
    if (!std::isfinite(value))
        return double(value);
    char text[32];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text, value);
    return QByteArray(text, int(written.ptr - text)).toDouble();
}

QString floatToText(float value)
{
    return trimmedNumber(widenFloat(value), 6);
}

QString doubleToText(double value)
{
    return trimmedNumber(value, 6);
}

void initChoiceLists()
{
    using namespace TextDiscription;

    lstBuiltInChannelNames = QStringList{
        QObject::tr("нет"),    QObject::tr("ДИ"),    QObject::tr("ДА"),    QObject::tr("ДД"),
        QObject::tr("ДВ"),     QObject::tr("ДИВ"),   QObject::tr("ДГ"),    QObject::tr("ДИ-Ex"),
        QObject::tr("ДА-Ex"),  QObject::tr("ДД-Ex"), QObject::tr("ДВ-Ex"), QObject::tr("ДИВ-Ex"),
    };
    lstChannelsNames = lstBuiltInChannelNames;
    lstCharacteristics = QStringList{QObject::tr("линейная"), QObject::tr("квадратичная")};
    lstUnits = QStringList{
        QObject::tr("Па"),        QObject::tr("кПа"),        QObject::tr("МПа"),
        QObject::tr("кг/см2"),    QObject::tr("кг/м2"),      QObject::tr("мм рт.ст."),
        QObject::tr("мм вод.ст."), QObject::tr("мбар"),      QObject::tr("бар"),
        QObject::tr("АТМ"),       QObject::tr("psi"),
    };
    lstOutputs = QStringList{
        QObject::tr("0 - 5 мА"), QObject::tr("4 - 20 мА"),
        QObject::tr("5 - 0 мА"), QObject::tr("20 - 4 мА"),
    };
    // Positions are the module indexes of the accuracy-category table and of project files.
    lstModuleCodes = QStringList{
        QStringLiteral("001"), QStringLiteral("002"), QStringLiteral("003"), QStringLiteral("004"),
        QStringLiteral("005"), QStringLiteral("006А"), QStringLiteral("006Б"), QStringLiteral("010"),
        QStringLiteral("011"), QStringLiteral("012"), QStringLiteral("013"), QStringLiteral("014"),
        QStringLiteral("015"), QStringLiteral("016"), QStringLiteral("017"), QStringLiteral("018"),
        QStringLiteral("019"), QStringLiteral("020"), QStringLiteral("021"), QStringLiteral("030"),
        QStringLiteral("031"), QStringLiteral("032"), QStringLiteral("033"),
    };
    lstClasses = QStringList{QObject::tr("A0"), QObject::tr("A"), QObject::tr("B"), QObject::tr("C")};
    lstModuleUnits = QStringList{QObject::tr("кПА"), QObject::tr("МПА")};
    fillEnumList(lstVerificationKinds, {QObject::tr("первичная"), QObject::tr("периодическая")});
    fillEnumList(lstConformity, {QStringLiteral("соответствует"), QStringLiteral("не соответствует"),
                                 QStringLiteral("-")});
}

const QString& unitName(int index)
{
    if (index < 0 || index >= TextDiscription::lstUnits.size())
        return TextDiscription::noValue;
    return TextDiscription::lstUnits.at(index);
}

QString formatNumberTrimmed(double value, int unit)
{
    return withUnit(trimmedNumber(value, trimmedDecimals), unit);
}

QString formatNumberForProtocol(double value, int unit)
{
    return withUnit(trimmedNumber(value, protocolDecimals()), unit);
}

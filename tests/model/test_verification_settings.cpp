#include "ParametrChannelStyle.h"
#include "ParametrDateTime.h"
#include "ParametrDouble.h"
#include "ParametrEnum.h"
#include "ParametrInt.h"
#include "ParametrMultiEnum.h"
#include "ParametrString.h"
#include "ParametrTime.h"
#include "PressureUnits.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"

#include <QLocale>
#include <QtTest>
#include <cmath>
#include <limits>
#include <memory>

namespace {

constexpr float noNumber = std::numeric_limits<float>::quiet_NaN();
const double none = std::numeric_limits<double>::quiet_NaN();

constexpr quint8 deferred = HAbstractParametr::DeferredEdit | HAbstractParametr::OwnCaption;
constexpr quint8 immediate = HAbstractParametr::OwnCaption;

struct ItemList
{
    explicit ItemList(int count)
    {
        for (int i = 0; i < count; ++i)
            items.append(new ParametrEnumItem(QStringLiteral("п%1").arg(i), i));
    }
    ~ItemList() { qDeleteAll(items); }
    QList<ParametrEnumItem*> items;
};

// A deferred parameter shows its edited value until it is reverted or applied; without the flag it
// shows the committed one, and a new committed value resets the edit.
template <typename Parametr, typename Value>
void checkDeferredEdit(Parametr& parametr, const Value& committed, const Value& edited, const QString& committedText,
                       const QString& editedText)
{
    parametr.setValue(committed);
    parametr.setEditedValue(edited);
    QCOMPARE(parametr.valueText(), editedText);
    QCOMPARE(parametr.value(), committed);
    parametr.revertEdited();
    QCOMPARE(parametr.valueText(), committedText);
    QCOMPARE(parametr.editedValue(), committed);
    parametr.setEditedValue(edited);
    parametr.applyEdited();
    QCOMPARE(parametr.value(), edited);
    parametr.setValue(committed);
    QCOMPARE(parametr.editedValue(), committed);
    parametr.setEditedValue(edited);
    parametr.clearFlag(HAbstractParametr::DeferredEdit);
    QCOMPARE(parametr.valueText(), committedText);
}

}  // namespace

// The verification settings, their parameters, and the unit and number texts that reach the protocol.
class TestVerificationSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestEnvironment::prepare();
        initChoiceLists();
        initChoiceLists();
        QCOMPARE(TextDiscription::lstUnits.size(), PressureUnits::unitCount);
    }

    void cleanup()
    {
        g_verificationSettings = nullptr;
        QLocale::setDefault(QLocale::c());
    }

    void parametersAndVerificationKind()
    {
        VerificationSettings settings;
        QCOMPARE(settings.parametr(1), settings.prProtocolNumber);
        QCOMPARE(settings.parametr(VerificationSettings::parametrCount), nullptr);
        QCOMPARE(settings.parametr(-1), nullptr);
        for (const int loaded : {0, -7, 25}) {
            settings.groupPointCount = loaded;
            settings.clampLoadedValues();
            QCOMPARE(settings.groupPointCount, qMax(1, loaded));
        }
        settings.prVerificationType->setEditedValue(1);
        QCOMPARE(settings.verificationKindText(), QString("первичной"));
        settings.prVerificationType->applyEdited();
        QCOMPARE(settings.verificationKindText(), QString("периодической"));
    }

    // Class indexes 0 A0, 1 A, 2 B, 3 C; the limits in kPa are single-precision values from the
    // calibrator, and a bound such as 0.8 counts as equal to 0.8f.
    void accuracyCategory()
    {
        const struct { int classIndex, module; float lower, upper; QString category; } cases[] = {
            {2, 2, 0.f, 199.9f, "1"},     // strict bound below
            {2, 2, 0.f, 200.f, "2"},      // strict bound reached
            {2, 2, 0.f, 250.f, "2"},      // last bound
            {2, 2, 0.f, 250.5f, "-"},     // above the last bound
            {2, 2, -1.f, 100.f, "-"},     // below the floor
            {2, 1, 0.f, 60.f, "2"},       // inclusive bound
            {1, 7, 0.f, 0.8f, "1"},       // bound as float
            {1, 7, 0.f, std::nextafter(0.8f, 1.f), "2"},
            {0, 22, -100.f, 0.f, "3"},    // vacuum, exact zero
            {1, 22, -100.f, 600.f, "2"},  // vacuum, third bracket
            {0, 22, -100.5f, 0.f, "-"},   // vacuum below the floor
            {1, 19, -10.f, 13.f, "1"},    // own floor
            {1, 19, -10.5f, 13.f, "-"},   // under its own floor
            {7, 1, 0.f, 0.f, "2"},        // class outside the list taken as A0
            {3, 4, -500.f, noNumber, "РСИ"},  // a fixed text ignores the limits
            {1, 12, 0.f, noNumber, "-"},
            {1, 12, noNumber, 100.f, "-"},
            {1, 23, 0.f, 1.f, "-"},       // module outside the table
        };
        for (const auto& c : cases) {
            VerificationSettings settings;
            settings.tzsAccuracyClass = quint8(c.classIndex);
            settings.modelTZS = quint8(c.module);
            QCOMPARE(settings.etalonAccuracyText(c.upper, c.lower), c.category);
        }
    }

    // Every cell of the category table, each bracket at its bound and one float step past it, and
    // each floor at its value and one step below it. "<=60:2 <=120:3" reads: up to 60 "2", up to 120
    // "3", above "-"; "<" marks a bound that is not reached.
    void accuracyTableCells_data()
    {
        QTest::addColumn<int>("module");
        QTest::addColumn<int>("classIndex");
        QTest::addColumn<float>("floor");
        QTest::addColumn<QString>("cell");
        const QStringList classes{"A0", "A", "B", "C"};
        const struct
        {
            float floor;
            QStringList cells;
        } table[] = {
            {0, {"1", "1", "1", "1"}},
            {0, {"2", "2", "<=60:2 <=120:3", "РСИ"}},
            {0, {"1", "1", "<200:1 <=250:2", "<100:1 <=250:2"}},
            {0, {"2", "<=270:2 <=600:3", "3", "РСИ"}},
            {0, {"3", "3", "3", "РСИ"}},
            {0, {"-", "-", "-", "-"}},
            {0, {"-", "-", "-", "-"}},
            {0, {"<=1.5:1 <=2.5:2", "<=0.8:1 <=2.5:2", "2", "2"}},
            {0, {"<=3:1 <=6.3:2", "<=2:1 <=6.3:2", "2", "2"}},
            {0, {"<=8:1 <=16:2", "<=6:1 <=16:2", "2", "2"}},
            {0, {"1", "<=32.8:1 <=40:2", "<=5.5:1 <=40:2", "<=5.5:1 <=40:2"}},
            {0, {"1", "<=82:1 <=100:2", "<=50:1 <=100:2", "<=59:2 <=100:3"}},
            {0, {"1", "<=200:1 <=250:2", "<=100:1 <=250:2", "<=75:1 <=250:2"}},
            {0, {"1", "<=495:1 <=600:2", "<=300:1 <=600:2", "<=354:2 <=600:3"}},
            {0, {"1", "<=2050:1 <=2500:2", "<=1300:1 <=2500:2", "<=1500:2 <=2500:3"}},
            {0, {"1", "<=5000:1 <=6000:2", "<=3000:1 <=6000:2", "<=3500:2 <=6000:3"}},
            {0, {"1", "<=13000:1 <=16000:2", "<=8000:1 <=16000:2", "<=9500:2 <=16000:3"}},
            {0, {"1", "<=50000:1 <=60000:2", "<=30000:1 <=60000:2", "<=35500:2 <=60000:3"}},
            {0, {"1", "<=80000:1 <=100000:2", "<=41000:1 <=100000:2", "<=17000:1 <=100000:2"}},
            {-10, {"1", "<=13:1 <=20:2", "<=10:1 <=20:2", "<=5:1 <=20:2"}},
            {-40, {"1", "<=52:1 <=80:2", "<=40:1 <=80:2", "<=20:1 <=80:2"}},
            {-100, {"1", "<=169:1 <=260:2", "<=130:1 <=260:2", "<=65:1 <=260:2"}},
            {-100, {"<=0:3 <=600:1", "<=0:3 <=390:1 <=600:2", "<=0:3 <=200:1 <=600:2", "<=0:3 <=360:2 <=600:3"}},
        };
        for (int module = 0; module < int(std::size(table)); ++module)
            for (int column = 0; column < classes.size(); ++column)
                QTest::newRow(qPrintable(QStringLiteral("module %1 %2").arg(module).arg(classes.at(column))))
                    << module << column << table[module].floor << table[module].cells.at(column);
    }

    void accuracyTableCells()
    {
        QFETCH(int, module);
        QFETCH(int, classIndex);
        QFETCH(float, floor);
        QFETCH(QString, cell);
        VerificationSettings settings;
        settings.modelTZS = quint8(module);
        settings.tzsAccuracyClass = quint8(classIndex);
        const auto category = [&settings](float upper, float lower) {
            return settings.etalonAccuracyText(upper, lower);
        };
        if (!cell.contains(QLatin1Char(':'))) {
            QCOMPARE(category(1e6f, -1e6f) + category(noNumber, noNumber), cell + cell);
            return;
        }
        const QStringList brackets = cell.split(QLatin1Char(' '));
        const auto boundOf = [&brackets](int i) {
            const QString bound = brackets.at(i).section(QLatin1Char(':'), 0, 0);
            return QString(bound).remove(QLatin1Char('<')).remove(QLatin1Char('=')).toFloat();
        };
        const auto textOf = [&brackets](int i) {
            return i < brackets.size() ? brackets.at(i).section(QLatin1Char(':'), 1) : QStringLiteral("-");
        };
        QCOMPARE(category(boundOf(0) - 1, floor), textOf(0));
        QCOMPARE(category(boundOf(0) - 1, std::nextafter(floor, -1e9f)), QStringLiteral("-"));
        QCOMPARE(category(noNumber, floor), QStringLiteral("-"));
        for (int i = 0; i < brackets.size(); ++i) {
            const bool strict = !brackets.at(i).startsWith(QLatin1String("<="));
            const float bound = boundOf(i);
            const QString text = textOf(i);
            const QString next = textOf(i + 1);
            const float below = std::nextafter(bound, -1e9f);
            const float above = std::nextafter(bound, 1e9f);
            const QStringList got{category(below, floor), category(bound, floor), category(above, floor)};
            QCOMPARE(got, (QStringList{text, strict ? next : text, next}));
        }
    }

    // Protocol texts round to the committed decimals, not to an edit still pending.
    void protocolTextsUseCommittedDecimals()
    {
        QCOMPARE(formatNumberForProtocol(1.23456, -1), QString("1.235"));
        VerificationSettings settings;
        QCOMPARE(settings.etalonRangeText(2500.f, 0.f, 2), QString("2.5...0 МПа"));
        g_verificationSettings = &settings;
        settings.prProtocolDecimals->setValue(0);
        QCOMPARE(settings.etalonRangeText(2500.4f, -100.f, 1), QString("2500...-100 кПа"));
        QCOMPARE(formatNumberForProtocol(100.4, -1), QString("100"));
        QCOMPARE(formatNumberForProtocol(250.0, 2), QString("250 МПа"));
        settings.prProtocolDecimals->setValue(2);
        QCOMPARE(settings.etalonRangeText(1230.f, 0.f, 2) + settings.etalonRangeText(100.f, 0.f, 8),
                 QString("1.23...0 МПа1...0 бар"));
        QCOMPARE(settings.etalonRangeText(100.f, 0.f, -1), QString("-...- ---"));
        QCOMPARE(settings.etalonRangeText(100.f, 0.f, 11), QString("-...- ---"));
        settings.prProtocolDecimals->setValue(3);
        QCOMPARE(formatNumberForProtocol(2.5, -1), QString("2.5"));
        settings.prProtocolDecimals->setEditedValue(1);
        QCOMPARE(formatNumberForProtocol(2.25, -1), QString("2.25"));
        settings.prProtocolDecimals->setValue(10);
        QCOMPARE(formatNumberForProtocol(0.0123456789, -1), QString("0.0123456789"));
    }

    // Units by index: 0 Pa, 1 kPa, 2 MPa, 3 kgf/cm², 4 kgf/m², 5 mm Hg, 6 mm of water, 7 mbar, 8 bar,
    // 9 atm, 10 psi. Not the psi of 6.894757293 and the mm Hg of 0.133322387 found elsewhere.
    void conversionsAndHartCodes()
    {
        const struct { int from, to; double value, expected; } cases[] = {
            {1, 0, 1, 1000},      {2, 1, 1, 1000},        {3, 4, 1, 10000},         {8, 7, 1, 1000},
            {9, 1, 1, 101.325},   {6, 0, 1, 9.80665},     {10, 1, 1, 6.894758896},  {5, 1, 1, 0.133321995},
            {1, 11, 5, none},     {11, 1, 5, none},       {-1, 1, 5, none},
        };
        for (const auto& c : cases) {
            const double converted = PressureUnits::convert(quint8(c.from), quint8(c.to), c.value);
            if (std::isnan(c.expected)) {
                QVERIFY(std::isnan(converted));
                QVERIFY(std::isnan(PressureUnits::kpaPerUnit(c.from)) || std::isnan(PressureUnits::kpaPerUnit(c.to)));
                continue;
            }
            QCOMPARE(converted, c.expected);
            QCOMPARE(PressureUnits::fromKpa(quint8(c.from), PressureUnits::toKpa(c.value, quint8(c.from))), c.value);
        }

        const QList<QPair<int, int>> codes = {{12, 1}, {237, 2}, {11, 0}, {6, 10}, {255, -1}, {0, -1}};
        for (const auto& code : codes)
            QCOMPARE(PressureUnits::unitFromHartCode(quint8(code.first)), code.second);
        QCOMPARE(PressureUnits::convertFromHart(12, 2, 1000.0), 1.0);
        QCOMPARE(PressureUnits::convertHart(7, 12, 1.0), 100.0);
        QCOMPARE(PressureUnits::convertHart(6, 237, 1000.0), 6.894758896);
        // Inches of water (1) are not in the table: no conversion rather than a reading taken as Pa.
        QVERIFY(std::isnan(PressureUnits::convertFromHart(1, 1, 10.0)));
        QVERIFY(std::isnan(PressureUnits::convertHart(12, 1, 10.0)));
        QVERIFY(std::isnan(PressureUnits::convertFromHart(12, 11, 5.0)));
    }

    // The decimal point stays a point whatever the locale.
    void trimmedText()
    {
        const struct { double value; int unit; QString text; } cases[] = {
            {2.5, 1, "2.5 кПа"},      {100.0, -1, "100"},       {1000.05, -1, "1000.05"},
            {0.1234567, -1, "0.123457"}, {-0.0000001, -1, "0"}, {-0.0, 1, "0 кПа"},
            {2.0, 11, "2 ---"},       {none, -1, "-"},          {-HUGE_VAL, 1, "- кПа"},
        };
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        for (const auto& c : cases)
            QCOMPARE(formatNumberTrimmed(c.value, c.unit), c.text);
        // Single-precision values show the digits they hold.
        QCOMPARE(floatToText(100.05f) + ' ' + floatToText(0.000001f) + ' ' + doubleToText(1234567.5),
                 QString("100.05 0.000001 1234567.5"));
        QCOMPARE(widenFloat(100.05f), 100.05);
    }

    // A caption given by reference follows the text it refers to; an own caption is a copy.
    void captionsAndFlags()
    {
        QString text = QStringLiteral("Давление");
        ParametrInt referenced(text, 0, 10, 0);
        auto owned = std::make_unique<ParametrString>(text, 10, HAbstractParametr::OwnCaption);
        text = QStringLiteral("Ток");
        QCOMPARE(referenced.caption() + owned->caption(), QString("ТокДавление"));
        owned->setFlag(HAbstractParametr::DeferredEdit);
        QVERIFY(!owned->showsCommitted());
    }

    void deferredEditOfEachType()
    {
        ParametrInt number(QStringLiteral("Число"), 0, 100, deferred);
        checkDeferredEdit(number, 3, 5, "3", "5");
        ParametrDouble real(QStringLiteral("Коэффициент"), 0.1, 1.0, deferred);
        checkDeferredEdit(real, 0.5, 0.75, "0,5", "0,75");
        ParametrString string(QStringLiteral("Номер"), 250, deferred);
        checkDeferredEdit(string, QStringLiteral("П-1"), QStringLiteral("П-3"), "П-1", "П-1");
        ParametrTime time(QStringLiteral("Время"), deferred);
        checkDeferredEdit(time, QTime(23, 59, 59, 999), QTime(0, 10), "23 час  59 мин  59.999 сек  ", "10 мин  ");
    }

    void limits()
    {
        ParametrInt number(QStringLiteral("Число"), 0, 255, deferred);
        number.setValue(300);
        QCOMPARE(number.value(), 255);
        number.setValue(-1);
        QCOMPARE(number.value(), 0);
        number.setEditedValue(1000);
        QCOMPARE(number.editedValue(), 255);
        number.setValue(171);
        QCOMPARE(number.hexText(true) + number.hexText(false), QString("0xAB171"));

        ParametrDouble real(QStringLiteral("Коэффициент"), 0.1, 1.0, deferred);
        real.setEditedValue(0.02);
        QCOMPARE(real.editedValue(), 0.1);
        real.setValue(5.0);
        real.setValue(std::numeric_limits<double>::quiet_NaN());
        QCOMPARE(real.value(), 1.0);
        real.setValue(-std::numeric_limits<double>::infinity());
        QCOMPARE(real.value(), 0.1);
        ParametrDouble open(QStringLiteral("Без границ"), ParametrDouble::unbounded, ParametrDouble::unbounded, immediate);
        open.setValue(1234567.0);
        QCOMPARE(open.valueText(), QString("1,23457e+06"));
        open.setValue(-std::numeric_limits<double>::max());
        QCOMPARE(open.value(), -std::numeric_limits<double>::max());

        ParametrTime bounded(QStringLiteral("Пауза"), QTime(0, 0, 1), QTime(0, 1), immediate);
        bounded.setValue(QTime(0, 0));
        QCOMPARE(bounded.value(), QTime(0, 0, 1));
        bounded.setEditedValue(QTime(1, 0));
        QCOMPARE(bounded.editedValue(), QTime(0, 1));
    }

    void choicesFollowTheirItemLists()
    {
        ItemList list(2);
        ParametrEnum parametr(QStringLiteral("Выбор"), &list.items, immediate);
        parametr.setValue(5);
        QCOMPARE(parametr.valueText(), QString("<5>"));
        QCOMPARE(parametr.currentIndex(), -1);
        parametr.setItems(&list.items);
        QCOMPARE(parametr.value(), 0);
        QCOMPARE(parametr.valueText(), QString("п0"));
        parametr.setValue(1);
        ItemList longer(3);
        parametr.setItems(&longer.items);
        QCOMPARE(parametr.currentIndex(), 1);
        parametr.setFlag(HAbstractParametr::DeferredEdit);
        parametr.setEditedValue(2);
        QCOMPARE(parametr.valueText(), QString("п2"));
        parametr.revertEdited();
        QCOMPARE(parametr.currentIndex(), 1);
        const QList<ParametrEnumItem*> empty;
        parametr.setValue(7);
        parametr.setItems(&empty);
        QCOMPARE(parametr.valueText(), QString("<7>"));

        ParametrMultiEnum multi(QStringLiteral("Каналы"), &longer.items, immediate);
        QCOMPARE(multi.valueText(), QString("Нажмите для выбора"));
        multi.selectAll();
        multi.lock();
        QCOMPARE(multi.valueText(), QString("[1] ,[2] ,[3]"));
        QVERIFY(multi.contains(2) && !multi.contains(3));
        multi.unlock();
        multi.setShowTexts(true);
        longer.items.at(1)->value = 40;
        QCOMPARE(multi.valueText(), QString("[п0] ,[] ,[п2]"));
        multi.clear();
        QVERIFY(!multi.contains(0));

        ItemList twelve(12);
        ParametrMultiEnum many(QStringLiteral("Каналы"), &twelve.items, immediate);
        many.selectAll();
        QVERIFY(many.valueText().endsWith(QStringLiteral("[10] ,[11] ,")));
    }

    void timeAndDateTexts()
    {
        ParametrTime time(QStringLiteral("Время"), immediate);
        QStringList texts;
        for (const QTime& value : {QTime(0, 0), QTime(2, 0, 3), QTime(0, 5, 0, 20), QTime()}) {
            time.setValue(value);
            texts << time.valueText();
        }
        QCOMPARE(texts, QStringList({"0 сек  ", "2 час  3 сек  ", "5 мин  0.02 сек  ", ""}));

        ParametrDateTime parametr(QStringLiteral("Часы"), immediate);
        QCOMPARE(parametr.valueText(), QString());
        parametr.setValue(QDateTime(QDate(2024, 3, 6), QTime(9, 5, 7)));
        QCOMPARE(parametr.valueText(), QString("6.3.2024  9:5:7"));
        quint8 bytes[ParametrDateTime::deviceByteCount] = {};
        parametr.setValue(QDateTime(QDate(1999, 12, 31), QTime(23, 59, 58)));
        parametr.toDeviceBytes(bytes);
        QCOMPARE(QByteArray(reinterpret_cast<char*>(bytes), 6), QByteArray("\x00\x0c\x1f\x17\x3b\x3a", 6));
        const quint8 device[ParametrDateTime::deviceByteCount] = {24, 3, 6, 9, 5, 7};
        parametr.fromDeviceBytes(device);
        QCOMPARE(parametr.value(), QDateTime(QDate(2024, 3, 6), QTime(9, 5, 7), Qt::LocalTime));
        parametr.toDeviceBytes(bytes);
        QCOMPARE(QByteArray(reinterpret_cast<char*>(bytes), 6), QByteArray(reinterpret_cast<const char*>(device), 6));
    }

    // The build puts the shipped template into Templates/ beside the program.
    void templateIsLookedForBesideTheProgram()
    {
        VerificationSettings settings;
        settings.txtProtocolName = QStringLiteral("Протокол поверки.xlsx");
        QCOMPARE(settings.templatePath(),
                 QCoreApplication::applicationDirPath() + QStringLiteral("/Templates/Протокол поверки.xlsx"));
    }

    // The captions the settings page shows beside the protocol fields, and the two fields that take
    // several lines.
    void parameterCaptions_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("multiLine");
        const QStringList captions{"Кол-во знаков после зап. в протоколе",
                                   "Номер протокола",
                                   "Наименование организации",
                                   "Адрес организации",
                                   "№ сертификата аккредитации",
                                   "Список эталонов",
                                   "Владелец датчика",
                                   "Замечания по датчику",
                                   "Обозначение документа",
                                   "Тип поверки",
                                   "Проверка герметичности",
                                   "Опробование",
                                   "Проверка эл. прочности изоляции",
                                   "Проверка эл. R изоляции",
                                   "Коэффициент для расчета доп. погрешности",
                                   "Коэффициент для расчета доп. вариации",
                                   "Рег. номер",
                                   "Рег. номер",
                                   "Тип",
                                   "Номер",
                                   "Погрешность, %"};
        QCOMPARE(captions.size(), VerificationSettings::parametrCount);
        for (int index = 0; index < captions.size(); ++index)
            QTest::newRow(qPrintable(QString::number(index))) << index << captions.at(index) << (index == 3 || index == 5);
    }

    void parameterCaptions()
    {
        QFETCH(int, index);
        QFETCH(QString, caption);
        QFETCH(bool, multiLine);
        VerificationSettings settings;
        const HAbstractParametr* parametr = settings.parametr(index);
        QCOMPARE(parametr->caption(), caption);
        QCOMPARE(parametr->flags(), quint8(deferred | (multiLine ? HAbstractParametr::TallInput : 0)));
    }

    // A new record starts every number at its default; a value from a project file beyond a limit
    // comes in at that limit.
    void numbersStartAndStayInTheirLimits_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<double>("initial");
        QTest::addColumn<double>("minimum");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<double>("step");
        QTest::newRow("protocol decimals") << 0 << 3.0 << 0.0 << 10.0 << 1.0;
        QTest::newRow("accuracy coefficient") << 14 << 1.0 << 0.1 << 1.0 << 0.001;
        QTest::newRow("variation coefficient") << 15 << 2.0 << 0.5 << 10.0 << 0.001;
    }

    void numbersStartAndStayInTheirLimits()
    {
        QFETCH(int, index);
        QFETCH(double, initial);
        QFETCH(double, minimum);
        QFETCH(double, maximum);
        QFETCH(double, step);
        VerificationSettings settings;
        HAbstractParametr* parametr = settings.parametr(index);
        auto* number = dynamic_cast<ParametrInt*>(parametr);
        auto* real = dynamic_cast<ParametrDouble*>(parametr);
        QVERIFY(number || real);
        const auto stored = [number, real] { return number ? double(number->value()) : real->value(); };
        QCOMPARE(stored(), initial);
        QList<double> kept;
        for (double value : {minimum - step, minimum, minimum + step, maximum - step, maximum, maximum + step}) {
            if (number)
                number->setValue(int(value));
            else
                real->setValue(value);
            kept << stored();
        }
        QCOMPARE(kept, (QList<double>{minimum, minimum, minimum + step, maximum - step, maximum, maximum}));
    }

    void channelStyleColours()
    {
        ParametrChannelStyle style(QStringLiteral("Канал"), immediate);
        style.setLineWidth(0);
        QCOMPARE(style.penWidth(), 0.5);
        style.setLineColor(Qt::red);
        QCOMPARE(style.palette().color(QPalette::Disabled, QPalette::WindowText), QColor(Qt::red));
    }
};

QTEST_GUILESS_MAIN(TestVerificationSettings)
#include "test_verification_settings.moc"

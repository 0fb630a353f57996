#include "HartDeviceTypeNames.h"
#include "HartResponseCodes.h"
#include "HartTextTables.h"
#include "ParametrEnum.h"
#include "PressureUnits.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QRegularExpression>
#include <QtTest>
#include <cmath>

namespace {

struct TextRow
{
    quint8 code;
    const char* text;
};

// The HART code-to-text tables as they must read, row by row in table order.
struct TextTable
{
    const char* name;
    const HartTextTable& table;
    const QString& (*lookup)(quint8);
    QVector<TextRow> rows;
};

const QVector<TextTable>& textTables()
{
    static const QVector<TextTable> tables = {
        {"physical signalling", g_hartPhysicalSignaling, hartPhysicalSignalingText,
         {{0, "Bell 202 Current"}, {1, "Bell 202 Voltage"}, {2, "RS-485"}, {3, "RS-232"}, {4, "Wireless"}, {6, "Special"}}},
        {"transfer functions", g_hartTransferFunctions, nullptr, {{0, "Линейная"}, {1, "Корнеизвлекающая"}}},
        {"units", g_hartUnits, hartUnitText,
         {{11, "Па"}, {12, "кПа"}, {237, "МПа"}, {10, "кгс/см2"}, {176, "кгс/м2"}, {5, "мм рт. ст."},
          {239, "мм вод. ст."}, {8, "мБар"}, {7, "Бар"}, {14, "Атм"}}},
        {"on/off", g_hartOnOff, hartOnOffText, {{0, "Выключена"}, {1, "Включена"}}},
        {"permission", g_hartPermission, nullptr, {{0, "запрещено"}, {1, "разрешено"}}},
        {"current output types", g_hartCurrentOutputTypes, hartCurrentOutputTypeText,
         {{0, "0-5"}, {1, "4-20"}, {2, "5-0"}, {3, "20-4"}}},
        {"alarm levels", g_hartAlarmLevels, nullptr, {{0, "низкий"}, {1, "высокий"}, {2, "выключен"}, {3, "двойной"}}},
        {"display modes", g_hartDisplayModes, nullptr, {{0, "давление"}, {1, "% от диапазона"}, {2, "мА"}}},
    };
    return tables;
}

// A group of commands that judge response codes alike: the codes it lists, each an error with its
// text, an error with the generic text (text null), or a warning (which may still set a text).
struct CodeRow
{
    QVector<int> codes;
    const char* text;
    bool warning = false;
};

struct CodeGroup
{
    QVector<int> commands;
    bool writeErrorDefault;
    QVector<CodeRow> rows;
};

const char* const NoAccess = "Нет доступа к параметру";
const char* const Busy = "HART-устройство занято";
const char* const TooFewBytes = "Недостаточное количество входных байт";
const char* const MemoryError = "Ошибка чтения/записи параметра в ППЗУ";
const char* const WriteProtectActive = "Активен режим защиты от записи";

const QVector<CodeGroup>& codeGroups()
{
    static const QVector<CodeGroup> groups = {
        {{0, 17, 18, 22, 34, 35, 44, 45, 46, 47, 59}, true,
         {{{5, 6}, nullptr}, {{7}, "Устройство в режиме защиты от записи!"}, {{9}, "Неверные данные!"},
          {{16}, NoAccess}, {{32}, Busy}}},
        {{1, 9}, false,
         {{{2}, "Параметр недоступен"}, {{5}, "Принято слишком мало байт"}, {{6, 8, 14, 30}, "", true},
          {{16}, NoAccess}}},
        {{6, 7}, true,
         {{{2}, "Выбран неверный адрес"}, {{5}, "Too Few Data Bytes Received"}, {{6}, "Ошибка установки параметра"},
          {{7}, "Устройство в режиме защиты от записи"}, {{12}, "Invalid Mode Selection"}, {{16}, NoAccess},
          {{32}, Busy}}},
        {{12, 13, 14, 15, 20}, false, {{{16}, NoAccess}, {{32}, Busy}}},
        {{38}, false,
         {{{6}, "Ошибка установки параметра в приборе"}, {{7}, "Устройство в режиме защиты от записи"},
          {{9}, "Ошибка сброса флага с HART-устройства"}, {{16}, NoAccess}}},
        {{40}, true,
         {{{3}, "Устанавливаемый ток слишком большой"}, {{4}, "Устанавливаемый ток слишком маленький"},
          {{5}, "Too Few Data Bytes Received"}, {{6}, "Ошибка установки параметра"},
          {{7}, "Устройство в режиме защиты от записи!"}, {{11}, "Loop Current Not Active (Device in Multidrop Mode)"},
          {{16}, NoAccess}, {{32}, Busy}}},
        {{42}, false, {{{6}, "Ошибка установки параметра в приборе"}, {{16}, NoAccess}, {{32}, Busy}}},
        {{43}, false,
         {{{6}, "Ошибка установки параметра в приборе"}, {{7}, "Устройство в режиме защиты от записи"},
          {{9}, "Измеряемое значение слишком велико"}, {{10}, "Измеряемое значение слишком мало"}, {{16}, NoAccess},
          {{32}, Busy}}},
        {{82}, true,
         {{{2}, "Invalid Selection"}, {{3}, "Передаваемый параметр слишком велик"},
          {{4}, "Передаваемый параметр слишком мал"}, {{5}, TooFewBytes}, {{6}, MemoryError}, {{7}, WriteProtectActive},
          {{9}, "Измеряемое значение слишком велико"}, {{10}, "Измеряемое значение слишком мало"},
          {{11, 13}, "Trim Error, Excess Correction Attempted"}, {{14}, "Span Too Small", true}, {{16}, NoAccess},
          {{17}, "Invalid Device Variable Index. The Device Variable does not exist in this Field Device."},
          {{18}, "Invalid Units Code"}, {{19}, "Device Variable index not allowed for this command"},
          {{32}, "Busy (A DR Could Not Be Started)"}, {{33}, "DR Initiated"}, {{34}, "DR Running"}, {{35}, "DR Dead"},
          {{36}, "DR Conflict"}}},
        {{128, 130, 134, 147}, false, {{{6}, "Ошибка чтения параметра из ППЗУ"}}},
        {{129}, true,
         {{{5}, TooFewBytes}, {{6}, "Ошибка чтения /записи параметра в ППЗУ"}, {{7}, WriteProtectActive},
          {{11}, "Токовый выход неактивен (датчик в многоточечном режиме)"},
          {{12}, "Неверное значение типа токового выхода"}, {{13}, "Неверное значение уровня тока ошибки"},
          {{14}, "Значение тока ошибки низкого уровня слишком мало"},
          {{15}, "Значение тока ошибки низкого уровня слишком велико"},
          {{16}, "Значение тока ошибки высокого  уровня слишком мало"},
          {{17}, "Значение тока ошибки высокого  уровня слишком велико"},
          {{18}, "Значение тока ошибки высокого уровня меньше значения тока ошибки низкого уровня"}}},
        {{131}, true,
         {{{5}, TooFewBytes}, {{6}, MemoryError}, {{7}, WriteProtectActive}, {{8}, "Значение линеаризации слишком мало"},
          {{9}, "Значение линеаризации слишком велико"}, {{10}, "Значение порога отсечки слишком мало"},
          {{11}, "Значение порога отсечки слишком велико"}, {{12}, "Значение ширины гистерезиса слишком мало"},
          {{13}, "Значение ширины гистерезиса слишком велико"}}},
        {{132}, false, {{{6}, "Ошибка чтения параметра из ППЗУ"}, {{7}, "Неверное значение языка меню"}}},
        {{133}, true,
         {{{5}, TooFewBytes}, {{6}, MemoryError}, {{7}, WriteProtectActive}, {{8}, "Неверное значение языка меню"},
          {{9}, "Количество знаков после запятой слишком велико"}, {{10}, "Неверный режим индикации"}}},
        {{135}, true,
         {{{5}, TooFewBytes}, {{6}, MemoryError}, {{7}, WriteProtectActive},
          {{8}, "Неверное значение разрешения обнуления от геркона"}}},
        {{136}, true,
         {{{6}, MemoryError}, {{7}, WriteProtectActive}, {{8}, "Ошибка восстановления заводских параметров"},
          {{9}, "Неверное значение типа действия"}}},
        {{145}, false, {{{5}, "Ошибка при передаче данных"}, {{32}, Busy}}},
        {{146, 148}, true,
         {{{5}, TooFewBytes}, {{6}, MemoryError}, {{7}, WriteProtectActive}, {{9}, "Смещение шкалы слишком велико"},
          {{10}, "Смещение шкалы слишком мало"}}},
    };
    return groups;
}

// Commands of no group: every non-zero code is an error with the generic text.
const QVector<int> ungroupedCommands = {2, 3, 8, 10, 11, 16, 19, 21, 39, 48, 81, 83, 127, 137, 149, 200, 255};

QString genericText(int code)
{
    return QStringLiteral("HART-прибор выдал неизвестную ошибку: %1").arg(code);
}

const CodeRow* listedRow(const CodeGroup& group, int code)
{
    for (const CodeRow& row : group.rows)
        if (row.codes.contains(code))
            return &row;
    return nullptr;
}

// What a code must give for a command of the group: whether it is an error, and the text.
QPair<bool, QString> expectedJudgement(const CodeGroup* group, int code)
{
    if (code == 64)
        return {true, QStringLiteral("Неизвестная команда")};
    if (code == 0)
        return {false, QString()};
    const CodeRow* row = group ? listedRow(*group, code) : nullptr;
    if (row)
        return {!row->warning, row->text ? QString::fromUtf8(row->text) : genericText(code)};
    if (group && group->writeErrorDefault)
        return {true, QStringLiteral("Ошибка записи!")};
    return {true, genericText(code)};
}

// Judges the code as the HART layer does; empty when that matches what is expected, else what it gave.
QString judgementMismatch(const CodeGroup* group, int command, int code)
{
    const QPair<bool, QString> expected = expectedJudgement(group, code);
    const bool error = hartResponseCodeText(quint8(code), command);
    const QString prefix = QStringLiteral("Команда %1 :").arg(command);
    if (error == expected.first && hartResponseIsError(quint8(code), command) == expected.first
        && g_hartResponseText == expected.second && g_hartResponsePrefix == prefix)
        return QString();
    return QStringLiteral("command %1 code %2: %3 \"%4\" (%5)")
        .arg(command)
        .arg(code)
        .arg(error ? "error" : "no error", g_hartResponseText, g_hartResponsePrefix);
}

struct ListRow
{
    const char* name;
    const QStringList& list;
    QStringList texts;
};

const QVector<ListRow>& expectedChoiceLists()
{
    using namespace TextDiscription;
    static const QVector<ListRow> lists = {
        {"units", lstUnits,
         {"Па", "кПа", "МПа", "кг/см2", "кг/м2", "мм рт.ст.", "мм вод.ст.", "мбар", "бар", "АТМ", "psi"}},
        {"outputs", lstOutputs, {"0 - 5 мА", "4 - 20 мА", "5 - 0 мА", "20 - 4 мА"}},
        {"characteristics", lstCharacteristics, {"линейная", "квадратичная"}},
        {"classes", lstClasses, {"A0", "A", "B", "C"}},
        {"module units", lstModuleUnits, {"кПА", "МПА"}},
    };
    return lists;
}

struct EnumList
{
    const char* name;
    const QList<ParametrEnumItem*>& items;
    QVector<TextRow> rows;
};

const QVector<EnumList>& expectedEnumLists()
{
    static const QVector<EnumList> lists = {
        {"verification kinds", TextDiscription::lstVerificationKinds, {{0, "первичная"}, {1, "периодическая"}}},
        {"conformity", TextDiscription::lstConformity, {{0, "соответствует"}, {1, "не соответствует"}, {2, "-"}}},
    };
    return lists;
}

}  // namespace

// Every entry of the fixed tables, as the program's texts and codes must read: HART codes and
// their texts both ways, response-code texts, unit mappings and factors, and the choice lists.
class TestTextTables : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestEnvironment::prepare();
        initHartTextTables();
        initChoiceLists();
    }

    void hartTextTables_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<int>("position");
        for (int t = 0; t < textTables().size(); ++t)
            for (int p = 0; p < textTables().at(t).rows.size(); ++p)
                QTest::addRow("%s %d", textTables().at(t).name, int(textTables().at(t).rows.at(p).code)) << t << p;
    }

    void hartTextTables()
    {
        QFETCH(int, table);
        QFETCH(int, position);
        const TextTable& expected = textTables().at(table);
        const TextRow& row = expected.rows.at(position);
        const QString text = QString::fromUtf8(row.text);
        QCOMPARE(expected.table.size(), expected.rows.size());
        QCOMPARE(int(expected.table.at(position).code), int(row.code));
        QCOMPARE(expected.table.at(position).text, text);
        QCOMPARE(hartCodeText(row.code, expected.table), text);
        if (expected.lookup)
            QCOMPARE(expected.lookup(row.code), text);
        bool ok = false;
        QCOMPARE(int(hartCodeByText(text, expected.table, &ok)), int(row.code));
        QVERIFY(ok);
    }

    void responseCodeTexts_data()
    {
        QTest::addColumn<int>("group");
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("code");
        for (int g = 0; g < codeGroups().size(); ++g) {
            for (int command : codeGroups().at(g).commands) {
                QVector<int> codes = {0, 64};
                for (const CodeRow& row : codeGroups().at(g).rows)
                    codes += row.codes;
                for (int code : codes)
                    QTest::addRow("command %d code %d", command, code) << g << command << code;
            }
        }
        for (int command : ungroupedCommands)
            for (int code : {0, 5, 7, 16, 32, 64, 255})
                QTest::addRow("command %d code %d", command, code) << -1 << command << code;
    }

    void responseCodeTexts()
    {
        QFETCH(int, group);
        QFETCH(int, command);
        QFETCH(int, code);
        QCOMPARE(judgementMismatch(group < 0 ? nullptr : &codeGroups().at(group), command, code), QString());
    }

    // Codes a group does not list take its default, whichever code and command of the group.
    void unlistedResponseCodes()
    {
        QStringList mismatches;
        for (const CodeGroup& group : codeGroups())
            for (int command : group.commands)
                for (int code = 1; code < 256; ++code)
                    if (code != 64 && !listedRow(group, code))
                        mismatches << judgementMismatch(&group, command, code);
        mismatches.removeAll(QString());
        QCOMPARE(mismatches, QStringList());
    }

    void deviceTypeNames_data()
    {
        QTest::addColumn<quint32>("key");
        QTest::addColumn<QString>("name");
        const QString fallback = QStringLiteral("Неизвестное HART-устройство");
        QTest::newRow("1A01") << 0x1A01u << QStringLiteral("Датчик давления ПД-1");
        QTest::newRow("1A02") << 0x1A02u << QStringLiteral("Датчик давления ПД-2");
        QTest::newRow("1A03") << 0x1A03u << QStringLiteral("Датчик давления ПД-3");
        for (quint32 key : {0u, 0x1234u, 0x1A00u, 0x1A04u, 0x11A01u, 0x1A0100u, 0xFFFFu})
            QTest::addRow("%X", key) << key << fallback;
    }

    // Each transmitter the workstation knows shows its own name; any other key the fallback.
    void deviceTypeNames()
    {
        QFETCH(quint32, key);
        QFETCH(QString, name);
        QCOMPARE(hartDeviceTypeName(key), name);
    }

    void hartUnitCodes_data()
    {
        QTest::addColumn<int>("hartCode");
        QTest::addColumn<int>("unit");
        const int mapping[][2] = {{11, 0}, {12, 1}, {237, 2}, {10, 3}, {176, 4}, {5, 5},
                                  {239, 6}, {8, 7},  {7, 8},   {14, 9}, {6, 10}};
        for (const auto& row : mapping)
            QTest::addRow("HART %d", row[0]) << row[0] << row[1];
        // Codes outside the table convert to nothing rather than to pascal.
        for (int code : {0, 1, 4, 9, 13, 15, 175, 236, 238, 240, 255})
            QTest::addRow("HART %d (none)", code) << code << -1;
    }

    void hartUnitCodes()
    {
        QFETCH(int, hartCode);
        QFETCH(int, unit);
        QCOMPARE(PressureUnits::unitFromHartCode(quint8(hartCode)), unit);
        if (unit < 0) {
            QVERIFY(std::isnan(PressureUnits::convertFromHart(quint8(hartCode), 1, 1.0)));
            return;
        }
        QCOMPARE(PressureUnits::convertFromHart(quint8(hartCode), 1, 1.0), PressureUnits::kpaPerUnit(unit));
    }

    void unitFactors_data()
    {
        QTest::addColumn<int>("unit");
        QTest::addColumn<double>("kpa");
        const double factors[] = {0.001, 1, 1000, 98.0665, 0.00980665, 0.133321995,
                                  0.00980665, 0.1, 100, 101.325, 6.894758896};
        for (int unit = 0; unit < 11; ++unit)
            QTest::addRow("unit %d", unit) << unit << factors[unit];
    }

    void unitFactors()
    {
        QFETCH(int, unit);
        QFETCH(double, kpa);
        QCOMPARE(PressureUnits::kpaPerUnit(unit), kpa);
        QCOMPARE(PressureUnits::toKpa(1.0, quint8(unit)), kpa);
        QCOMPARE(PressureUnits::fromKpa(quint8(unit), kpa), 1.0);
    }

    void choiceLists_data()
    {
        QTest::addColumn<int>("list");
        QTest::addColumn<int>("index");
        for (int l = 0; l < expectedChoiceLists().size(); ++l)
            for (int i = 0; i < expectedChoiceLists().at(l).texts.size(); ++i)
                QTest::addRow("%s %d", expectedChoiceLists().at(l).name, i) << l << i;
    }

    // Position to text, and text back to the position that project files and records store.
    void choiceLists()
    {
        QFETCH(int, list);
        QFETCH(int, index);
        const ListRow& expected = expectedChoiceLists().at(list);
        const QString& text = expected.texts.at(index);
        QCOMPARE(expected.list.size(), expected.texts.size());
        QCOMPARE(expected.list.at(index), text);
        QCOMPARE(expected.list.indexOf(text), index);
        if (&expected.list == &TextDiscription::lstUnits)
            QCOMPARE(unitName(index), text);
    }

    void enumLists_data()
    {
        QTest::addColumn<int>("list");
        QTest::addColumn<int>("position");
        for (int l = 0; l < expectedEnumLists().size(); ++l)
            for (int p = 0; p < expectedEnumLists().at(l).rows.size(); ++p)
                QTest::addRow("%s %d", expectedEnumLists().at(l).name, p) << l << p;
    }

    void enumLists()
    {
        QFETCH(int, list);
        QFETCH(int, position);
        const EnumList& expected = expectedEnumLists().at(list);
        const TextRow& row = expected.rows.at(position);
        QCOMPARE(expected.items.size(), expected.rows.size());
        QCOMPARE(expected.items.at(position)->value, int(row.code));
        QCOMPARE(expected.items.at(position)->text, QString::fromUtf8(row.text));
        ParametrEnum parameter(QStringLiteral("p"), &expected.items, 0);
        parameter.setValue(row.code);
        QCOMPARE(parameter.currentIndex(), position);
        QCOMPARE(parameter.valueText(), QString::fromUtf8(row.text));
    }

    // Lists whose texts are the workstation's own: their sizes and forms are what records rely on.
    void ownChoiceLists()
    {
        using namespace TextDiscription;
        QCOMPARE(lstChannelsNames.size(), 12);
        QCOMPARE(lstChannelsNames.first(), QStringLiteral("нет"));
        QCOMPARE(QStringList(lstChannelsNames).removeDuplicates(), 0);
        QCOMPARE(lstModuleCodes.size(), 23);
        QStringList lettered;
        for (const QString& code : lstModuleCodes) {
            QVERIFY2(QRegularExpression("^\\d{3}\\p{L}?$").match(code).hasMatch(), qPrintable(code));
            if (code.size() == 4)
                lettered << code;
        }
        QCOMPARE(lettered.size(), 2);
        QCOMPARE(QStringList(lstModuleCodes).removeDuplicates(), 0);
        QVERIFY(lstId.isEmpty());
    }

    void fixedTexts_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        const QString fixed = QStringLiteral(
            "Установите фиксированный ток с помощью кнопки \"=> %1 мА\". \n"
            " Введите истиное значение тока в соответствующее поле. \n"
            "Установите фиксированный ток с помощью кнопки \"=> %2 мА\". \n"
            " Введите истиное значение тока в соответствующее поле.");
        const QString point = QStringLiteral(
            "Установите давление, соответствующее %1 точке подстройки. Оно должно находиться внутри "
            "диапазона допустимых давлений для %1 точки. Дождитесь установления переходный процессов и "
            "введите в активное поле ввода значение давления, измеренное эталонным датчиком. Нажмите кнопку "
            "\">> Далее\".");
        QTest::newRow("fixed 4 mA") << g_trimMsgFixed4mA << fixed.arg(4).arg(20);
        QTest::newRow("fixed 0 mA") << g_trimMsgFixed0mA << fixed.arg(0).arg(5);
        QTest::newRow("low point") << g_trimMsgLowPoint << point.arg("нижней");
        QTest::newRow("high point") << g_trimMsgHighPoint << point.arg("верхней");
        QTest::newRow("done") << g_trimMsgDone << QStringLiteral("Подстройка успешно завершена.");
        QTest::newRow("wrong field") << g_msgWrongFieldData
                                     << QStringLiteral("В выбранном поле содержатся неверные данные");
    }

    void fixedTexts()
    {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }
};

QTEST_GUILESS_MAIN(TestTextTables)
#include "test_text_tables.moc"

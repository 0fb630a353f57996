#include "HartResponseCodes.h"

#include <QCoreApplication>
#include <QVector>
#include <initializer_list>

QString g_hartResponsePrefix;
QString g_hartResponseText;

namespace {

constexpr quint8 UnknownCommandCode = 64;

enum class Meaning {
    Text,             // an error with the Russian text, translated
    EnglishText,      // an error with the text as it stands
    Generic,          // an error with the generic text and the code
    Warning,          // no error, no text
    EnglishWarning,   // no error, but the text is set
};

struct CodeEntry
{
    QVector<int> codes;
    Meaning meaning;
    const char* text;
};

// Texts of unlisted codes: "Ошибка записи!" for the write groups, the generic text otherwise.
enum class Fallback { WriteError, Generic };

struct CodeGroup
{
    QVector<int> commands;
    Fallback fallback;
    QVector<CodeEntry> entries;
};

const char* const WriteError = QT_TRANSLATE_NOOP("QObject", "Ошибка записи!");
const char* const NoAccess = QT_TRANSLATE_NOOP("QObject", "Нет доступа к параметру");
const char* const Busy = QT_TRANSLATE_NOOP("QObject", "HART-устройство занято");
const char* const Protected = QT_TRANSLATE_NOOP("QObject", "Устройство в режиме защиты от записи");
const char* const ProtectedMark = QT_TRANSLATE_NOOP("QObject", "Устройство в режиме защиты от записи!");
const char* const SetFailed = QT_TRANSLATE_NOOP("QObject", "Ошибка установки параметра");
const char* const SetFailedInDevice = QT_TRANSLATE_NOOP("QObject", "Ошибка установки параметра в приборе");
const char* const TooFewBytes = QT_TRANSLATE_NOOP("QObject", "Недостаточное количество входных байт");
const char* const MemoryError = QT_TRANSLATE_NOOP("QObject", "Ошибка чтения/записи параметра в ППЗУ");
const char* const MemoryReadError = QT_TRANSLATE_NOOP("QObject", "Ошибка чтения параметра из ППЗУ");
const char* const WriteProtectActive = QT_TRANSLATE_NOOP("QObject", "Активен режим защиты от записи");
const char* const ValueTooLarge = QT_TRANSLATE_NOOP("QObject", "Измеряемое значение слишком велико");
const char* const ValueTooSmall = QT_TRANSLATE_NOOP("QObject", "Измеряемое значение слишком мало");
const char* const WrongLanguage = QT_TRANSLATE_NOOP("QObject", "Неверное значение языка меню");
const char* const TooFewBytesEnglish = "Too Few Data Bytes Received";

CodeEntry text(std::initializer_list<int> codes, const char* t)
{
    return {codes, Meaning::Text, t};
}

CodeEntry english(std::initializer_list<int> codes, const char* t)
{
    return {codes, Meaning::EnglishText, t};
}

// The common tail of the device-specific write groups: codes 5, 6 and 7.
QVector<CodeEntry> specificWrite(std::initializer_list<CodeEntry> more)
{
    QVector<CodeEntry> entries = {text({5}, TooFewBytes), text({6}, MemoryError), text({7}, WriteProtectActive)};
    for (const CodeEntry& entry : more)
        entries.append(entry);
    return entries;
}

const QVector<CodeGroup>& codeGroups()
{
    static const QVector<CodeGroup> groups = {
        {{0, 17, 18, 22, 34, 35, 44, 45, 46, 47, 59}, Fallback::WriteError,
         {{{5, 6}, Meaning::Generic, nullptr}, text({7}, ProtectedMark),
          text({9}, QT_TRANSLATE_NOOP("QObject", "Неверные данные!")), text({16}, NoAccess), text({32}, Busy)}},
        {{1, 9}, Fallback::Generic,
         {text({2}, QT_TRANSLATE_NOOP("QObject", "Параметр недоступен")),
          text({5}, QT_TRANSLATE_NOOP("QObject", "Принято слишком мало байт")),
          {{6, 8, 14, 30}, Meaning::Warning, nullptr}, text({16}, NoAccess)}},
        {{6, 7}, Fallback::WriteError,
         {text({2}, QT_TRANSLATE_NOOP("QObject", "Выбран неверный адрес")), english({5}, TooFewBytesEnglish),
          text({6}, SetFailed), text({7}, Protected), english({12}, "Invalid Mode Selection"), text({16}, NoAccess),
          text({32}, Busy)}},
        {{12, 13, 14, 15, 20}, Fallback::Generic, {text({16}, NoAccess), text({32}, Busy)}},
        {{38}, Fallback::Generic,
         {text({6}, SetFailedInDevice), text({7}, Protected),
          text({9}, QT_TRANSLATE_NOOP("QObject", "Ошибка сброса флага с HART-устройства")), text({16}, NoAccess)}},
        {{40}, Fallback::WriteError,
         {text({3}, QT_TRANSLATE_NOOP("QObject", "Устанавливаемый ток слишком большой")),
          text({4}, QT_TRANSLATE_NOOP("QObject", "Устанавливаемый ток слишком маленький")),
          english({5}, TooFewBytesEnglish), text({6}, SetFailed), text({7}, ProtectedMark),
          english({11}, "Loop Current Not Active (Device in Multidrop Mode)"), text({16}, NoAccess),
          text({32}, Busy)}},
        {{42}, Fallback::Generic, {text({6}, SetFailedInDevice), text({16}, NoAccess), text({32}, Busy)}},
        {{43}, Fallback::Generic,
         {text({6}, SetFailedInDevice), text({7}, Protected), text({9}, ValueTooLarge), text({10}, ValueTooSmall),
          text({16}, NoAccess), text({32}, Busy)}},
        {{82}, Fallback::WriteError,
         {english({2}, "Invalid Selection"),
          text({3}, QT_TRANSLATE_NOOP("QObject", "Передаваемый параметр слишком велик")),
          text({4}, QT_TRANSLATE_NOOP("QObject", "Передаваемый параметр слишком мал")), text({5}, TooFewBytes),
          text({6}, MemoryError), text({7}, WriteProtectActive), text({9}, ValueTooLarge), text({10}, ValueTooSmall),
          english({11, 13}, "Trim Error, Excess Correction Attempted"),
          {{14}, Meaning::EnglishWarning, "Span Too Small"}, text({16}, NoAccess),
          english({17}, "Invalid Device Variable Index. The Device Variable does not exist in this Field Device."),
          english({18}, "Invalid Units Code"), english({19}, "Device Variable index not allowed for this command"),
          english({32}, "Busy (A DR Could Not Be Started)"), english({33}, "DR Initiated"),
          english({34}, "DR Running"), english({35}, "DR Dead"), english({36}, "DR Conflict")}},
        {{128, 130, 134, 147}, Fallback::Generic, {text({6}, MemoryReadError)}},
        {{129}, Fallback::WriteError,
         {text({5}, TooFewBytes), text({6}, QT_TRANSLATE_NOOP("QObject", "Ошибка чтения /записи параметра в ППЗУ")),
          text({7}, WriteProtectActive),
          text({11}, QT_TRANSLATE_NOOP("QObject", "Токовый выход неактивен (датчик в многоточечном режиме)")),
          text({12}, QT_TRANSLATE_NOOP("QObject", "Неверное значение типа токового выхода")),
          text({13}, QT_TRANSLATE_NOOP("QObject", "Неверное значение уровня тока ошибки")),
          text({14}, QT_TRANSLATE_NOOP("QObject", "Значение тока ошибки низкого уровня слишком мало")),
          text({15}, QT_TRANSLATE_NOOP("QObject", "Значение тока ошибки низкого уровня слишком велико")),
          text({16}, QT_TRANSLATE_NOOP("QObject", "Значение тока ошибки высокого  уровня слишком мало")),
          text({17}, QT_TRANSLATE_NOOP("QObject", "Значение тока ошибки высокого  уровня слишком велико")),
          text({18}, QT_TRANSLATE_NOOP("QObject", "Значение тока ошибки высокого уровня меньше значения тока ошибки "
                                                  "низкого уровня"))}},
        {{131}, Fallback::WriteError,
         specificWrite({text({8}, QT_TRANSLATE_NOOP("QObject", "Значение линеаризации слишком мало")),
                        text({9}, QT_TRANSLATE_NOOP("QObject", "Значение линеаризации слишком велико")),
                        text({10}, QT_TRANSLATE_NOOP("QObject", "Значение порога отсечки слишком мало")),
                        text({11}, QT_TRANSLATE_NOOP("QObject", "Значение порога отсечки слишком велико")),
                        text({12}, QT_TRANSLATE_NOOP("QObject", "Значение ширины гистерезиса слишком мало")),
                        text({13}, QT_TRANSLATE_NOOP("QObject", "Значение ширины гистерезиса слишком велико"))})},
        {{132}, Fallback::Generic, {text({6}, MemoryReadError), text({7}, WrongLanguage)}},
        {{133}, Fallback::WriteError,
         specificWrite({text({8}, WrongLanguage),
                        text({9}, QT_TRANSLATE_NOOP("QObject", "Количество знаков после запятой слишком велико")),
                        text({10}, QT_TRANSLATE_NOOP("QObject", "Неверный режим индикации"))})},
        {{135}, Fallback::WriteError,
         specificWrite({text({8}, QT_TRANSLATE_NOOP("QObject", "Неверное значение разрешения обнуления от геркона"))})},
        {{136}, Fallback::WriteError,
         {text({6}, MemoryError), text({7}, WriteProtectActive),
          text({8}, QT_TRANSLATE_NOOP("QObject", "Ошибка восстановления заводских параметров")),
          text({9}, QT_TRANSLATE_NOOP("QObject", "Неверное значение типа действия"))}},
        {{145}, Fallback::Generic,
         {text({5}, QT_TRANSLATE_NOOP("QObject", "Ошибка при передаче данных")), text({32}, Busy)}},
        {{146, 148}, Fallback::WriteError,
         specificWrite({text({9}, QT_TRANSLATE_NOOP("QObject", "Смещение шкалы слишком велико")),
                        text({10}, QT_TRANSLATE_NOOP("QObject", "Смещение шкалы слишком мало"))})},
    };
    return groups;
}

const CodeGroup* groupOf(int command)
{
    for (const CodeGroup& group : codeGroups()) {
        if (group.commands.contains(command))
            return &group;
    }
    return nullptr;
}

const CodeEntry* entryOf(const CodeGroup& group, int code)
{
    for (const CodeEntry& entry : group.entries) {
        if (entry.codes.contains(code))
            return &entry;
    }
    return nullptr;
}

QString translated(const char* text)
{
    return QCoreApplication::translate("QObject", text);
}

// Text of an error code in its group; empty stands for the generic text.
QString errorText(const CodeGroup* group, quint8 code)
{
    if (!group)
        return QString();
    const CodeEntry* entry = entryOf(*group, code);
    if (!entry)
        return group->fallback == Fallback::WriteError ? translated(WriteError) : QString();
    switch (entry->meaning) {
    case Meaning::Text:
        return translated(entry->text);
    case Meaning::EnglishText:
        return QString::fromLatin1(entry->text);
    default:
        return QString();
    }
}

}  // namespace

bool hartResponseIsError(quint8 code, int command)
{
    if (code == UnknownCommandCode)
        return true;
    if (code == 0)
        return false;
    const CodeGroup* group = groupOf(command);
    const CodeEntry* entry = group ? entryOf(*group, code) : nullptr;
    return !entry || (entry->meaning != Meaning::Warning && entry->meaning != Meaning::EnglishWarning);
}

bool hartResponseCodeText(quint8 code, int command)
{
    g_hartResponseText.clear();
    g_hartResponsePrefix = QCoreApplication::translate("QObject", "Команда ") + QString::number(command) + QStringLiteral(" :");
    if (code == UnknownCommandCode) {
        g_hartResponseText = QCoreApplication::translate("QObject", "Неизвестная команда");
        return true;
    }
    const CodeGroup* group = groupOf(command);
    const CodeEntry* entry = group ? entryOf(*group, code) : nullptr;
    if (!hartResponseIsError(code, command)) {
        if (entry && entry->meaning == Meaning::EnglishWarning)
            g_hartResponseText = QString::fromLatin1(entry->text);
        return false;
    }
    g_hartResponseText = errorText(group, code);
    if (g_hartResponseText.isEmpty())
        g_hartResponseText = QCoreApplication::translate("QObject", "HART-прибор выдал неизвестную ошибку: ") + QString::number(code);
    return true;
}

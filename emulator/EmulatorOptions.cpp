#include "EmulatorOptions.h"

namespace {

bool matchesFields(const QString& command, const QString& prefix)
{
    return command == prefix || command.startsWith(prefix + QLatin1Char(';'));
}

int longestPrefixValue(const QMap<QString, int>& byPrefix, const QString& command, int otherwise)
{
    int value = otherwise;
    int matchedLength = -1;
    for (auto it = byPrefix.constBegin(); it != byPrefix.constEnd(); ++it) {
        if (it.key().size() > matchedLength && matchesFields(command, it.key())) {
            value = it.value();
            matchedLength = it.key().size();
        }
    }
    return value;
}

}  // namespace

int EmulatorOptions::statusReplyFor(const QString& command) const
{
    return longestPrefixValue(statusReplies, command, -1);
}

int EmulatorOptions::replyDelayFor(const QString& command) const
{
    return longestPrefixValue(commandDelays, command, replyDelayMs);
}

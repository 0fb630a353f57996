#include "EmulatorOptions.h"

namespace {

bool matchesFields(const QString& command, const QString& prefix)
{
    return command == prefix || command.startsWith(prefix + QLatin1Char(';'));
}

}  // namespace

int EmulatorOptions::statusReplyFor(const QString& command) const
{
    int code = -1;
    int matchedLength = -1;
    for (auto it = statusReplies.constBegin(); it != statusReplies.constEnd(); ++it) {
        if (it.key().size() > matchedLength && matchesFields(command, it.key())) {
            code = it.value();
            matchedLength = it.key().size();
        }
    }
    return code;
}

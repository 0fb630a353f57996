#include "CommandTable.h"

#include "EmulatorStatus.h"

CommandHandler CommandTable::setHandler(int command, CommandHandler handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::swap(m_handlers[command], handler);
    return handler;
}

QByteArray CommandTable::dispatch(const QString& command) const
{
    QStringList fields = command.split(QLatin1Char(';'));
    const CommandHandler handler = handlerFor(fields.takeFirst());
    return handler ? handler(fields) : EmulatorStatus::reply(EmulatorStatus::UnknownCommand);
}

CommandHandler CommandTable::handlerFor(const QString& number) const
{
    bool ok = false;
    const int command = number.toInt(&ok);
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_handlers.find(command);
    return ok && it != m_handlers.end() ? it->second : CommandHandler();
}

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <mutex>

// Handler of one command number: gets the fields after the command number, returns the reply data.
using CommandHandler = std::function<QByteArray(const QStringList& parameters)>;

// Command number -> handler. Handlers may be replaced while the emulator runs; they are called
// from its worker thread.
class CommandTable
{
public:
    // Returns the handler it replaces, so that a caller can put it back.
    CommandHandler setHandler(int command, CommandHandler handler);
    QByteArray dispatch(const QString& command) const;

private:
    CommandHandler handlerFor(const QString& number) const;

    mutable std::mutex m_mutex;
    std::map<int, CommandHandler> m_handlers;
};

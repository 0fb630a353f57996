#pragma once

#include "DeviceZFN.h"
#include "PollController.h"

#include <QMutex>
#include <QString>
#include <functional>

// Runs a callback, in the exchanging thread, at each line the device's exchange logs that starts
// with event ("OWED", "WRITE"…), for as long as the hook lives: a test acts at a point of the
// exchange decided by order.
class ExchangeLogHook
{
public:
    ExchangeLogHook(DeviceZFN& device, const QString& event, std::function<void()> action)
    {
        QMutexLocker lock(&mutex());
        s_prefix = QStringLiteral("DeviceZFN::sendAndRead::") + event;
        s_action = std::move(action);
        device.pollController()->debugLog = true;
        s_previous = qInstallMessageHandler(&ExchangeLogHook::record);
    }
    ~ExchangeLogHook()
    {
        qInstallMessageHandler(s_previous);
        QMutexLocker lock(&mutex());
        s_action = nullptr;
    }
    ExchangeLogHook(const ExchangeLogHook&) = delete;
    ExchangeLogHook& operator=(const ExchangeLogHook&) = delete;

private:
    static QMutex& mutex()
    {
        static QMutex m;
        return m;
    }
    static void record(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        {
            QMutexLocker lock(&mutex());
            if (s_action && text.startsWith(s_prefix))
                s_action();
        }
        s_previous(type, context, text);
    }

    static inline QString s_prefix;
    static inline std::function<void()> s_action;
    static inline QtMessageHandler s_previous = nullptr;
};

#pragma once

#include <QCoreApplication>
#include <QList>
#include <QObject>
#include <QTest>
#include <QVariant>

// Records a signal's emissions like QSignalSpy, but in the thread that made the spy: an emission
// from a worker thread is queued here, so the test thread never reads a list a worker writes.
class QueuedSpy : public QObject, public QList<QList<QVariant>>
{
public:
    template <typename Sender, typename... Args>
    QueuedSpy(const Sender* sender, void (Sender::*signal)(Args...))
    {
        connect(sender, signal, this, [this](Args... args) { append(QList<QVariant>{QVariant::fromValue(args)...}); });
    }

    // Emissions still queued from before belong to what is cleared.
    void clear()
    {
        QCoreApplication::processEvents();
        QList<QList<QVariant>>::clear();
    }

    // The first argument of each emission, as numbers (a progress signal's percentages).
    QList<int> firstInts() const
    {
        QList<int> values;
        for (const QList<QVariant>& arguments : *this)
            values << arguments.at(0).toInt();
        return values;
    }

    // True when one more emission arrives within timeoutMs.
    bool wait(int timeoutMs = 5000)
    {
        const int before = count();
        return QTest::qWaitFor([&] { return count() > before; }, timeoutMs);
    }
};

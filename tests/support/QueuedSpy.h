#pragma once

#include "BoundedWait.h"

#include <QCoreApplication>
#include <QList>
#include <QObject>
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
    bool wait(int timeoutMs = BoundedWait::stepMs)
    {
        const int before = count();
        return BoundedWait::until([&] { return count() > before; }, timeoutMs);
    }

    // True when one more emission arrives within timeoutMs and none at `rival` first: a job that
    // ends the other way fails the wait at once.
    bool waitBefore(const QueuedSpy& rival, int timeoutMs = BoundedWait::stepMs)
    {
        const int before = count();
        const int rivalBefore = rival.count();
        BoundedWait::until([&] { return count() > before || rival.count() > rivalBefore; }, timeoutMs);
        return count() > before && rival.count() == rivalBefore;
    }
};

#pragma once

#include <QTest>
#include <QThread>

// The bounds of the tests' waits. Each lies far under the 300 s CTest gives a whole program, so a
// fault fails the case it breaks and the cases after it still run; each is still generous for a
// loaded machine that runs the suite under sanitizers, eight programs at once.
class BoundedWait
{
public:
    // One step: a signal, an exchange and its reply, a page that shows what came.
    static constexpr int stepMs = 10000;
    // A whole job: a connect with its reads, a full archive read or clear, a search over the ports.
    static constexpr int jobMs = 45000;
    // An outside program, such as an office suite converting files.
    static constexpr int programMs = 180000;

    // Delivers events until condition() holds; false when it does not within timeoutMs.
    template <typename Condition>
    static bool until(Condition condition, int timeoutMs = stepMs)
    {
        return QTest::qWaitFor(condition, timeoutMs);
    }

    // Delivers events until the thread has ended: a worker may hand this thread work before it ends.
    static bool threadEnds(const QThread& thread, int timeoutMs = stepMs)
    {
        return until([&thread] { return thread.isFinished(); }, timeoutMs);
    }
};

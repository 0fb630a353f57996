#pragma once

#include <QElapsedTimer>
#include <functional>

class QObject;

// A wait that keeps the window alive: in the window's thread each slice delivers the events other
// than user input, so the window stays painted and queued work goes on; once the wait has lasted
// long, the notifier is told (true) so the busy overlay shows, and told again (false) at its end.
// User input waits for the wait's end, unless the window has named a filter for it: then the input
// is delivered through that filter, which lets a way out of the program act at once.
class LongWait
{
public:
    using Notifier = std::function<void(bool)>;

    explicit LongWait(const Notifier& notifier);
    ~LongWait();
    LongWait(const LongWait&) = delete;
    LongWait& operator=(const LongWait&) = delete;

    // Called between the slices of the wait, in the waiting thread.
    void slice();
    static bool inWindowThread();
    // Installed on the application while a slice delivers events; nullptr holds user input back.
    static void setUserInputFilter(QObject* filter);

private:
    static void deliverEvents();

    const Notifier& m_notifier;
    QElapsedTimer m_timer;
    bool m_notified = false;
};

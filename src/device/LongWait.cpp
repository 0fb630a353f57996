#include "LongWait.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

namespace {
// Shorter waits pass unseen; a longer one without a sign looks like a hung window.
constexpr int longWaitMs = 150;
// Both are used in the window's thread only.
QPointer<QObject> g_userInputFilter;
int g_filteredSlices = 0;
}  // namespace

LongWait::LongWait(const Notifier& notifier) : m_notifier(notifier)
{
    m_timer.start();
}

LongWait::~LongWait()
{
    if (m_notified)
        m_notifier(false);
}

void LongWait::slice()
{
    if (!m_notified && m_timer.elapsed() > longWaitMs && m_notifier) {
        m_notifier(true);
        m_notified = true;
    }
    if (inWindowThread())
        deliverEvents();
}

// The platform holds back excluded user input as a whole, a close of the window with it; only a
// filter can pick out the input that must not wait. Slices nest when a delivered event waits too.
void LongWait::deliverEvents()
{
    if (!g_userInputFilter) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return;
    }
    const QPointer<QObject> filter = g_userInputFilter;
    if (g_filteredSlices++ == 0)
        QCoreApplication::instance()->installEventFilter(filter);
    QCoreApplication::processEvents();
    if (--g_filteredSlices == 0 && filter)
        QCoreApplication::instance()->removeEventFilter(filter);
}

void LongWait::setUserInputFilter(QObject* filter)
{
    g_userInputFilter = filter;
}

bool LongWait::inWindowThread()
{
    return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}

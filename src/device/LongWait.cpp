#include "LongWait.h"

#include <QCoreApplication>
#include <QThread>

namespace {
// Shorter waits pass unseen; a longer one without a sign looks like a hung window.
constexpr int longWaitMs = 150;
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
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool LongWait::inWindowThread()
{
    return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}

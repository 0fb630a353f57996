#include "ExchangeWait.h"

#include "PortOwner.h"

ExchangeWait::ExchangeWait(PortOwner& owner, const LongWait::Notifier& notifier) : m_owner(owner), m_notifier(notifier)
{
}

ExchangeWait::~ExchangeWait() = default;

void ExchangeWait::exchangeStarted()
{
    if (LongWait::inWindowThread() && m_depth++ == 0)
        m_wait = std::make_unique<LongWait>(m_notifier);
}

// A slice reached from the events it delivers is not delivered again. The wait belongs to the
// window's thread: a worker's slice does not even look at it.
void ExchangeWait::waitSlice()
{
    if (!LongWait::inWindowThread() || !m_wait || m_delivering)
        return;
    m_delivering = true;
    m_owner.setHomeBusy(true);
    m_wait->slice();
    m_owner.setHomeBusy(false);
    m_delivering = false;
}

void ExchangeWait::exchangeEnded()
{
    if (LongWait::inWindowThread() && m_depth > 0 && --m_depth == 0)
        m_wait.reset();
}

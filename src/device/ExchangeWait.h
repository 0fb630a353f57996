#pragma once

#include "CalibratorLink.h"
#include "LongWait.h"

#include <memory>

class PortOwner;

// The window's thread runs some exchanges itself (the ping, the connect, the setup pages' direct
// reads and writes). While it waits in one, the window stays painted and, past a while, shows the
// busy overlay: once for the exchange with all its tries, or for an operation of several marked
// with Operation. The events delivered meanwhile find the port taken, so nothing they run starts an
// exchange or lends the port. Other threads' exchanges pass unseen.
class ExchangeWait : public CalibratorLink::WaitObserver
{
public:
    ExchangeWait(PortOwner& owner, const LongWait::Notifier& notifier);
    ~ExchangeWait() override;

    void exchangeStarted() override;
    void waitSlice() override;
    void exchangeEnded() override;

    // Holds one overlay over the exchanges it spans.
    class Operation
    {
    public:
        explicit Operation(ExchangeWait& wait) : m_wait(wait) { m_wait.exchangeStarted(); }
        ~Operation() { m_wait.exchangeEnded(); }
        Operation(const Operation&) = delete;
        Operation& operator=(const Operation&) = delete;

    private:
        ExchangeWait& m_wait;
    };

private:
    PortOwner& m_owner;
    const LongWait::Notifier& m_notifier;
    int m_depth = 0;
    bool m_delivering = false;
    std::unique_ptr<LongWait> m_wait;
};

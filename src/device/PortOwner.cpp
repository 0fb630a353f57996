#include "PortOwner.h"

#include <QSerialPort>
#include <QThread>

PortOwner::PortOwner(QSerialPort* port) : m_port(port), m_home(port->thread()) {}

PortOwner::~PortOwner()
{
    delete m_port;
}

bool PortOwner::isFree() const
{
    QMutexLocker lock(&m_mutex);
    return !m_borrower && !m_homeBusy;
}

bool PortOwner::isLentTo(const QThread* worker) const
{
    QMutexLocker lock(&m_mutex);
    return worker && m_borrower == worker;
}

bool PortOwner::lend(QThread* worker)
{
    QMutexLocker lock(&m_mutex);
    if (m_borrower || m_homeBusy)
        return false;
    m_borrower = worker;
    m_abort = m_leaving.load();
    m_port->moveToThread(worker);
    return true;
}

void PortOwner::serve(const std::function<void()>& job)
{
    struct HandBack
    {
        PortOwner* owner;
        ~HandBack() { owner->giveBack(); }
    } handBack{this};
    job();
}

void PortOwner::giveBack()
{
    QMutexLocker lock(&m_mutex);
    if (!m_borrower || QThread::currentThread() != m_borrower)
        return;
    m_port->moveToThread(m_home);
    m_borrower = nullptr;
}

bool PortOwner::handOver(QThread* next)
{
    QMutexLocker lock(&m_mutex);
    if (!m_borrower || QThread::currentThread() != m_borrower)
        return false;
    m_port->moveToThread(next);
    m_borrower = next;
    return true;
}

bool PortOwner::isHeldByCurrentThread() const
{
    return m_port->thread() == QThread::currentThread();
}

bool PortOwner::canExchange() const
{
    QMutexLocker lock(&m_mutex);
    return !m_homeBusy && isHeldByCurrentThread();
}

void PortOwner::setHomeBusy(bool busy)
{
    QMutexLocker lock(&m_mutex);
    m_homeBusy = busy;
}

bool PortOwner::prepareExchange()
{
    if (!canExchange())
        return false;
    if (isFree() && !m_leaving)
        m_abort = false;
    return true;
}

void PortOwner::abortForExit()
{
    m_leaving = true;
    m_abort = true;
}

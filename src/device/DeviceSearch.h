#pragma once

#include "PortEntry.h"

#include <QObject>
#include <QPointer>

class CalibratorLink;
struct DeviceInfo;
class PollController;
class PortOwner;
class QThread;

// Looks for calibrators on a range of ports in a thread of its own: each port gets the identify
// request, and a reply of a known device type joins the found list. The thread borrows the port
// through the port owner; the options and the stop flag are the work state's.
class DeviceSearch : public QObject
{
    Q_OBJECT
public:
    DeviceSearch(CalibratorLink& link, PortOwner& owner, PollController& work, const QList<PortEntry>& ports,
                 QList<DeviceInfo>& found);
    ~DeviceSearch() override;

    // False, with nothing started, while another job holds the port.
    bool start(int first, int last, int writeTimeoutMs);
    bool isRunning() const;
    // Waits for a search thread that is still finishing.
    void wait();
    // Runs in the calling thread, which must hold the port.
    void searchDevices(int first, int last);

signals:
    void statusMessage(QString text);
    void progress(int percent);
    void finished();

private:
    enum class ScanResult { Next, End };

    void run();
    ScanResult scanPort(const PortEntry& port, const QByteArray& request);
    ScanResult takeIdentifyReply(const PortEntry& port);

    CalibratorLink& m_link;
    PortOwner& m_owner;
    PollController& m_work;
    const QList<PortEntry>& m_ports;
    QList<DeviceInfo>& m_found;
    int m_first = 0;
    int m_last = 0;
    int m_writeTimeoutMs = 2000;
    QPointer<QThread> m_thread;
};

#pragma once

#include "CalibratorMemory.h"
#include "CommandTable.h"
#include "EmulatorOptions.h"
#include "EmulatorRequest.h"
#include "FrameAssembler.h"
#include "HartAddressFollower.h"
#include "HartTransmitter.h"
#include "PortUserWatch.h"
#include "PseudoTerminal.h"
#include "RequestLog.h"
#include "StopToken.h"

#include <QList>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

// Plays a calibrator on a pseudo-terminal: a worker thread reads request frames from the master
// side, logs them and answers from the emulator's memory. Options and memory may be changed from
// any thread at any time; a change takes effect on the next request. start() and stop() belong
// to the owning thread.
class CalibratorEmulator
{
public:
    using RequestObserver = std::function<void(const EmulatorRequest&)>;

    CalibratorEmulator();
    ~CalibratorEmulator();
    CalibratorEmulator(const CalibratorEmulator&) = delete;
    CalibratorEmulator& operator=(const CalibratorEmulator&) = delete;

    bool start();
    // Hangs the line up. Its path then leads nowhere until the emulator is destroyed or started
    // again: a workstation that still uses it reaches no other emulator, in any process.
    void stop();
    bool isRunning() const;
    QString portPath() const;

    void setOptions(const EmulatorOptions& options);
    void setDeviceType(int type);
    void setAddress(int address);
    void setReplyDelayMs(int ms);
    // Replies to command texts that start with the fields of commandPrefix wait ms instead.
    void setCommandDelayMs(const QString& commandPrefix, int ms);
    void setPaced(bool paced);
    void setSilent(bool silent);
    void setBadCheckReplies(int count);
    void setStatusReply(const QString& commandPrefix, int code);
    void clearStatusReplies();
    void setEcho(bool echo);
    void setLeadingGarbage(const QByteArray& bytes);
    void setSplit(int pieces, int gapMs);
    // Replies written while the workstation's port is closed are lost, and so is what it left
    // unread when it closed, as on a real serial port.
    void setLoseWhileClosed(bool lose);
    // Between its replies the line keeps sending bytes that never make a frame (a wrong device, a
    // line fault), about as fast as 9600 baud carries them.
    void setBabbling(bool babbling) { m_babbling = babbling; }
    // How many bytes of babble the line has taken so far.
    qint64 babbledBytes() const { return m_babbled; }

    void setValue(const QString& key, const QString& text);
    // After every read of the value it grows by step (negative: falls).
    void setValueDrift(const QString& key, double step);
    void setRegister(int reg, int type, const QByteArray& text);
    QByteArray registerText(int reg, int type) const;
    // Register writes refused because their data was not a number the register takes.
    int malformedWriteCount() const;
    bool isSessionOpen() const;
    // Archive frames 0..511, 64 bytes each (see ArchiveFrameBuilder); the archive starts cleared.
    void setArchiveFrame(int index, const QByteArray& frame);
    // Empty when a half no longer holds 64 hexadecimal characters.
    QByteArray archiveFrame(int index) const;

    // Puts the variant's transmitter, in its factory state, behind command 40 and values 19, 20
    // and 5, and switches the HART modem (register 275) on. Values set with setValue still win.
    void attachHartTransmitter(HartVariant variant = HartVariant::Family);
    HartTransmitter& hartTransmitter() { return m_hart; }
    // A write of register 276 shows in value 19 only after ms (-1, the default: value 19 is the
    // transmitter's own polling address).
    void setHartAddressDelayMs(int ms) { m_hartAddress.setDelayMs(ms); }

    // Returns the handler it replaces.
    CommandHandler setCommandHandler(int command, CommandHandler handler);
    // Called in the worker thread for every logged request.
    void setRequestObserver(RequestObserver observer);

    QList<EmulatorRequest> requests() const;
    int requestCount() const;
    void clearRequests();
    bool waitForRequests(int count, int timeoutMs) const;

private:
    struct ReplyPlan
    {
        EmulatorOptions options;
        bool answered = false;
        bool badCheck = false;
    };

    void installHandlers();
    QByteArray readValue(const QStringList& parameters);
    QByteArray writeRegisters(const QStringList& parameters);
    bool isHartModemOn() const;
    void run();
    void babble(int fd);
    bool losesWhileClosed();
    void followPortUser();
    void serve(const FrameAssembler::Frame& frame, StopToken::Clock::time_point received);
    ReplyPlan takeReplyPlan(const EmulatorRequest& request);
    QByteArray replyData(const EmulatorRequest& request, const EmulatorOptions& options) const;
    QByteArray output(const EmulatorRequest& request, const ReplyPlan& plan) const;
    template <typename Change>
    void changeOptions(Change change);

    mutable std::mutex m_optionsMutex;
    EmulatorOptions m_options;
    RequestObserver m_observer;
    // The options of the request being answered; worker thread only, like the handlers that read it.
    EmulatorOptions m_served;
    CalibratorMemory m_memory;
    CommandTable m_commands;
    RequestLog m_log;
    PseudoTerminal m_terminal;
    PortUserWatch m_userWatch;
    StopToken m_stop;
    std::thread m_worker;
    HartTransmitter m_hart;
    HartAddressFollower m_hartAddress;
    std::atomic<bool> m_hartAttached{false};
    std::atomic<bool> m_babbling{false};
    std::atomic<qint64> m_babbled{0};
};

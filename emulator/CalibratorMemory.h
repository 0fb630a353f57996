#pragma once

#include "MemoryImage.h"

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>
#include <mutex>

// The emulated calibrator's values and registers, kept as the reply texts themselves, except its
// type-2 memory, which is one byte image (MemoryImage).
// Written by tests and the command line from any thread, read by the worker. The archive starts
// cleared, as after a clear on the calibrator.
class CalibratorMemory
{
public:
    CalibratorMemory();

    void setValue(const QString& key, const QString& text);
    // After every read of the value it grows by step (negative: falls).
    void setValueDrift(const QString& key, double step);
    void setRegister(int reg, int type, const QByteArray& text);
    QByteArray registerText(int reg, int type) const;
    bool isSessionOpen() const;

    // Frames are 64 bytes, stored as the two halves of hexadecimal text that archive reads return.
    void setArchiveFrame(int index, const QByteArray& frame);
    // Empty when a half is no longer 64 hexadecimal characters.
    QByteArray archiveFrame(int index) const;

    // Command handlers: the parameters are the fields after the command number.
    QByteArray readValue(const QStringList& parameters);
    QByteArray readRegisters(const QStringList& parameters) const;
    QByteArray writeRegisters(const QStringList& parameters);
    // Writes refused because their data was not a number the register takes.
    int malformedWriteCount() const;

private:
    using RegisterKey = QPair<int, int>;

    static bool parseRegisterKey(const QStringList& parameters, RegisterKey& key);
    static bool isImageKey(const RegisterKey& key);
    static int countField(const QStringList& parameters);
    // A plausible calibrator: settings, clock, module unit, switches, serial number, accuracy class.
    void fillSettingsDefaults();
    void trackSession(const RegisterKey& key, const QByteArray& text);

    mutable std::mutex m_mutex;
    QHash<QString, QByteArray> m_values;
    QHash<QString, double> m_drifts;
    QMap<RegisterKey, QByteArray> m_registers;
    MemoryImage m_image;
    bool m_sessionOpen = false;
    int m_malformedWrites = 0;
};

#pragma once

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>
#include <mutex>

// The emulated calibrator's values and registers, kept as the reply texts themselves.
// Written by tests and the command line from any thread, read by the worker.
class CalibratorMemory
{
public:
    void setValue(const QString& key, const QString& text);
    void setRegister(int reg, int type, const QByteArray& text);
    QByteArray registerText(int reg, int type) const;
    bool isSessionOpen() const;

    // Command handlers: the parameters are the fields after the command number.
    QByteArray readValue(const QStringList& parameters) const;
    QByteArray readRegisters(const QStringList& parameters) const;
    QByteArray writeRegisters(const QStringList& parameters);

private:
    using RegisterKey = QPair<int, int>;

    static bool parseRegisterKey(const QStringList& parameters, RegisterKey& key);
    void trackSession(const RegisterKey& key, const QByteArray& text);

    mutable std::mutex m_mutex;
    QHash<QString, QByteArray> m_values;
    QMap<RegisterKey, QByteArray> m_registers;
    bool m_sessionOpen = false;
};

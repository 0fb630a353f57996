#include "ScriptedPort.h"

#include <QThread>
#include <cstring>

QList<QByteArray> ScriptedPort::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

QList<QByteArray> ScriptedPort::events() const
{
    QMutexLocker lock(&m_mutex);
    return m_events;
}

void ScriptedPort::keepOnLine(const QByteArray& bytes)
{
    QMutexLocker lock(&m_mutex);
    m_kept += bytes;
}

// Pieces that came due while the port was closed met nobody.
bool ScriptedPort::open(OpenMode mode)
{
    ++m_openCount;
    QThread::msleep(ulong(m_openDelayMs));
    if (m_openFails || !QIODevice::open(mode | QIODevice::Unbuffered))
        return false;
    QMutexLocker lock(&m_mutex);
    while (isDue())
        m_pending.removeFirst();
    m_input = m_kept;
    m_kept.clear();
    return true;
}

void ScriptedPort::close()
{
    QIODevice::close();
    QMutexLocker lock(&m_mutex);
    m_input.clear();
}

qint64 ScriptedPort::bytesAvailable() const
{
    QMutexLocker lock(&m_mutex);
    return m_input.size() + QIODevice::bytesAvailable();
}

void ScriptedPort::let()
{
    QMutexLocker lock(&m_mutex);
    for (Piece& piece : m_pending)
        if (piece.afterMs < 0)
            piece.afterMs = int(m_sinceWrite.elapsed());
}

// Pieces come in order: a held one holds those behind it.
bool ScriptedPort::isDue() const
{
    return !m_pending.isEmpty() && m_sinceWrite.isValid() && m_pending.first().afterMs >= 0
           && m_pending.first().afterMs <= m_sinceWrite.elapsed();
}

// Moves the pieces that are due into the input; true when any arrived.
bool ScriptedPort::deliverDue()
{
    QMutexLocker lock(&m_mutex);
    bool arrived = false;
    if (m_babbling) {
        m_input += QByteArray(64, 'x');
        arrived = true;
    }
    while (isDue()) {
        const QByteArray bytes = m_pending.takeFirst().bytes;
        m_input += bytes;
        m_events.append("R" + bytes);
        arrived = true;
    }
    return arrived;
}

bool ScriptedPort::waitForReadyRead(int msecs)
{
    QElapsedTimer timer;
    timer.start();
    do {
        if (deliverDue())
            return true;
        QThread::msleep(1);
    } while (timer.elapsed() < msecs);
    return false;
}

bool ScriptedPort::waitForBytesWritten(int msecs)
{
    if (!m_writeStalls)
        return true;
    QThread::msleep(ulong(msecs));
    return false;
}

qint64 ScriptedPort::readData(char* data, qint64 maxSize)
{
    QMutexLocker lock(&m_mutex);
    const qint64 size = qMin<qint64>(maxSize, m_input.size());
    std::memcpy(data, m_input.constData(), size_t(size));
    m_input.remove(0, int(size));
    return size;
}

// Answers still on their way stay on the line: a late reply reaches the next request's reader.
qint64 ScriptedPort::writeData(const char* data, qint64 maxSize)
{
    QMutexLocker lock(&m_mutex);
    m_requests.append(QByteArray(data, int(maxSize)));
    m_events.append("W" + m_requests.last());
    if (!m_answers.isEmpty())
        m_repeatedAnswer = m_answers.takeFirst();
    const QList<Piece> answer = m_repeatedAnswer;
    const qint64 base = m_sinceWrite.isValid() ? m_sinceWrite.elapsed() : 0;
    for (Piece& piece : m_pending)
        if (piece.afterMs >= 0)
            piece.afterMs = qMax(0, piece.afterMs - int(base));
    m_pending += answer;
    m_sinceWrite.start();
    return maxSize;
}

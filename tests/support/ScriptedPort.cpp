#include "ScriptedPort.h"

#include <QThread>
#include <cstring>

QList<QByteArray> ScriptedPort::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

bool ScriptedPort::open(OpenMode mode)
{
    ++m_openCount;
    QThread::msleep(ulong(m_openDelayMs));
    return !m_openFails && QIODevice::open(mode | QIODevice::Unbuffered);
}

qint64 ScriptedPort::bytesAvailable() const
{
    QMutexLocker lock(&m_mutex);
    return m_input.size() + QIODevice::bytesAvailable();
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
    while (!m_pending.isEmpty() && m_sinceWrite.isValid() && m_pending.first().afterMs <= m_sinceWrite.elapsed()) {
        m_input += m_pending.takeFirst().bytes;
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
    if (!m_answers.isEmpty())
        m_repeatedAnswer = m_answers.takeFirst();
    const QList<Piece> answer = m_repeatedAnswer;
    const qint64 base = m_sinceWrite.isValid() ? m_sinceWrite.elapsed() : 0;
    for (Piece& piece : m_pending)
        piece.afterMs -= int(base);
    m_pending += answer;
    m_sinceWrite.start();
    return maxSize;
}

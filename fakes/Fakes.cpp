#include "Fakes.h"

namespace {

Failure comPortFailure(const QString &text)
{
    return Failure(QStringLiteral("EComPort"), text);
}

} // namespace

void FakeGaugePort::open()
{
    openedNames.append(m_name);
    if (!failCodes.isEmpty())
        throw comPortFailure(QStringLiteral("Unable to open com port (win error code: %1)")
                                 .arg(failCodes.takeFirst()));
    if (failOpen || (failOpens > 0 && failOpens-- > 0))
        throw comPortFailure(QStringLiteral("Unable to open com port (win error code: 2)"));
    m_open = true;
    m_notify = true;
    ++opens;
}

void FakeGaugePort::close()
{
    const bool wasOpen = std::exchange(m_open, false);
    m_buffer.clear();
    if (!wasOpen)
        return;
    ++closes;
    if (failClose)
        throw comPortFailure(QStringLiteral("CloseHandle function failed (win error code: 6)"));
}

QByteArray FakeGaugePort::read(qint64 maxBytes)
{
    if (failRead)
        throw comPortFailure(QStringLiteral("ReadFile function failed"));
    const QByteArray bytes = m_buffer.left(maxBytes);
    m_buffer.remove(0, bytes.size());
    return bytes;
}

void FakeGaugePort::feed(const QByteArray &bytes)
{
    m_buffer += bytes;
    if (m_open && m_notify)
        Q_EMIT rxChar(int(m_buffer.size()));
}

#include "LineFramer.h"

void LineFramer::append(QByteArrayView bytes)
{
    // Lines taken are dropped from the front only now and then.
    if (m_start > 0 && m_start >= m_buffer.size() / 2) {
        m_buffer.remove(0, m_start);
        m_scanned -= m_start;
        m_start = 0;
    }
    m_buffer.append(bytes);
}

std::optional<QByteArray> LineFramer::next()
{
    const qsizetype end = m_buffer.indexOf("\r\n", qMax(m_start, m_scanned - 1));
    if (end < 0) {
        m_scanned = m_buffer.size();
        return std::nullopt;
    }
    if (end - m_start > kMaxLineLength) {
        m_overflow = true;
        return std::nullopt;
    }
    QByteArray line = m_buffer.sliced(m_start, end - m_start);
    m_start = end + 2;
    m_scanned = m_start;
    return line;
}

bool LineFramer::overflowed() const
{
    if (m_overflow)
        return true;
    qsizetype length = buffered();
    if (length > 0 && m_buffer.endsWith('\r'))
        --length;
    return length > kMaxLineLength;
}

QByteArray LineFramer::takeRest()
{
    QByteArray rest = m_buffer.sliced(m_start);
    m_buffer.clear();
    m_start = 0;
    m_scanned = 0;
    m_overflow = false;
    return rest;
}

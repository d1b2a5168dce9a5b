#include "LineFramer.h"

std::optional<QByteArray> LineFramer::next()
{
    const qsizetype end = m_buffer.indexOf("\r\n", qMax<qsizetype>(0, m_scanned - 1));
    if (end < 0 || end > kMaxLineLength) {
        m_scanned = m_buffer.size();
        return std::nullopt;
    }
    QByteArray line = m_buffer.left(end);
    m_buffer.remove(0, end + 2);
    m_scanned = 0;
    return line;
}

bool LineFramer::overflowed() const
{
    const qsizetype end = m_buffer.indexOf("\r\n");
    const qsizetype lineLength = end < 0 ? m_buffer.size() : end;
    return lineLength > kMaxLineLength;
}

QByteArray LineFramer::takeRest()
{
    QByteArray rest;
    rest.swap(m_buffer);
    m_scanned = 0;
    return rest;
}

#pragma once

#include <QByteArray>
#include <optional>

// Cuts request lines out of a connection's byte stream. A line ends only at
// CR LF; a bare LF or CR belongs to the line. A line longer than the limit is
// an error that ends the connection. Taking lines costs time in proportion to
// their length, however many wait in the buffer.
class LineFramer
{
public:
    static constexpr qsizetype kMaxLineLength = 16384;

    void append(QByteArrayView bytes);
    // The next complete line without its CR LF, or nothing yet.
    std::optional<QByteArray> next();
    // True once the unfinished line has grown past the limit. A CR at its
    // end is not counted: it may be the first half of the line's end.
    bool overflowed() const;
    // Bytes held that are not yet part of a line taken.
    qsizetype buffered() const { return m_buffer.size() - m_start; }
    // What is left when the peer closes: the unfinished line.
    QByteArray takeRest();

private:
    QByteArray m_buffer;
    qsizetype m_start = 0;   // where the next line begins
    qsizetype m_scanned = 0; // searched for CR LF up to here
    bool m_overflow = false;
};

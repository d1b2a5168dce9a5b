#pragma once

#include <QByteArray>
#include <optional>

// Cuts request lines out of a connection's byte stream. A line ends only at
// CR LF; a bare LF or CR belongs to the line. A line longer than the limit is
// an error that ends the connection.
class LineFramer
{
public:
    static constexpr qsizetype kMaxLineLength = 16384;

    void append(QByteArrayView bytes) { m_buffer.append(bytes); }
    // The next complete line without its CR LF, or nothing yet.
    std::optional<QByteArray> next();
    // True once the unfinished line has grown past the limit.
    bool overflowed() const;
    // What is left when the peer closes: the unfinished line.
    QByteArray takeRest();

private:
    QByteArray m_buffer;
    qsizetype m_scanned = 0;
};

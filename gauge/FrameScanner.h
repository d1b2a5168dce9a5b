#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "Reading.h"

// A frame cut out of the gauge's byte stream.
struct GaugeFrame
{
    enum class Kind { Reading, Key };
    Kind kind = Kind::Key;
    Substrate substrate = Substrate::FE; // of a reading
    quint16 value = 0;                   // micrometres, little-endian on the wire

    static GaugeFrame reading(Substrate substrate, quint16 value)
    {
        return {Kind::Reading, substrate, value};
    }
    static GaugeFrame key() { return {}; }
    friend bool operator==(const GaugeFrame &, const GaugeFrame &) = default;
};

// Cuts frames out of the chunks in which the serial port delivers bytes:
// ",FE" lo hi and ",AL" lo hi (readings), ",ME" (the gauge's key). Bytes before
// a comma and a comma without a known code are dropped; an incomplete frame
// waits in the buffer for the rest of its bytes.
class FrameScanner
{
public:
    static constexpr qsizetype kReadingSize = 5;
    static constexpr qsizetype kKeySize = 3;

    void append(QByteArrayView bytes) { m_buffer.append(bytes); }
    // The next complete frame, removed from the buffer; nothing when the buffer
    // holds no complete frame (what is left waits for the next chunk).
    std::optional<GaugeFrame> next();
    void clear() { m_buffer.clear(); }
    const QByteArray &buffer() const { return m_buffer; }

private:
    QByteArray m_buffer;
};

// What a receive handler does with a frame, by mode.
enum class ReceiveMode { Connect, Measuring };

enum class FrameAction {
    Record,        // measuring: record the reading; feedback 1 follows
    StepForward,   // measuring: step to the next point, then feedback 2
    NoMorePoints,  // measuring: key on the last point: feedback 0
    RefuseReading, // connect: feedback 3, nothing recorded
    MenuKey,       // connect: the key ends the wait; feedback 2
};

FrameAction decideFrameAction(ReceiveMode mode, const GaugeFrame &frame, bool atLastPoint);

#include "FrameScanner.h"

std::optional<GaugeFrame> FrameScanner::next()
{
    while (m_buffer.size() >= kKeySize) {
        const qsizetype comma = m_buffer.indexOf(',');
        m_buffer.remove(0, comma < 0 ? m_buffer.size() : comma);
        if (m_buffer.size() < kKeySize)
            break;
        const QByteArrayView head(m_buffer.constData(), kKeySize);
        if (head == ",AL" || head == ",FE") {
            if (m_buffer.size() < kReadingSize)
                break;
            const auto lo = quint8(m_buffer.at(3));
            const auto hi = quint8(m_buffer.at(4));
            const Substrate substrate = head == ",AL" ? Substrate::AL : Substrate::FE;
            m_buffer.remove(0, kReadingSize);
            return GaugeFrame::reading(substrate, quint16(lo | (hi << 8)));
        }
        if (head == ",ME") {
            m_buffer.remove(0, kKeySize);
            return GaugeFrame::key();
        }
        m_buffer.remove(0, 1);
    }
    return std::nullopt;
}

FrameAction decideFrameAction(ReceiveMode mode, const GaugeFrame &frame, bool atLastPoint)
{
    const bool reading = frame.kind == GaugeFrame::Kind::Reading;
    if (mode == ReceiveMode::Connect)
        return reading ? FrameAction::RefuseReading : FrameAction::MenuKey;
    if (reading)
        return FrameAction::Record;
    return atLastPoint ? FrameAction::NoMorePoints : FrameAction::StepForward;
}

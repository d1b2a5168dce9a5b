#pragma once

class QSerialPort;

// The gauge's line settings, applied step by step to a port that is open, and
// the serial layer's failures: each names the step that failed, with the
// operating system's error number of the failing call ("Unable to open com
// port (win error code: 2)"), thrown as Failure of kind EComPort.
namespace SerialSettings {

constexpr int kQueueSize = 1024;                // driver queues, each way
constexpr int kHandshakeLimit = kQueueSize / 4; // RTS drops with fewer bytes free

[[noreturn]] void fail(const char *what, int code);

// Queue sizes, line settings (9600 baud, 8N1, CTS output flow, RTS input
// handshake, DTR held off, no XON/XOFF, null bytes kept) and read time-outs
// that return at once. systemError is the error number that the port's own
// failing call left (Qt reports it through errorOccurred).
void apply(QSerialPort &port, const int &systemError);

} // namespace SerialSettings

#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <optional>

#include "FrameScanner.h"

class GaugePort;
class QEventLoop;

// The link to the gauge as the wizard runs it: the port, the receive route
// (which handler the gauge's frames go to), the bytes received and not yet
// consumed, the connect wait for the gauge's key, closing, and the repair.
// It reads the port and cuts the frames; the route's handler takes each frame,
// and the window shows what the signals report. Lives on the window thread;
// no widgets.
class GaugeSession : public QObject
{
    Q_OBJECT

public:
    // The connect wait's handler, the measuring handler, or none (the bytes
    // stay in the port).
    enum class Route { GetMenu, Measuring, None };
    static constexpr int kReconnectPauseMs = 1000;
    // Takes one frame. What it throws ends the notification unreported and
    // silences the link until it is opened again, as a failed read does.
    using FrameHandler = std::function<void(const GaugeFrame &frame)>;

    explicit GaugeSession(GaugePort &port, QObject *parent = nullptr);

    // The pause between closing and reopening in a repair (tests shorten it).
    void setReconnectPauseMs(int ms) { m_reconnectPauseMs = ms; }

    // The connect wait's handler (a key has set menuKeySeen before it runs)
    // and the measuring handler.
    void setHandlers(FrameHandler getMenu, FrameHandler measuring);
    GaugePort &port() const { return m_port; }
    Route route() const { return m_route; }
    // Routes the frames; a handler taking over reads what waits already.
    void setRoute(Route route);
    // The ReceiveBuffer: what arrived and is not yet a whole frame.
    const QByteArray &receiveBuffer() const { return m_scanner.buffer(); }
    void clearReceiveBuffer() { m_scanner.clear(); }
    bool menuKeySeen() const { return m_menuKeySeen; }

    // Opens the port under `name` and purges it; throws the port's Failure.
    void OpenGaugePort(const QString &name);
    // Purges the open port; a failure is left to the repair.
    void dropWaitingBytes();
    // Closes the port; a failure is reported by closeFailed. False then.
    bool CloseGaugePort();
    // Routes the frames to the connect handler and waits, handling window
    // events, until the gauge's key, an abort or shutDown(); only while the
    // port is open. True when the key ended it.
    bool ConnectWait();
    // Ends the connect wait at its next check; nothing else.
    void requestAbort();
    // Two repair attempts, the second only when the first fails; the second
    // one's failure text when both fail.
    std::optional<QString> repair();
    // One attempt: close, pause (blocking), reopen under the same name, purge,
    // and forget the bytes received before.
    bool ReconnectGauge(QString &failureText);
    // Closed for good: a running wait ends, and nothing more is handed on.
    void shutDown();
    bool isShutDown() const { return m_shutDown; }

Q_SIGNALS:
    // The port has been opened (connect or repair).
    void linkUp();
    // The device ended while open; nothing arrives until it is reopened.
    void linkLost();
    // Closing failed: "<kind>: <text>". The port counts as closed.
    void closeFailed(const QString &reason);

private:
    void onRxChar(int count);
    // Reads what arrived while no handler could take it.
    void serveWaitingBytes();
    void handOn(Route route, const GaugeFrame &frame);

    GaugePort &m_port;
    int m_reconnectPauseMs = kReconnectPauseMs;
    FrameHandler m_getMenu;
    FrameHandler m_measuring;
    FrameScanner m_scanner; // holds the ReceiveBuffer
    Route m_route = Route::Measuring;
    bool m_inReceive = false;
    bool m_menuKeySeen = false;
    bool m_connectAbortRequested = false;
    bool m_shutDown = false;
    QPointer<QEventLoop> m_connectWait;
};

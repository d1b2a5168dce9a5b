#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>

#include "FrameScanner.h"

class GaugePort;

// The link to the gauge as the wizard runs it: the port, the receive route
// (which handler the gauge's frames go to), the bytes received and not yet
// consumed, the connect wait for the gauge's key, closing, and the repair.
// It reads the port and cuts the frames; the route's handler takes each frame,
// and the window shows what the signals report. Nothing here waits: the
// connect wait and the repair are states that a frame, a click or a timer
// ends, and a handler whose work goes on after it returns (a sound that must
// end first) holds the session, so the frames after it wait their turn.
// Lives on the window thread; no widgets.
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
    // Closes the port (ending a repair under way); a failure is reported by
    // closeFailed. False then.
    bool CloseGaugePort();

    // Starts the connect wait: routes the frames to the connect handler until
    // the gauge's key, an abort or shutDown() ends it (connectWaitEnded).
    // Only on an open port: false, and no wait, when it is closed.
    bool ConnectWait();
    bool connectWaiting() const { return m_waiting; }
    // Ends the connect wait, reporting no key.
    void requestAbort();

    // Two repair attempts, the second only when the first fails, each a close,
    // a pause and a reopen under the same name; repairEnded tells the outcome.
    void repair();
    bool repairing() const { return m_repairAttempt > 0; }

    // While held, no frame is handed on and the port is not read; the last
    // release goes on where the hold stopped, with the route that read them.
    void hold() { ++m_holds; }
    void release();
    bool held() const { return m_holds > 0; }

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
    // The connect wait is over: the gauge's key (after the frames read with
    // it have been handled), or an abort or a shut-down.
    void connectWaitEnded(bool keySeen);
    // A repair is over: empty on success (or when the port was closed
    // meanwhile), else the second attempt's failure, "<kind>: <text>".
    void repairEnded(const QString &failure);

private:
    void onRxChar(int count);
    // Hands on the frames already cut (behind a hold), then reads the port.
    void serve(qint64 count);
    // Reads what arrived while no handler could take it.
    void serveWaitingBytes();
    void handOn(Route route, const GaugeFrame &frame);
    void endConnectWait(bool keySeen);
    void reconnectAttempt();
    bool closePort();

    GaugePort &m_port;
    int m_reconnectPauseMs = kReconnectPauseMs;
    FrameHandler m_getMenu;
    FrameHandler m_measuring;
    FrameScanner m_scanner; // holds the ReceiveBuffer
    // The route that read the frames still in the scanner, while a hold
    // keeps them there.
    std::optional<Route> m_scanRoute;
    Route m_route = Route::Measuring;
    bool m_inReceive = false;
    int m_holds = 0;
    bool m_menuKeySeen = false;
    bool m_waiting = false;
    bool m_shutDown = false;
    int m_repairAttempt = 0; // 1 or 2 while repairing
    QTimer m_repairPause;
};

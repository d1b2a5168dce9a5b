#include "GaugeSession.h"

#include "Failure.h"
#include "GaugePort.h"

#include <QScopedValueRollback>

GaugeSession::GaugeSession(GaugePort &port, QObject *parent) : QObject(parent), m_port(port)
{
    connect(&m_port, &GaugePort::rxChar, this, &GaugeSession::onRxChar);
    connect(&m_port, &GaugePort::linkLost, this, [this] {
        if (!m_shutDown)
            Q_EMIT linkLost();
    });
    m_repairPause.setSingleShot(true);
    m_repairPause.setTimerType(Qt::PreciseTimer);
    connect(&m_repairPause, &QTimer::timeout, this, &GaugeSession::reconnectAttempt);
}

void GaugeSession::setHandlers(FrameHandler getMenu, FrameHandler measuring)
{
    m_getMenu = std::move(getMenu);
    m_measuring = std::move(measuring);
}

void GaugeSession::setRoute(Route route)
{
    m_route = route;
    // Bytes that came while no handler took them got their notification then.
    if (route == Route::Measuring)
        QMetaObject::invokeMethod(this, &GaugeSession::serveWaitingBytes, Qt::QueuedConnection);
}

void GaugeSession::serveWaitingBytes()
{
    if (m_port.connected())
        onRxChar(int(qMin<qint64>(m_port.bytesWaiting(), INT_MAX)));
    else
        m_scanRoute.reset(); // what a closed port left is dropped at the next open
}

void GaugeSession::release()
{
    if (m_holds > 0 && --m_holds == 0)
        QMetaObject::invokeMethod(this, &GaugeSession::serveWaitingBytes, Qt::QueuedConnection);
}

void GaugeSession::onRxChar(int count)
{
    // A handler's signals must not lead back in here: bytes arriving
    // meanwhile are read once it has returned.
    if (m_inReceive)
        return;
    const QScopedValueRollback inReceive(m_inReceive, true);
    try {
        serve(count);
    } catch (const Failure &) {
        // A failed read is not shown; the link stops listening until reopened.
        m_scanRoute.reset();
        m_port.stopNotifications();
    }
}

void GaugeSession::serve(qint64 count)
{
    // Every byte that has arrived is scanned: bytes that came while a frame
    // was being handled get no notification of their own.
    while (m_holds == 0) {
        if (m_scanRoute) {
            // The frames of one read go to the handler that read them.
            const Route route = *m_scanRoute;
            while (m_holds == 0) {
                const std::optional<GaugeFrame> frame = m_scanner.next();
                if (!frame)
                    break;
                handOn(route, *frame);
            }
            if (m_holds > 0)
                return;
            m_scanRoute.reset();
            // Once the key has ended the wait, what follows is measured.
            if (route == Route::GetMenu && m_menuKeySeen) {
                endConnectWait(true);
                return;
            }
        }
        if (count <= 0 || m_route == Route::None || m_shutDown)
            return;
        m_scanRoute = m_route;
        m_scanner.append(m_port.read(count));
        count = m_port.bytesWaiting();
    }
}

void GaugeSession::handOn(Route route, const GaugeFrame &frame)
{
    if (m_shutDown)
        return;
    if (route == Route::Measuring) {
        if (m_measuring)
            m_measuring(frame);
        return;
    }
    if (frame.kind == GaugeFrame::Kind::Key)
        m_menuKeySeen = true;
    if (m_getMenu)
        m_getMenu(frame);
}

void GaugeSession::OpenGaugePort(const QString &name)
{
    m_port.setPortName(name);
    m_port.open();
    Q_EMIT linkUp();
    m_port.purge();
}

void GaugeSession::dropWaitingBytes()
{
    if (!m_port.connected())
        return;
    try {
        m_port.purge();
    } catch (const Failure &) {
        // The link is repaired with "Kom.jav." if it is broken.
    }
}

bool GaugeSession::closePort()
{
    try {
        m_port.close();
        return true;
    } catch (const Failure &f) {
        Q_EMIT closeFailed(f.reason());
        return false;
    }
}

bool GaugeSession::CloseGaugePort()
{
    if (repairing()) {
        m_repairPause.stop();
        m_repairAttempt = 0;
        Q_EMIT repairEnded(QString());
    }
    return closePort();
}

bool GaugeSession::ConnectWait()
{
    m_menuKeySeen = false;
    setRoute(Route::GetMenu);
    if (!m_port.connected() || m_shutDown)
        return false;
    m_waiting = true;
    return true;
}

void GaugeSession::requestAbort()
{
    endConnectWait(false);
}

void GaugeSession::endConnectWait(bool keySeen)
{
    if (!std::exchange(m_waiting, false))
        return;
    Q_EMIT connectWaitEnded(keySeen && !m_shutDown);
}

void GaugeSession::repair()
{
    if (repairing())
        return;
    m_repairAttempt = 1;
    closePort();
    // The port stays closed for the pause; the window goes on meanwhile.
    m_repairPause.start(m_reconnectPauseMs);
}

void GaugeSession::reconnectAttempt()
{
    try {
        m_port.open();
        m_port.purge();
    } catch (const Failure &f) {
        if (m_repairAttempt == 1) {
            m_repairAttempt = 2;
            closePort();
            m_repairPause.start(m_reconnectPauseMs);
            return;
        }
        m_repairAttempt = 0;
        Q_EMIT repairEnded(f.reason());
        return;
    }
    m_repairAttempt = 0;
    m_scanner.clear();
    m_scanRoute.reset();
    Q_EMIT linkUp();
    Q_EMIT repairEnded(QString());
}

void GaugeSession::shutDown()
{
    m_shutDown = true;
    m_repairPause.stop();
    m_repairAttempt = 0;
    endConnectWait(false);
}

#include "GaugeSession.h"

#include "Failure.h"
#include "GaugePort.h"

#include <QEventLoop>
#include <QScopedValueRollback>
#include <QThread>

GaugeSession::GaugeSession(GaugePort &port, QObject *parent) : QObject(parent), m_port(port)
{
    connect(&m_port, &GaugePort::rxChar, this, &GaugeSession::onRxChar);
    connect(&m_port, &GaugePort::linkLost, this, [this] {
        if (!m_shutDown)
            Q_EMIT linkLost();
    });
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
}

void GaugeSession::onRxChar(int count)
{
    // A handler that lets window events run must not be entered again from
    // them: bytes arriving meanwhile are read once it has returned.
    if (m_inReceive)
        return;
    const QScopedValueRollback inReceive(m_inReceive, true);
    try {
        // Every byte that has arrived is scanned: bytes that came while a
        // reading was being shown get no notification of their own.
        while (count > 0 && m_route != Route::None) {
            // The frames of one read go to the handler that read them.
            const Route route = m_route;
            m_scanner.append(m_port.read(count));
            while (const auto frame = m_scanner.next())
                handOn(route, *frame);
            // Once the key has ended the wait, what follows is measured.
            if (route == Route::GetMenu && m_menuKeySeen)
                break;
            count = int(qMin<qint64>(m_port.bytesWaiting(), INT_MAX));
        }
    } catch (const Failure &) {
        // A failed read is not shown; the link stops listening until reopened.
        m_port.stopNotifications();
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
    if (frame.kind == GaugeFrame::Kind::Key) {
        m_menuKeySeen = true;
        if (m_connectWait)
            m_connectWait->quit();
    }
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

bool GaugeSession::CloseGaugePort()
{
    try {
        m_port.close();
        return true;
    } catch (const Failure &f) {
        Q_EMIT closeFailed(f.reason());
        return false;
    }
}

bool GaugeSession::ConnectWait()
{
    m_connectAbortRequested = false;
    m_menuKeySeen = false;
    setRoute(Route::GetMenu);
    // Waits without using the processor: the loop quits on the gauge's key,
    // on an abort, or when the session is shut down.
    if (!m_port.connected())
        return false;
    QEventLoop loop;
    m_connectWait = &loop;
    while (!m_menuKeySeen && !m_connectAbortRequested && !m_shutDown)
        loop.exec();
    m_connectWait = nullptr;
    return m_menuKeySeen && !m_shutDown;
}

void GaugeSession::requestAbort()
{
    m_connectAbortRequested = true;
    if (m_connectWait)
        m_connectWait->quit();
}

std::optional<QString> GaugeSession::repair()
{
    QString failure;
    if (ReconnectGauge(failure) || ReconnectGauge(failure))
        return std::nullopt;
    return failure;
}

bool GaugeSession::ReconnectGauge(QString &failureText)
{
    CloseGaugePort();
    // The repair blocks the window on purpose: nothing may touch the link now.
    QThread::msleep(m_reconnectPauseMs);
    try {
        m_port.open();
        m_port.purge();
    } catch (const Failure &f) {
        failureText = f.reason();
        return false;
    }
    m_scanner.clear();
    Q_EMIT linkUp();
    return true;
}

void GaugeSession::shutDown()
{
    m_shutDown = true;
    if (m_connectWait)
        m_connectWait->quit();
}

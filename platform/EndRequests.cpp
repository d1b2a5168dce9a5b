#include "EndRequests.h"

#include <QCoreApplication>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

EndRequests *s_instance = nullptr;

#ifdef Q_OS_WIN

BOOL WINAPI onConsoleEvent(DWORD type)
{
    EndRequests *requests = s_instance;
    if (!requests)
        return FALSE;
    const QString why = type == CTRL_C_EVENT        ? QStringLiteral("Ctrl+C")
                        : type == CTRL_BREAK_EVENT  ? QStringLiteral("Ctrl+Break")
                        : type == CTRL_CLOSE_EVENT  ? QStringLiteral("a konzol bezárása")
                        : type == CTRL_LOGOFF_EVENT ? QStringLiteral("kijelentkezés")
                                                    : QStringLiteral("leállítás");
    // Ctrl+C leaves the process running: the window thread ends it. For the
    // others Windows ends the process once this returns: the work is done first.
    const Qt::ConnectionType how = type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT
                                       ? Qt::QueuedConnection
                                       : Qt::BlockingQueuedConnection;
    QMetaObject::invokeMethod(
        requests, [requests, why] { Q_EMIT requests->endRequested(why); }, how);
    return TRUE;
}

#else

int s_pipe[2] = {-1, -1};

void onSignal(int number)
{
    const int saved = errno;
    const char byte = char(number);
    // Only write() here, which a signal handler may call.
    [[maybe_unused]] const ssize_t written = ::write(s_pipe[1], &byte, 1);
    errno = saved;
}

#endif

} // namespace

EndRequests::EndRequests(QObject *parent) : QObject(parent)
{
    s_instance = this;
#ifdef Q_OS_WIN
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    QCoreApplication::instance()->installNativeEventFilter(this);
#else
    if (::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(s_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &EndRequests::readSignals);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : {SIGTERM, SIGHUP, SIGINT})
        ::sigaction(number, &action, nullptr);
#endif
}

EndRequests::~EndRequests()
{
#ifdef Q_OS_WIN
    ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
#else
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    for (int number : {SIGTERM, SIGHUP, SIGINT})
        ::sigaction(number, &action, nullptr);
    delete m_notifier;
    m_notifier = nullptr;
    for (int &fd : s_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
#endif
    s_instance = nullptr;
}

#ifndef Q_OS_WIN
void EndRequests::readSignals()
{
    char bytes[16];
    ssize_t n;
    while ((n = ::read(s_pipe[0], bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            const int number = bytes[i];
            Q_EMIT endRequested(number == SIGTERM  ? QStringLiteral("SIGTERM")
                                : number == SIGHUP ? QStringLiteral("SIGHUP")
                                                   : QStringLiteral("SIGINT"));
        }
    }
}
#endif

bool EndRequests::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result)
{
#ifdef Q_OS_WIN
    if (eventType != "windows_generic_MSG")
        return false;
    const MSG *msg = static_cast<const MSG *>(message);
    if (msg->message == WM_QUERYENDSESSION) {
        // No question: the session may end.
        Q_EMIT endComing();
        *result = TRUE;
        return true;
    }
    if (msg->message == WM_ENDSESSION) {
        // Windows may end the process once this returns: the work is done first.
        if (msg->wParam)
            Q_EMIT endRequested(QStringLiteral("a Windows munkamenet vége"));
        *result = 0;
        return true;
    }
#else
    Q_UNUSED(eventType);
    Q_UNUSED(message);
    Q_UNUSED(result);
#endif
    return false;
}

#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

#ifndef Q_OS_WIN
class QSocketNotifier;
#endif

// The system's requests to end the program, as signals on the thread that
// made this object (the window thread). On Linux SIGTERM, SIGHUP and SIGINT:
// the signal handler only writes the signal's number into a pipe, which a
// socket notifier reads (no Qt call in a signal handler). On Windows the
// session's end (WM_QUERYENDSESSION: it is coming, and may still be
// cancelled; WM_ENDSESSION: it ends) through a native event filter, and a
// console's close, Ctrl+C, log-off or shut-down through a console handler,
// which waits until the end's work is done (Windows ends the process when
// the handler returns). One object at a time.
class EndRequests : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit EndRequests(QObject *parent = nullptr);
    ~EndRequests() override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

Q_SIGNALS:
    // The session is about to end, and may still be cancelled: keep what there is.
    void endComing();
    // End now, keeping everything, asking nothing. `why` names the request.
    void endRequested(const QString &why);

private:
#ifndef Q_OS_WIN
    void readSignals();
    QSocketNotifier *m_notifier = nullptr;
#endif
};

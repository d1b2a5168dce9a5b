#include "WinBeeper.h"

#ifdef Q_OS_WIN
#include <QElapsedTimer>
#include <QThread>
#include <qt_windows.h>

void WinBeeper::Beep(int frequencyHz, int durationMs)
{
    QElapsedTimer clock;
    clock.start();
    ::Beep(DWORD(frequencyHz), DWORD(durationMs)); // a failure is ignored
    const qint64 left = durationMs - clock.elapsed();
    if (left > 0)
        QThread::msleep(ulong(left));
}
#endif

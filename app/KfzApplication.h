#pragma once

#include <QApplication>

// The application object: a failure that no handler caught ends the event it
// came from and is shown in a plain error box; the program goes on.
class KfzApplication : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override;
};

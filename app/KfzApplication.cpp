#include "KfzApplication.h"

#include "Failure.h"

#include <QMessageBox>

bool KfzApplication::notify(QObject *receiver, QEvent *event)
{
    QString text;
    try {
        return QApplication::notify(receiver, event);
    } catch (const Failure &f) {
        text = f.text();
    } catch (const std::exception &e) {
        text = QString::fromLocal8Bit(e.what());
    }
    QMessageBox::critical(activeWindow(), QStringLiteral("Kromaglen"), text);
    return false;
}

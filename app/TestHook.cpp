#include "TestHook.h"

#include "KromaglenForZov_M.h"
#include "KromaglenForZov_MD.h"
#include "KromaglenForZov_SM.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTimer>
#include <cstdio>

#ifdef Q_OS_WIN
#include <QPointer>
#include <thread>
#else
#include <unistd.h>
#endif

namespace {

QString textOf(QWidget *w)
{
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->text();
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        return b->text();
    if (auto *e = qobject_cast<QLineEdit *>(w))
        return e->text();
    if (auto *c = qobject_cast<QComboBox *>(w))
        return c->currentText();
    if (auto *p = qobject_cast<QPlainTextEdit *>(w))
        return p->toPlainText().replace(u'\n', u'|');
    if (auto *list = qobject_cast<QListWidget *>(w)) {
        QStringList lines;
        for (int i = 0; i < list->count(); ++i)
            lines.append(list->item(i)->text());
        return lines.join(u'|');
    }
    return {};
}

void doubleClick(QWidget *w)
{
    const QPointF at = w->rect().center();
    QMouseEvent event(QEvent::MouseButtonDblClick, at, w->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &event);
}

} // namespace

TestHook::TestHook(TF_Main &window, TF_MessageDlg &question, TF_MyShowMessage &info)
    : m_window(window), m_question(question), m_info(info)
#ifndef Q_OS_WIN
      ,
      m_notifier(STDIN_FILENO, QSocketNotifier::Read)
#endif
{
#ifdef Q_OS_WIN
    // Standard input is a pipe that no event loop watches here: a thread of
    // its own reads the lines and hands them to the window thread.
    std::thread([hook = QPointer<TestHook>(this)] {
        char buffer[4096];
        while (std::fgets(buffer, sizeof buffer, stdin)) {
            const QString line = QString::fromUtf8(buffer).trimmed();
            QMetaObject::invokeMethod(qApp, [hook, line] {
                if (hook)
                    hook->answer(line);
            });
        }
    }).detach();
#else
    connect(&m_notifier, &QSocketNotifier::activated, this, &TestHook::onInput);
#endif
}

#ifndef Q_OS_WIN
void TestHook::onInput()
{
    char buffer[4096];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
        m_notifier.setEnabled(false);
        return;
    }
    m_pending.append(buffer, n);
    qsizetype end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(m_pending.left(end)).trimmed();
        m_pending.remove(0, end + 1);
        answer(line);
    }
}
#endif

void TestHook::answer(const QString &line)
{
    const QString reply = run(line);
    std::printf("%s\n", reply.toUtf8().constData());
    std::fflush(stdout);
}

QString TestHook::run(const QString &line)
{
    const QString command = line.section(u' ', 0, 0);
    const QString name = line.section(u' ', 1, 1);
    const QString rest = line.section(u' ', 2);
    QWidget *w = name.isEmpty() ? nullptr : m_window.findChild<QWidget *>(name);
    const auto needWidget = [&]() { return w != nullptr; };

    if (command == u"page")
        return QStringLiteral("ok %1").arg(int(m_window.activePage()));
    if (command == u"readings") {
        return QStringLiteral("ok ") + m_window.readingLog().lines(name.toInt()).join(u'|');
    }
    if (command == u"count")
        return QStringLiteral("ok %1").arg(m_window.readingLog().count(name.toInt()));
    if (command == u"icon") {
        const QList<QSize> sizes = m_window.windowIcon().availableSizes();
        return QStringLiteral("ok %1").arg(sizes.isEmpty() ? 0 : sizes.last().width());
    }
    if (command == u"info")
        return QStringLiteral("ok ") + (m_info.isVisible() ? m_info.message() : QString());
    if (command == u"close") {
        QTimer::singleShot(0, &m_window, &QWidget::close);
        return QStringLiteral("ok");
    }
    if (command == u"sessionend") {
        // As a desktop's session manager ends a session: the data first,
        // then the program is told to go.
        QTimer::singleShot(0, &m_window, [this] {
            m_window.sessionEnding();
            QCoreApplication::quit();
        });
        return QStringLiteral("ok");
    }
    if (command == u"answer") {
        const bool yes = name == u"yes";
        auto *timer = new QTimer(this);
        timer->setInterval(5);
        connect(timer, &QTimer::timeout, this, [this, timer, yes] {
            if (!m_question.isVisible())
                return;
            timer->deleteLater();
            timer->stop();
            m_question
                .findChild<QAbstractButton *>(yes ? QStringLiteral("BB_Yes")
                                                  : QStringLiteral("BB_No"))
                ->click();
        });
        timer->start();
        return QStringLiteral("ok");
    }
    if (!needWidget())
        return QStringLiteral("error no widget ") + name;
    if (command == u"get")
        return QStringLiteral("ok ") + textOf(w);
    if (command == u"where") {
        const QPoint at = w->mapToGlobal(QPoint(0, 0));
        return QStringLiteral("ok %1 %2 %3 %4")
            .arg(at.x())
            .arg(at.y())
            .arg(w->width())
            .arg(w->height());
    }
    if (command == u"visible")
        return QStringLiteral("ok %1").arg(w->isVisible() ? 1 : 0);
    if (command == u"click") {
        auto *button = qobject_cast<QAbstractButton *>(w);
        if (!button)
            return QStringLiteral("error not a button");
        // Handlers may wait in a nested loop: answer first, click afterwards.
        QTimer::singleShot(0, button, &QAbstractButton::click);
        return QStringLiteral("ok");
    }
    if (command == u"dblclick") {
        QWidget *target = w;
        if (auto *spin = qobject_cast<QSpinBox *>(w))
            target = spin->findChild<QLineEdit *>();
        QTimer::singleShot(0, target, [target] { doubleClick(target); });
        return QStringLiteral("ok");
    }
    if (command == u"text") {
        if (auto *c = qobject_cast<QComboBox *>(w); c && c->isEditable())
            c->setEditText(rest);
        else if (auto *spin = qobject_cast<QSpinBox *>(w))
            spin->findChild<QLineEdit *>()->setText(rest);
        else if (auto *e = qobject_cast<QLineEdit *>(w))
            e->setText(rest);
        else
            return QStringLiteral("error no text field");
        return QStringLiteral("ok");
    }
    if (command == u"choose") {
        if (auto *list = qobject_cast<QListWidget *>(w)) {
            list->setCurrentRow(rest.toInt());
            return QStringLiteral("ok");
        }
        auto *c = qobject_cast<QComboBox *>(w);
        if (!c)
            return QStringLiteral("error not a combo");
        const int index = c->findText(rest) >= 0 ? c->findText(rest) : rest.toInt();
        c->setCurrentIndex(index);
        QTimer::singleShot(0, c, [c, index] { Q_EMIT c->activated(index); });
        return QStringLiteral("ok");
    }
    return QStringLiteral("error unknown command ") + command;
}

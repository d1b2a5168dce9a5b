#pragma once

#include <QObject>
#include <QSocketNotifier>

class TF_Main;
class TF_MessageDlg;
class TF_MyShowMessage;

// Only in the test build of the program: drives the window from commands on
// standard input, one per line, and answers each with one line on standard
// output ("ok ..." or "error ...").
//   click NAME | dblclick NAME | text NAME VALUE | choose NAME ITEM-TEXT-OR-INDEX
//   answer yes|no        answer the next question dialog
//   get NAME             a label, button, edit, combo or list (lines joined by "|")
//   page                 the active page (0, 1, 2)
//   readings POINT       the reading lines of a catalogue point, joined by "|"
//   count POINT          how many readings a catalogue point has
//   info                 the information dialog's message ("" when hidden)
//   where NAME           a widget's place on the screen: x y width height
//   close                ask the window to close
//   sessionend           end the program as a desktop session's end does
class TestHook : public QObject
{
    Q_OBJECT

public:
    TestHook(TF_Main &window, TF_MessageDlg &question, TF_MyShowMessage &info);

private:
    void onInput();
    void answer(const QString &line);
    QString run(const QString &line);

    TF_Main &m_window;
    TF_MessageDlg &m_question;
    TF_MyShowMessage &m_info;
#ifndef Q_OS_WIN
    QSocketNotifier m_notifier;
    QByteArray m_pending;
#endif
};

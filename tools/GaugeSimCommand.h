#pragma once

#include <QByteArray>
#include <QString>

// One command of the gauge simulator, read from a line such as "fe 123" and
// checked: the simulator refuses a wrong command instead of sending something
// else in its place.
struct GaugeSimCommand
{
    enum class Kind { Nothing, Reading, Key, Raw, Noise, Split, Session, Wait, Settings, Quit };

    Kind kind = Kind::Nothing;
    QByteArray substrate; // "FE" or "AL"
    int number = 0;       // the reading, the byte count, the points or the milliseconds
    QByteArray bytes;     // raw

    // An empty line or a # comment is Nothing; a wrong one sets error.
    static GaugeSimCommand parse(const QString &line, QString *error);

    // The gauge's frames: a reading (",FE" or ",AL" and the value, low byte
    // first) and the key.
    static QByteArray readingFrame(const QByteArray &substrate, int value);
    static QByteArray keyFrame() { return QByteArrayLiteral(",ME"); }
};

#pragma once

#include <QString>

// The sound choices kept in "Kromaglen_sound.ini": one line of two digits,
// the output (0 speaker, 1 sound card) and the reading confirmation
// (0 spoken value, 1 fixed recording).
struct SoundOptions
{
    enum Device { Speaker = 0, SoundCard = 1 };
    enum ReadingMode { SpeakValue = 0, SayOk = 1 };

    int device = Speaker;
    int readingMode = SpeakValue;

    static inline const QString kFileName = QStringLiteral("Kromaglen_sound.ini");

    // Applies the file's first line: exactly two characters, each "0" or "1"
    // setting its choice; anything else leaves a choice as it is. False when
    // the file does not exist or cannot be opened.
    bool read(const QString &path);
    // Rewrites the file; errors are ignored and leave the old file as it was.
    void write(const QString &path) const;
    // The line without its CR LF.
    QString line() const;
    void applyLine(QStringView line);
    // Applies the first line of a file's content.
    void applyContent(QByteArrayView content);
};

#include "SoundOptions.h"

#include "Failure.h"
#include "SettingsFile.h"
#include "TextLine.h"

bool SoundOptions::read(const QString &path)
{
    try {
        applyContent(SettingsFile::read(path, 4096));
        return true;
    } catch (const Failure &) {
        return false;
    }
}

void SoundOptions::applyContent(QByteArrayView content)
{
    applyLine(QString::fromLatin1(firstLine(content)));
}

void SoundOptions::applyLine(QStringView line)
{
    if (line.size() != 2)
        return;
    if (line[0] == u'0' || line[0] == u'1')
        device = line[0].digitValue();
    if (line[1] == u'0' || line[1] == u'1')
        readingMode = line[1].digitValue();
}

QString SoundOptions::line() const
{
    return QString::number(device) + QString::number(readingMode);
}

void SoundOptions::write(const QString &path) const
{
    try {
        SettingsFile::write(path, QByteArray(line().toLatin1() + "\r\n"));
    } catch (const Failure &) {
        // The choice holds until the program ends; the old file stays.
    }
}

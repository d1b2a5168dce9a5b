#include "SoundOptions.h"

#include "TextLine.h"

#include <QFile>
#include <QSaveFile>

bool SoundOptions::read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    applyContent(file.read(4096));
    return true;
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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(line().toLatin1() + "\r\n");
    file.commit();
}

#include "Cp1250.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace Cp1250 {

QByteArray encode(QStringView text)
{
    QStringEncoder encoder("windows-1250");
    if (!encoder.isValid())
        return text.toLatin1();
    return encoder.encode(text);
}

QString decode(QByteArrayView bytes)
{
    QStringDecoder decoder("windows-1250");
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

} // namespace Cp1250

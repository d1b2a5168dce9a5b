#include "StoredPort.h"

#include "Cp1250.h"
#include "TextLine.h"

namespace StoredPort {

QString parse(const QByteArray &content)
{
    return Cp1250::decode(firstLine(content));
}

QByteArray line(const QString &portName)
{
    return Cp1250::encode(portName) + "\r\n";
}

} // namespace StoredPort

#include "StoredPort.h"

#include "Cp1250.h"

namespace StoredPort {

QString parse(const QByteArray &content)
{
    qsizetype end = content.size();
    for (char c : {'\r', '\n'}) {
        const qsizetype at = content.indexOf(c);
        if (at >= 0 && at < end)
            end = at;
    }
    return Cp1250::decode(QByteArrayView(content).first(end));
}

QByteArray line(const QString &portName)
{
    return Cp1250::encode(portName) + "\r\n";
}

} // namespace StoredPort

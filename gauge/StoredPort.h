#pragma once

#include <QByteArray>
#include <QString>

// "Kromaglen_com.ini": one line, the chosen port's name, ended by CR LF.
namespace StoredPort {

inline const QString kFileName = QStringLiteral("Kromaglen_com.ini");

// The port name on the file's first line; the rest of the file is ignored.
QString parse(const QByteArray &content);
QByteArray line(const QString &portName);

} // namespace StoredPort

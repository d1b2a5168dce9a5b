#pragma once

#include <QByteArray>
#include <QString>

// Conversion between the program's text and the single-byte Central-European
// code page used in files and on the wire.
namespace Cp1250 {

QByteArray encode(QStringView text);
QString decode(QByteArrayView bytes);

} // namespace Cp1250

#pragma once

#include <QByteArray>
#include <QString>

// Conversion between the program's text and the single-byte Central-European
// code page (Windows-1250) used in files and on the wire. The table is built in:
// Qt has no converter for it where it is built without ICU, as on Windows.
// Every byte decodes to one character and back; a character the code page
// lacks is written as SUB (0x1A).
namespace Cp1250 {

QByteArray encode(QStringView text);
QString decode(QByteArrayView bytes);

} // namespace Cp1250

#pragma once

#include <QString>
#include <QStringList>

// Saying a value in Hungarian from short recordings (digits, tens, hundred,
// thousand). Values of more than four digits are not said.
namespace SpokenNumber {

// The recording names in speaking order, e.g. "1234" gives
// SZ_1000, SZ_2, SZ_100, SZ_30, SZ_4.
QStringList recordings(const QString &valueText);

// "hang\<name>.wav".
QString recordingPath(const QString &name);

} // namespace SpokenNumber

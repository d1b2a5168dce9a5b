#pragma once

#include <QDate>
#include <QString>

// Dates as the program writes them: four-digit year, month and day, each
// followed by a point ("2024.03.05."). The Hungarian locale's own short format
// puts a blank after each point; the stations' papers do not.
namespace DateFormat {

inline const QString kShort = QStringLiteral("yyyy.MM.dd.");

inline QString shortDate(QDate date)
{
    return date.toString(kShort);
}

} // namespace DateFormat

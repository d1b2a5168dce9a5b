#include "ArchiveLocation.h"

#include <QSqlDatabase>
#include <QUrl>
#include <QUrlQuery>

namespace {

// A value for libpq's "key=value key=value" string: quoted when it holds a
// space, a quote or a backslash (a certificate under "C:/Program Files/...").
// Qt's driver turns the ';' between options into spaces, so a ';' cannot be
// in a value at all.
QString libpqValue(QString value)
{
    if (!value.contains(u' ') && !value.contains(u'\'') && !value.contains(u'\\') &&
        !value.isEmpty())
        return value;
    value.replace(u'\\', QStringLiteral("\\\\"));
    value.replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + value + u'\'';
}

} // namespace

std::optional<ArchiveLocation> ArchiveLocation::parse(const QString &text, QString *error)
{
    ArchiveLocation location;
    const QString value = text.trimmed();
    if (value.isEmpty())
        return location;
    if (!value.startsWith(u"postgresql://", Qt::CaseInsensitive) &&
        !value.startsWith(u"postgres://", Qt::CaseInsensitive)) {
        location.file = value;
        return location;
    }
    // A space or a backslash cannot be part of a URL: it is the user's own, as
    // in a certificate's path "C:\Program Files\kfz\root.crt".
    const QUrl url(
        QString(value).replace(u' ', QStringLiteral("%20")).replace(u'\\', QStringLiteral("%5C")),
        QUrl::StrictMode);
    const QString database = url.path().mid(1);
    // A service of libpq's service file may name the server and the database.
    const bool service = QUrlQuery(url).hasQueryItem(QStringLiteral("service"));
    if (!url.isValid() || (!service && (url.host().isEmpty() || database.isEmpty())) ||
        database.contains(u'/')) {
        if (error)
            *error = QStringLiteral("A PostgreSQL-cím alakja: "
                                    "postgresql://felhasználó:jelszó@gép:port/adatbázis");
        return std::nullopt;
    }
    location.kind = Kind::PostgreSql;
    location.file.clear();
    location.host = url.host();
    location.port = url.port(-1);
    location.user = url.userName();
    location.password = url.password();
    location.database = database;
    QStringList options;
    for (const auto &[key, item] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
        if (item.contains(u';')) {
            if (error)
                *error =
                    QStringLiteral("A PostgreSQL-cím beállításaiban nem lehet ';' (%1)").arg(key);
            return std::nullopt;
        }
        options.append(key + u'=' + libpqValue(item));
    }
    location.options = options.join(u';');
    return location;
}

bool ArchiveLocation::postgreSqlAvailable()
{
    return QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"));
}

QString ArchiveLocation::describe() const
{
    if (kind == Kind::SqliteFile)
        return file;
    const QString at = port < 0 ? host : host + u':' + QString::number(port);
    const QString service = options.section(QStringLiteral("service="), 1).section(u';', 0, 0);
    return QStringLiteral("postgresql://%1%2/%3")
               .arg(user.isEmpty() ? QString() : user + u'@', at, database) +
           (service.isEmpty() ? QString() : QStringLiteral(" (service=%1)").arg(service));
}

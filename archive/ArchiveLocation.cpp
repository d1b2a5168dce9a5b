#include "ArchiveLocation.h"

#include <QSqlDatabase>
#include <QUrl>
#include <QUrlQuery>

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
    const QUrl url(value, QUrl::StrictMode);
    const QString database = url.path().mid(1);
    if (!url.isValid() || url.host().isEmpty() || database.isEmpty() || database.contains(u'/')) {
        if (error)
            *error = QStringLiteral("A PostgreSQL-cím alakja: "
                                    "postgresql://felhasználó:jelszó@gép:port/adatbázis");
        return std::nullopt;
    }
    location.kind = Kind::PostgreSql;
    location.file.clear();
    location.host = url.host();
    location.port = url.port(5432);
    location.user = url.userName();
    location.password = url.password();
    location.database = database;
    QStringList options;
    for (const auto &[key, item] : QUrlQuery(url).queryItems(QUrl::FullyDecoded))
        options.append(key + u'=' + item);
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
    return QStringLiteral("postgresql://%1@%2:%3/%4").arg(user, host).arg(port).arg(database);
}

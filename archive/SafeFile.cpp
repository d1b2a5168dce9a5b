#include "SafeFile.h"

#include <QSaveFile>

void SafeFile::write(const QString &path, const QByteArray &content,
                     QFileDevice::Permissions permissions)
{
    QSaveFile file(path);
    const auto fail = [&file, &path]() {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw Failure(QStringLiteral("EInOutError"), path + QStringLiteral(": ") + reason);
    };
    if (!file.open(QIODevice::WriteOnly))
        fail();
    if (file.write(content) != content.size() || !file.flush())
        fail();
    if (permissions && !file.setPermissions(permissions))
        fail();
    if (!file.commit())
        throw Failure(QStringLiteral("EInOutError"),
                      path + QStringLiteral(": ") + file.errorString());
}

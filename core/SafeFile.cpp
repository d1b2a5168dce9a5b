#include "SafeFile.h"

#include "SettingsFile.h"
#include "SystemError.h"

#include <QSaveFile>

void SafeFile::write(const QString &path, QByteArrayView content, InFolderReadOnly inReadOnlyFolder,
                     QFileDevice::Permissions permissions)
{
    QSaveFile file(path);
    file.setDirectWriteFallback(inReadOnlyFolder == InFolderReadOnly::RewriteInPlace);
    SystemError::clear();
    if (!file.open(QIODevice::WriteOnly))
        SettingsFile::fail(path);
    // Every byte must have reached the file before it replaces the old one:
    // a commit of a file whose buffer could not be written would still rename
    // it over the old file.
    if (file.write(content.data(), content.size()) != content.size() || !file.flush()) {
        const int code = SystemError::fileError(SystemError::last());
        file.cancelWriting();
        SettingsFile::fail(path, code);
    }
    if (permissions && !file.setPermissions(permissions)) {
        file.cancelWriting();
        SettingsFile::fail(path);
    }
    if (!file.commit())
        SettingsFile::fail(path);
}

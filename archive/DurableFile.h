#pragma once

#include <QByteArray>
#include <QString>

#include "Failure.h"

// Writes a file so that it survives a crash or a power cut the moment the
// call returns: the content goes to a file beside it, is flushed and synced,
// takes the old one's place by a rename, and the folder is synced so the
// rename itself is on the disk. Either the old file or the whole new one
// remains. Throws Failure("EInOutError", ...) on any step that fails.
namespace DurableFile {

void write(const QString &path, const QByteArray &content);
// Appends to an existing file and syncs it before returning; a crash may
// leave the line cut off, but never the file's earlier content changed.
void append(const QString &path, const QByteArray &line);
// Syncs a folder's entries (a rename or removal in it); false when it cannot.
bool syncFolder(const QString &folder);

} // namespace DurableFile

#pragma once

#include "backupinfo.h"

#include <QHash>
#include <QString>

class QIODevice;

// The suite's sync-conflict files: one XML file per application in the
// default backup folder, a <file> element per backup copy that was saved
// while the cloud held a newer version.
namespace SyncConflictFile {
// The file of the application `appName` ("zentri", "zdeck", ...; this
// program's name when empty).
QString path(const QString &appName);
// Adds the records of `file` to `table`, keyed by the lowercased path of the
// backup copy with "/" separators; false when the file is no regular file,
// cannot be opened or is not well-formed.
bool read(const QString &file, QHash<QString, SyncConflictInfo> &table);
// The same for an open text; false on an XML error.
bool parse(QIODevice *device, QHash<QString, SyncConflictInfo> &table);
}

#pragma once

#include <QDateTime>
#include <QString>

// Putting a backup copy back where a person can work on it: always as a new
// file of their choosing, never by touching the copy itself.
namespace RestoreCopy {
// "<document name without its extension> (copy of <yyyy-MM-dd HH.mm>).<ext>".
QString proposedName(const QString &documentName, const QDateTime &saved);

// Copies `source` to `target` through a temporary file in the target's
// folder that is flushed to disk and then renamed into place. A file already
// at `target` goes to the desktop's trash just before the rename. On failure
// nothing is left behind, the existing file stays, and `error` says why.
bool copy(const QString &source, const QString &target, QString *error);
}

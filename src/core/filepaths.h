#pragma once

#include <QString>

// How the plug-in compares folder and file paths. Two spellings of one
// folder ("/a/backup/", "/a/./backup", a symbolic link to it) are the same
// folder; letter case matters where the file system makes it matter.
namespace FilePaths {
// Qt::CaseInsensitive on Windows, Qt::CaseSensitive elsewhere.
Qt::CaseSensitivity caseSensitivity();
// The absolute, cleaned path with symbolic links resolved as far as the
// path exists (a folder that does not exist yet keeps its cleaned spelling
// below its deepest existing parent).
QString resolved(const QString &path);
// Whether two paths name the same place.
bool same(const QString &a, const QString &b);
// Whether `inner` lies strictly inside the folder `outer`.
bool isInside(const QString &inner, const QString &outer);
}

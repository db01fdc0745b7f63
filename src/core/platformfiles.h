#pragma once

#include <QString>

// The operating-system calls of the plug-in's own file operations.
namespace PlatformFiles {
// Removes the file `path` through a handle of the folder that holds it. The
// folder is opened as itself, not through a link: one swapped for a symbolic
// link (or a junction) after it was listed is refused, so a same-named file
// elsewhere is never removed. False when the file was not removed.
bool removeFileInFolder(const QString &path);
}

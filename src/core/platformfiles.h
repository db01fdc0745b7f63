#pragma once

#include <QString>
#include <QtGlobal>

// The operating-system calls of the plug-in's own file operations.
namespace PlatformFiles {
// Removes the file `path` through a handle of the folder that holds it. The
// folder is opened as itself, not through a link: one swapped for a symbolic
// link (or a junction) after it was listed is refused, so a same-named file
// elsewhere is never removed. False when the file was not removed.
bool removeFileInFolder(const QString &path);

// Enough of a folder or file to tell that it is as it was: in a folder no
// entry was added, removed or renamed, a file was not written or replaced.
struct Stamp
{
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 changedNs = 0;
    qint64 takenNs = 0;

    // Whether nothing changed between this stamp and `later`, of the same
    // path: a missing path is still missing, or the path is the same with
    // no change since. The system's change time has a coarse clock, so a
    // change just before this stamp was taken could hide behind it: such a
    // stamp never vouches for anything.
    bool unchangedIn(const Stamp &later) const;
};
// Follows symbolic links. Where the system gives no change time and identity
// (Windows) a stamp of an existing path never vouches for anything.
Stamp stampOf(const QString &path);
// How long before a stamp a change must lie for the stamp to vouch for it
// (2 s; tests that cannot wait that long make it shorter).
void setStampSettleNs(qint64 ns);
}

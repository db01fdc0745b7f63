#pragma once

// The operating-system calls of the host layer. platform_win.cpp holds the
// Windows calls, platform_posix.cpp their POSIX twins; one is built.
namespace Platform {
// Shows the system's recycle bin (the trash folder on POSIX).
bool openRecycleBin();
}

#pragma once

#include <QString>

// The in-process half of the benchmark: in a process of its own, loads the
// page API over a suite home and times one getBackupFileList through the
// handler (reload and list text). Prints "handler <wall ms> <processor ms>
// <list bytes>".
namespace HandlerRun {
int run(int argc, char **argv, const QString &home);
}

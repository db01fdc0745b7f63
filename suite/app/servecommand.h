#pragma once

#include "hostoptions.h"

// zentri-host serve [--port N] [--open] [--skin-control FILE]
// Serves the backup-center page and its bridge to the plug-in on 127.0.0.1
// and prints one line, "Backup center: http://127.0.0.1:PORT/?token=TOKEN".
// Runs until the program is stopped; Ctrl+C or SIGTERM stop it in order.
// With --automation FILE the steps start with the first call of a method
// that opens a native window.
HostCommand serveCommand();

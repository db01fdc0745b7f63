#pragma once

struct HostOptions;

// zentri-host serve [--port N] [--open] [--skin-control FILE]
// Serves the backup-center page and its bridge to the plug-in on 127.0.0.1
// and prints one line, "Backup center: http://127.0.0.1:PORT/?token=TOKEN".
// Runs until the program is stopped; Ctrl+C or SIGTERM stop it in order.
//
// Test aids, off unless asked for:
//   --automation FILE      (a global option) drives the native windows that
//                          page methods open; it starts with the first such call.
//   --skin-control FILE    the host watches FILE; each time it is written, its
//                          first word ("default" or "dark") becomes the suite's
//                          skin, as the suite's own skin switch would make it.
int runServeCommand(const HostOptions &options);

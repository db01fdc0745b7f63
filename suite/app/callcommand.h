#pragma once

struct HostOptions;

// zentri-host call METHOD [ARGS-JSON] [wait:MS] [METHOD [ARGS-JSON]]...
// Calls page methods in order on one script object and prints one JSON line
// per call: {"answer": {...}, "events": [{"name": ..., "payload": ...}], "method": ...}
int runCallCommand(const HostOptions &options);

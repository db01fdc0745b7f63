#pragma once

#include "hostoptions.h"

// zentri-host call METHOD [ARGS-JSON] [wait:MS] [METHOD [ARGS-JSON]]...
// Calls page methods in order on one script object and prints one JSON line
// per call: {"answer": {...}, "events": [{"name": ..., "payload": ...}], "method": ...}
// With --automation FILE the steps of FILE drive the windows the methods
// open; the last line comes once every step has run. A step whose target
// does not appear ends the run with exit code 3.
HostCommand callCommand();

#pragma once

#include "hostoptions.h"

// zentri-host screenshot WHAT --out FILE.png [--skin dark] [--scale 1.5]
// Renders one window of the backup settings offscreen into a PNG, reached
// the way a person reaches it: the settings dialog, the increment notice,
// the disable confirmation, the location confirmation and the location
// error boxes. It runs in a temporary suite home of its own.
HostCommand screenshotCommand();

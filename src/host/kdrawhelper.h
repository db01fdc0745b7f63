#pragma once

#include "zentrihost_global.h"

// The suite's theme: colours, fonts and hints by theme class, and the skin.
class ZENTRIHOST_EXPORT KDrawHelper
{
public:
    static bool isDarkSkin();
};

#pragma once

#include "zentrihost_global.h"

class QDialog;

// Gives finished dialogs the design system's look.
class ZENTRIHOST_EXPORT KDesignHelper
{
public:
    // The window background, text colours and base font of the active skin,
    // kept up to date on skin changes; no context-help button.
    static void stylizationDialog(QDialog *dialog);
};

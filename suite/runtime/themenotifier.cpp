#include "themenotifier.h"

ThemeNotifier *ThemeNotifier::instance()
{
    static ThemeNotifier notifier;
    return &notifier;
}

#pragma once

#include "zentrihost_global.h"

#include <QMargins>
#include <QSize>

// Sizes of the suite's lite widgets: logical pixels at 100% scale turned into
// device pixels for the current screen. One factor serves every function: the
// screen's logical DPI over 96, unless suite.ini [theme] scale overrides it.
class ZENTRIHOST_EXPORT KLiteStyle
{
public:
    static qreal scaleFactor();
    // Unrounded; callers truncate where they need an integer.
    static qreal dpiScaled(qreal value);
    // Each dimension scaled and truncated toward zero.
    static QSize dpiScaledSize(const QSize &size);
    static QSize dpiScaledSize(int width, int height);
    static QMargins dpiScaledMargins(const QMargins &margins);
    static QMargins dpiScaledMargins(int left, int top, int right, int bottom);
};

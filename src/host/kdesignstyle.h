#pragma once

#include "zentrihost_global.h"

#include <QMargins>
#include <QSize>

// Sizes of the design-system widgets; the same scale factor as KLiteStyle.
class ZENTRIHOST_EXPORT KDesignStyle
{
public:
    static qreal dpiScaled(qreal value);
    static QSize dpiScaledSize(const QSize &size);
    static QSize dpiScaledSize(int width, int height);
    static QMargins dpiScaledMargins(const QMargins &margins);
    static QMargins dpiScaledMargins(int left, int top, int right, int bottom);
};

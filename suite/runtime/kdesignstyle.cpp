#include "kdesignstyle.h"

#include "klitestyle.h"

// The design system and the lite widgets share one scale factor.
qreal KDesignStyle::dpiScaled(qreal value)
{
    return KLiteStyle::dpiScaled(value);
}

QSize KDesignStyle::dpiScaledSize(const QSize &size)
{
    return KLiteStyle::dpiScaledSize(size);
}

QSize KDesignStyle::dpiScaledSize(int width, int height)
{
    return KLiteStyle::dpiScaledSize(width, height);
}

QMargins KDesignStyle::dpiScaledMargins(const QMargins &margins)
{
    return KLiteStyle::dpiScaledMargins(margins);
}

QMargins KDesignStyle::dpiScaledMargins(int left, int top, int right, int bottom)
{
    return KLiteStyle::dpiScaledMargins(left, top, right, bottom);
}

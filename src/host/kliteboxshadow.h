#pragma once

#include "zentrihost_global.h"

#include <QColor>
#include <QImage>
#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRect>

class QWidget;

// A soft drop shadow drawn around a frameless, translucent window. The window
// keeps shadowMargins() free of its own content; caculateSize and
// caculateClientRect convert between the client and the full window.
class ZENTRIHOST_EXPORT KLiteBoxShadow : public QObject
{
    Q_OBJECT
public:
    // `offsetX`/`offsetY` shift the shadow, `blur` is its blur radius,
    // `spread` grows it before blurring.
    KLiteBoxShadow(QWidget *parent, int offsetX, int offsetY, int blur, const QColor &color, int spread);
    ~KLiteBoxShadow() override;

    void setOffset(int x, int y);
    void setOffset(const QPoint &offset);
    void setBlur(int blur);
    void setSpread(int spread);
    void setRadius(int radius);
    void setColor(const QColor &color);

    QPoint offset() const { return m_offset; }
    int blur() const { return m_blur; }
    int spread() const { return m_spread; }
    int radius() const { return m_radius; }
    QColor color() const { return m_color; }

    // Makes `window` frameless and translucent and draws the shadow under its
    // own painting from then on.
    void initFrame(QWidget *window);

    QMargins shadowMargins() const;
    QSize caculateSize(const QSize &clientSize) const;
    QRect caculateClientRect(const QRect &fullRect) const;

    // The shadow of a window of `fullSize`, transparent over the client area's
    // inside. Cached until a setting or the size changes.
    QImage shadowImage(const QSize &fullSize) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void invalidate();

    QPoint m_offset;
    int m_blur;
    int m_spread;
    int m_radius = 0;
    QColor m_color;
    QPointer<QWidget> m_window;
    mutable QImage m_cache;
};

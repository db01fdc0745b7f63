#include "kliteboxshadow.h"

#include <QEvent>
#include <QPainter>
#include <QWidget>

#include <cmath>
#include <vector>

namespace {
// One pass of a box blur along a line of `count` samples `stride` apart;
// samples outside the line count as zero.
void boxBlurLine(uchar *line, int count, int stride, int radius, std::vector<uchar> &scratch)
{
    scratch.resize(size_t(count));
    for (int i = 0; i < count; ++i)
        scratch[size_t(i)] = line[i * stride];
    const int width = 2 * radius + 1;
    int sum = 0;
    for (int i = 0; i <= radius && i < count; ++i)
        sum += scratch[size_t(i)];
    for (int i = 0; i < count; ++i) {
        line[i * stride] = uchar(sum / width);
        const int entering = i + radius + 1;
        const int leaving = i - radius;
        if (entering < count)
            sum += scratch[size_t(entering)];
        if (leaving >= 0)
            sum -= scratch[size_t(leaving)];
    }
}

// Three box blurs approximate a Gaussian with this standard deviation.
void gaussianBlur(QImage &mask, qreal sigma)
{
    const int radius = qMax(0, int(std::lround((std::sqrt(4 * sigma * sigma + 1) - 1) / 2)));
    if (radius == 0)
        return;
    std::vector<uchar> scratch;
    const int width = mask.width();
    const int height = mask.height();
    const int stride = mask.bytesPerLine();
    uchar *bits = mask.bits();
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < height; ++y)
            boxBlurLine(bits + y * stride, width, 1, radius, scratch);
        for (int x = 0; x < width; ++x)
            boxBlurLine(bits + x, height, stride, radius, scratch);
    }
}
}

KLiteBoxShadow::KLiteBoxShadow(QWidget *parent, int offsetX, int offsetY, int blur, const QColor &color, int spread)
    : QObject(parent)
    , m_offset(offsetX, offsetY)
    , m_blur(qMax(0, blur))
    , m_spread(qMax(0, spread))
    , m_color(color)
{}

KLiteBoxShadow::~KLiteBoxShadow() = default;

void KLiteBoxShadow::setOffset(int x, int y)
{
    setOffset(QPoint(x, y));
}

void KLiteBoxShadow::setOffset(const QPoint &offset)
{
    m_offset = offset;
    invalidate();
}

void KLiteBoxShadow::setBlur(int blur)
{
    m_blur = qMax(0, blur);
    invalidate();
}

void KLiteBoxShadow::setSpread(int spread)
{
    m_spread = qMax(0, spread);
    invalidate();
}

void KLiteBoxShadow::setRadius(int radius)
{
    m_radius = qMax(0, radius);
    invalidate();
}

void KLiteBoxShadow::setColor(const QColor &color)
{
    m_color = color;
    invalidate();
}

void KLiteBoxShadow::initFrame(QWidget *window)
{
    if (!window)
        return;
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = window;
    // Changing window flags hides a visible window: only do it when needed.
    if (!(window->windowFlags() & Qt::FramelessWindowHint))
        window->setWindowFlags(window->windowFlags() | Qt::FramelessWindowHint);
    window->setAttribute(Qt::WA_TranslucentBackground);
    window->installEventFilter(this);
    window->update();
}

QMargins KLiteBoxShadow::shadowMargins() const
{
    // A Gaussian of sigma blur/4 has faded out within half the blur radius.
    const int extent = (m_blur + 1) / 2 + m_spread;
    return QMargins(qMax(0, extent - m_offset.x()), qMax(0, extent - m_offset.y()), qMax(0, extent + m_offset.x()),
                    qMax(0, extent + m_offset.y()));
}

QSize KLiteBoxShadow::caculateSize(const QSize &clientSize) const
{
    const QMargins margins = shadowMargins();
    return clientSize.grownBy(margins);
}

QRect KLiteBoxShadow::caculateClientRect(const QRect &fullRect) const
{
    return fullRect.marginsRemoved(shadowMargins());
}

QImage KLiteBoxShadow::shadowImage(const QSize &fullSize) const
{
    if (fullSize.isEmpty())
        return QImage();
    if (m_cache.size() == fullSize)
        return m_cache;

    const QRect client = caculateClientRect(QRect(QPoint(0, 0), fullSize));
    const QRectF shape = QRectF(client.translated(m_offset)).adjusted(-m_spread, -m_spread, m_spread, m_spread);
    QImage mask(fullSize, QImage::Format_Grayscale8);
    mask.fill(0);
    {
        QPainter painter(&mask);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawRoundedRect(shape, m_radius, m_radius);
    }
    gaussianBlur(mask, m_blur / 4.0);

    QImage shadow(fullSize, QImage::Format_ARGB32_Premultiplied);
    const int alpha = m_color.alpha();
    for (int y = 0; y < fullSize.height(); ++y) {
        const uchar *in = mask.constScanLine(y);
        auto *out = reinterpret_cast<QRgb *>(shadow.scanLine(y));
        for (int x = 0; x < fullSize.width(); ++x) {
            const int a = in[x] * alpha / 255;
            out[x] = qRgba(m_color.red() * a / 255, m_color.green() * a / 255, m_color.blue() * a / 255, a);
        }
    }
    // The window's own background covers the client area: nothing of the
    // shadow may show through a translucent one.
    QPainter painter(&shadow);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawRoundedRect(QRectF(client), m_radius, m_radius);
    painter.end();
    m_cache = shadow;
    return m_cache;
}

bool KLiteBoxShadow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Paint) {
        // Drawn first: the window paints its client area over it.
        QPainter painter(m_window);
        painter.drawImage(0, 0, shadowImage(m_window->size()));
    }
    return QObject::eventFilter(watched, event);
}

void KLiteBoxShadow::invalidate()
{
    m_cache = QImage();
    if (m_window)
        m_window->update();
}

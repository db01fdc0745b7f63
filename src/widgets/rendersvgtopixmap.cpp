#include "rendersvgtopixmap.h"

#include "core/arkivolog.h"

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

QPixmap renderSvgToPixmap(const QString &path, const QSize &size)
{
    if (size.isEmpty())
        return QPixmap();
    QImage image(size.width(), size.height(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    QSvgRenderer renderer(path);
    if (renderer.isValid())
        renderer.render(&painter);
    else
        qCWarning(lcWidgets) << "cannot render" << path;
    painter.end();
    return QPixmap::fromImage(image);
}

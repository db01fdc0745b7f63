#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

// Renders the SVG at `path` over a transparent pixmap of exactly `size`
// (already scaled by the caller). An unreadable file gives a transparent pixmap.
QPixmap renderSvgToPixmap(const QString &path, const QSize &size);

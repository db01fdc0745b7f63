#include "kdlink.h"

KDLink::KDLink(QWidget *parent)
    : KDButton(parent)
{
    applyThemeClass(QStringLiteral("KDLink"), false);
    setCursor(Qt::PointingHandCursor);
    setFlat(true);
}

KDLink::KDLink(const QString &text, QWidget *parent)
    : KDLink(parent)
{
    setText(text);
}

KDLink::~KDLink() = default;

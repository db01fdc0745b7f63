#include "kdboxlayout.h"

#include "kdesignstyle.h"

KDBoxLayout::KDBoxLayout(QBoxLayout::Direction direction, QWidget *parent)
    : QBoxLayout(direction, parent)
{
    QBoxLayout::setContentsMargins(0, 0, 0, 0);
    QBoxLayout::setSpacing(int(KDesignStyle::dpiScaled(4)));
}

KDBoxLayout::~KDBoxLayout() = default;

#pragma once

#include <QBoxLayout>

namespace Internal {
// Parts are created in any order: a position past the end means "last".
inline void insertWidgetAt(QBoxLayout *layout, int position, QWidget *widget)
{
    if (layout->indexOf(widget) < 0)
        layout->insertWidget(qMin(position, layout->count()), widget);
}

inline void insertLayoutAt(QBoxLayout *layout, int position, QLayout *child)
{
    if (layout->indexOf(child) < 0)
        layout->insertLayout(qMin(position, layout->count()), child);
}
}

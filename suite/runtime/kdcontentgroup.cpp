#include "kdcontentgroup.h"

#include "kdesignstyle.h"
#include "kdvboxlayout.h"

KDContentGroup::KDContentGroup(QWidget *parent)
    : QWidget(parent)
    , m_layout(new KDVBoxLayout(this))
{
    m_layout->setContentsMargins(KDesignStyle::dpiScaledMargins(24, 24, 24, 8));
    m_layout->setSpacing(0);
}

KDContentGroup::~KDContentGroup() = default;

void KDContentGroup::addLayout(QLayout *layout, int stretch)
{
    if (layout)
        m_layout->addLayout(layout, stretch);
    placeInParent();
}

void KDContentGroup::addWidget(QWidget *widget, int stretch)
{
    if (widget)
        m_layout->addWidget(widget, stretch);
    placeInParent();
}

void KDContentGroup::placeInParent()
{
    QWidget *parent = parentWidget();
    QLayout *parentLayout = parent ? parent->layout() : nullptr;
    if (parentLayout && parentLayout->indexOf(this) < 0)
        parentLayout->addWidget(this);
}

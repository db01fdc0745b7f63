#include "kstyleiconbutton.h"

#include <QStyleOption>

struct KStyleIconButtonPrivate
{
    QPixmap disabled;
    QPixmap checked;
    QPixmap pressed;
    QPixmap hover;
    QPixmap focus;
    QPixmap normal;
};

KStyleIconButton::KStyleIconButton(QWidget *parent)
    : KStyleButton(parent)
    , d(new KStyleIconButtonPrivate)
{}

KStyleIconButton::~KStyleIconButton()
{
    delete d;
}

void KStyleIconButton::setNormalPixmap(const QPixmap &pixmap)
{
    d->normal = pixmap;
    update();
}

void KStyleIconButton::setHoverPixmap(const QPixmap &pixmap)
{
    d->hover = pixmap;
    update();
}

void KStyleIconButton::setPressedPixmap(const QPixmap &pixmap)
{
    d->pressed = pixmap;
    update();
}

void KStyleIconButton::setDisabledPixmap(const QPixmap &pixmap)
{
    d->disabled = pixmap;
    update();
}

void KStyleIconButton::setCheckedPixmap(const QPixmap &pixmap)
{
    d->checked = pixmap;
    update();
}

void KStyleIconButton::setFocusPixmap(const QPixmap &pixmap)
{
    d->focus = pixmap;
    update();
}

void KStyleIconButton::iconForOption(const QStyleOption *option, QIcon *icon, QSize *size) const
{
    const QStyle::State state = option ? option->state : QStyle::State_None;
    const QPixmap *chosen = nullptr;
    if (state & QStyle::State_Enabled) {
        if (isCheckable() && isChecked())
            chosen = &d->checked;
        else if (state & QStyle::State_Sunken)
            chosen = &d->pressed;
        else if (state & QStyle::State_MouseOver)
            chosen = &d->hover;
        else if (state & QStyle::State_HasFocus)
            chosen = &d->focus;
    } else {
        chosen = &d->disabled;
    }
    if (chosen && !chosen->isNull()) {
        *icon = QIcon(*chosen);
        *size = chosen->size() / chosen->devicePixelRatio();
        return;
    }
    if (!d->normal.isNull()) {
        *icon = QIcon(d->normal);
        *size = d->normal.size() / d->normal.devicePixelRatio();
        return;
    }
    KStyleButton::iconForOption(option, icon, size);
}

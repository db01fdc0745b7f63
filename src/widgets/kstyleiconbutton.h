#pragma once

#include "kstylebutton.h"

struct KStyleIconButtonPrivate;

// An icon button with one pixmap per interaction state; a state without a
// pixmap shows the normal pixmap, and without that the button's icon().
class KStyleIconButton : public KStyleButton
{
    Q_OBJECT
public:
    explicit KStyleIconButton(QWidget *parent = nullptr);
    ~KStyleIconButton() override;

    void setNormalPixmap(const QPixmap &pixmap);
    void setHoverPixmap(const QPixmap &pixmap);
    void setPressedPixmap(const QPixmap &pixmap);
    void setDisabledPixmap(const QPixmap &pixmap);
    void setCheckedPixmap(const QPixmap &pixmap);
    void setFocusPixmap(const QPixmap &pixmap);

    void iconForOption(const QStyleOption *option, QIcon *icon, QSize *size) const override;

private:
    KStyleIconButtonPrivate *d;
};

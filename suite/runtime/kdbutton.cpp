#include "kdbutton.h"

KDButton::KDButton(QWidget *parent)
    : KLiteButton(parent, KLiteThemeSupports::NormalSize)
{
    applyThemeClass(QStringLiteral("KDButton"), false);
}

KDButton::KDButton(const QString &text, QWidget *parent)
    : KDButton(parent)
{
    setText(text);
}

KDButton::~KDButton() = default;

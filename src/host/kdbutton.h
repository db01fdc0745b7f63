#pragma once

#include "klitebutton.h"

// The design system's push button (theme class "KDButton"). setAutoDefault
// and the other QPushButton operations behave as Qt's.
class ZENTRIHOST_EXPORT KDButton : public KLiteButton
{
    Q_OBJECT
public:
    explicit KDButton(QWidget *parent = nullptr);
    explicit KDButton(const QString &text, QWidget *parent = nullptr);
    ~KDButton() override;
};

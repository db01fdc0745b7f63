#pragma once

#include "kdboxlayout.h"

// A left-to-right KDBoxLayout.
class ZENTRIHOST_EXPORT KDHBoxLayout : public KDBoxLayout
{
    Q_OBJECT
public:
    explicit KDHBoxLayout(QWidget *parent = nullptr);
    ~KDHBoxLayout() override;
};

#pragma once

#include "kdboxlayout.h"

// A top-to-bottom KDBoxLayout.
class ZENTRIHOST_EXPORT KDVBoxLayout : public KDBoxLayout
{
    Q_OBJECT
public:
    explicit KDVBoxLayout(QWidget *parent = nullptr);
    ~KDVBoxLayout() override;
};

#pragma once

#include "zentrihost_global.h"

#include <QBoxLayout>

// The design system's box layout: no contents margins and a spacing of 4
// logical pixels (scaled) unless set otherwise. setSpacing and
// setContentsMargins take device pixels, as Qt's.
class ZENTRIHOST_EXPORT KDBoxLayout : public QBoxLayout
{
    Q_OBJECT
public:
    explicit KDBoxLayout(QBoxLayout::Direction direction, QWidget *parent = nullptr);
    ~KDBoxLayout() override;
};

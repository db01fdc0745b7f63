#pragma once

#include "zentrihost_global.h"

#include <QWidget>

class KDVBoxLayout;

// The padded content area of a design-system dialog: 24 logical pixels left,
// top and right, 8 below. It places itself into its parent's top layout when
// it is given content.
class ZENTRIHOST_EXPORT KDContentGroup : public QWidget
{
    Q_OBJECT
public:
    explicit KDContentGroup(QWidget *parent = nullptr);
    ~KDContentGroup() override;

    void addLayout(QLayout *layout, int stretch = 0);
    void addWidget(QWidget *widget, int stretch = 0);

private:
    void placeInParent();
    KDVBoxLayout *m_layout;
};

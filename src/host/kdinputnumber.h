#pragma once

#include "zentrihost_global.h"

#include <QSpinBox>

// The design system's number input (theme class "KDInputNumber"), QSpinBox's
// behaviour (keys, wheel, validation, correction) with a themed frame and no
// step buttons.
class ZENTRIHOST_EXPORT KDInputNumber : public QSpinBox
{
    Q_OBJECT
public:
    // `inputSize`: 0 small (24), 1 normal (28), 2 large (32 logical pixels high).
    explicit KDInputNumber(QWidget *parent = nullptr, int inputSize = 1);
    ~KDInputNumber() override;

    QSize sizeHint() const override;

private:
    void applyTheme();
    int m_inputSize;
};

#pragma once

#include "zentrihost_global.h"

#include <QRadioButton>

// The design system's radio button (theme class "KDRadioButton"): a 16-pixel
// indicator, 6 pixels of spacing, then the text; so a description indented
// by 22 pixels lines up with the text.
class ZENTRIHOST_EXPORT KDRadioButton : public QRadioButton
{
    Q_OBJECT
public:
    explicit KDRadioButton(QWidget *parent = nullptr);
    explicit KDRadioButton(const QString &text, QWidget *parent = nullptr);
    ~KDRadioButton() override;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;
};

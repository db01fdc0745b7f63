#pragma once

#include "zentrihost_global.h"

#include <QPushButton>

namespace KLiteThemeSupports {
// Heights 24, 28 and 32 logical pixels.
enum SizeType {
    SmallSize = 0,
    NormalSize = 1,
    LargeSize = 2,
};
}

// A themed push button that paints and sizes itself from its theme class
// (default "KLiteButton"). Text through QAbstractButton::setText.
class ZENTRIHOST_EXPORT KLiteButton : public QPushButton
{
    Q_OBJECT
public:
    explicit KLiteButton(QWidget *parent = nullptr,
                         KLiteThemeSupports::SizeType sizeType = KLiteThemeSupports::NormalSize);
    ~KLiteButton() override;

    // Sets the theme class; with `recursive` every KLiteButton among the
    // children gets it too.
    void applyThemeClass(const QString &themeClass, bool recursive);
    QString themeClass() const;
    KLiteThemeSupports::SizeType sizeType() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    KLiteThemeSupports::SizeType m_sizeType;
};

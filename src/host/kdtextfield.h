#pragma once

#include "zentrihost_global.h"

#include <QLineEdit>

// The design system's line edit (theme class "KDTextField"), QLineEdit's
// behaviour with a themed frame.
class ZENTRIHOST_EXPORT KDTextField : public QLineEdit
{
    Q_OBJECT
public:
    // Heights 24, 28 and 32 logical pixels.
    enum TextFieldSize {
        SmallSize = 0,
        NormalSize = 1,
        LargeSize = 2,
    };

    explicit KDTextField(QWidget *parent = nullptr, TextFieldSize size = NormalSize);
    ~KDTextField() override;

    TextFieldSize fieldSize() const { return m_size; }
    QSize sizeHint() const override;

private:
    void applyTheme();
    TextFieldSize m_size;
};

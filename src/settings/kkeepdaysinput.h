#pragma once

#include <kdinputnumber.h>

// The retention-period input of the settings dialog. Unlike a plain spin box
// it lets the user type any whole number and corrects it to the range when
// editing finishes (500 becomes the maximum), and an emptied field goes back
// to the value it held, so that a slip never changes the setting.
class KKeepDaysInput : public KDInputNumber
{
    Q_OBJECT
public:
    explicit KKeepDaysInput(QWidget *parent = nullptr, int inputSize = 1);
    ~KKeepDaysInput() override;

    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;
};

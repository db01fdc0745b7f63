#include "kkeepdaysinput.h"

namespace {
// Longer input cannot be a number of days; refusing it keeps the field sane.
constexpr int longestInput = 4;

bool isDigits(const QString &text)
{
    for (const QChar character : text) {
        if (character < QLatin1Char('0') || character > QLatin1Char('9'))
            return false;
    }
    return true;
}
}

KKeepDaysInput::KKeepDaysInput(QWidget *parent, int inputSize)
    : KDInputNumber(parent, inputSize)
{}

KKeepDaysInput::~KKeepDaysInput() = default;

QValidator::State KKeepDaysInput::validate(QString &input, int &pos) const
{
    Q_UNUSED(pos)
    const QString text = input.trimmed();
    if (text.isEmpty())
        return QValidator::Intermediate;
    if (text.size() > longestInput || !isDigits(text))
        return QValidator::Invalid;
    const int days = text.toInt();
    return days >= minimum() && days <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
}

void KKeepDaysInput::fixup(QString &input) const
{
    const QString text = input.trimmed();
    if (text.isEmpty() || !isDigits(text)) {
        input = QString::number(value());
        return;
    }
    input = QString::number(qBound(minimum(), text.toInt(), maximum()));
}

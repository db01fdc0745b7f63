#include "kdinputnumber.h"

#include "designstylesheet.h"
#include "themenotifier.h"

KDInputNumber::KDInputNumber(QWidget *parent, int inputSize)
    : QSpinBox(parent)
    , m_inputSize(inputSize)
{
    setButtonSymbols(QAbstractSpinBox::NoButtons);
    applyTheme();
    connect(ThemeNotifier::instance(), &ThemeNotifier::skinChanged, this, [this] { applyTheme(); });
}

KDInputNumber::~KDInputNumber() = default;

QSize KDInputNumber::sizeHint() const
{
    return QSize(QSpinBox::sizeHint().width(), DesignStyleSheet::inputHeight(m_inputSize));
}

void KDInputNumber::applyTheme()
{
    setStyleSheet(DesignStyleSheet::framedInput(QStringLiteral("QSpinBox"), QStringLiteral("KDInputNumber")));
}

#include "kdtextfield.h"

#include "designstylesheet.h"
#include "themenotifier.h"

KDTextField::KDTextField(QWidget *parent, TextFieldSize size)
    : QLineEdit(parent)
    , m_size(size)
{
    applyTheme();
    connect(ThemeNotifier::instance(), &ThemeNotifier::skinChanged, this, [this] { applyTheme(); });
}

KDTextField::~KDTextField() = default;

QSize KDTextField::sizeHint() const
{
    return QSize(QLineEdit::sizeHint().width(), DesignStyleSheet::inputHeight(m_size));
}

void KDTextField::applyTheme()
{
    setStyleSheet(DesignStyleSheet::framedInput(QStringLiteral("QLineEdit"), QStringLiteral("KDTextField")));
}

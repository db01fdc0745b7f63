#include "kstylelabel.h"

namespace {
const QString fontWeightHint = QStringLiteral("fontWeight");
}

KStyleLabel::KStyleLabel(QWidget *parent)
    : QLabel(parent, Qt::WindowFlags())
{
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

KStyleLabel::~KStyleLabel() = default;

QString KStyleLabel::themeClassName() const
{
    return themeClassNameOf(this);
}

void KStyleLabel::setThemeClassName(const QString &name)
{
    setThemeClassNameOf(this, name);
}

void KStyleLabel::refreshTextColor()
{
    QPalette colors = palette();
    const QColor oldColor = colors.color(QPalette::WindowText);
    const QColor color
        = KDrawHelper::getColorFromTheme(themeClassName(), QString::fromLatin1(KDrawHelper::Prop_Text), oldColor, true);
    if (color != oldColor) {
        colors.setColor(QPalette::WindowText, color);
        setPalette(colors);
    }
    update();
}

void KStyleLabel::showEvent(QShowEvent *event)
{
    if (!m_themeApplied) {
        m_themeApplied = true;
        const QString themeClass = themeClassName();
        QFont themed
            = KDrawHelper::getFontFromThemeWithDpi(themeClass, QString::fromLatin1(KDrawHelper::Prop_Text), font());
        // A class without a weight keeps the font's own: weight 0 would be Thin.
        const int weight = KDrawHelper::getHintFromTheme(themeClass, fontWeightHint, 0);
        if (weight > 0)
            themed.setWeight(weight);
        setFont(themed);
        adjustSize();
        updateGeometry();
        refreshTextColor();
    }
    QWidget::showEvent(event);
}

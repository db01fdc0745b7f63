#include "kdlabel.h"

#include "kdrawhelper.h"
#include "themenotifier.h"

namespace {
const QString themeClass = QStringLiteral("KDLabel");
}

KDLabel::KDLabel(QWidget *parent, Qt::WindowFlags flags)
    : KDLabel(QString(), parent, flags)
{}

KDLabel::KDLabel(const QString &text, QWidget *parent, Qt::WindowFlags flags)
    : QLabel(text, parent, flags)
{
    setFont(KDrawHelper::getFontFromThemeWithDpi(themeClass, QString::fromLatin1(KDrawHelper::Prop_Text), font()));
    applyTheme();
    connect(ThemeNotifier::instance(), &ThemeNotifier::skinChanged, this, [this] { applyTheme(); });
}

KDLabel::~KDLabel() = default;

void KDLabel::setPalette(const QPalette &palette)
{
    m_ownPalette = true;
    QLabel::setPalette(palette);
}

void KDLabel::applyTheme()
{
    if (m_ownPalette)
        return;
    const QString textProperty = QString::fromLatin1(KDrawHelper::Prop_Text);
    QPalette themed = palette();
    themed.setColor(QPalette::WindowText,
                    KDrawHelper::getColorFromTheme(themeClass, textProperty, themed.color(QPalette::WindowText)));
    themed.setColor(QPalette::Disabled, QPalette::WindowText,
                    KDrawHelper::getColorFromTheme(themeClass, textProperty + QStringLiteral(":disabled"),
                                                   themed.color(QPalette::Disabled, QPalette::WindowText)));
    QLabel::setPalette(themed);
}

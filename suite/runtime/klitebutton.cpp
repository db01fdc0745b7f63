#include "klitebutton.h"

#include "kdrawhelper.h"
#include "klitestyle.h"
#include "themenotifier.h"

#include <QPainter>
#include <QStyleOptionButton>

namespace {
const QString defaultClass = QStringLiteral("KLiteButton");

int heightFor(KLiteThemeSupports::SizeType sizeType)
{
    switch (sizeType) {
    case KLiteThemeSupports::SmallSize:
        return 24;
    case KLiteThemeSupports::NormalSize:
        return 28;
    case KLiteThemeSupports::LargeSize:
        break;
    }
    return 32;
}
}

KLiteButton::KLiteButton(QWidget *parent, KLiteThemeSupports::SizeType sizeType)
    : QPushButton(parent)
    , m_sizeType(sizeType)
{
    // Hover colours need a repaint when the pointer enters or leaves.
    setAttribute(Qt::WA_Hover);
    connect(ThemeNotifier::instance(), &ThemeNotifier::skinChanged, this, [this] { update(); });
}

KLiteButton::~KLiteButton() = default;

void KLiteButton::applyThemeClass(const QString &themeClass, bool recursive)
{
    setProperty(KDrawHelper::ObjectThemeClassName, themeClass);
    if (recursive) {
        const QList<KLiteButton *> children = findChildren<KLiteButton *>();
        for (KLiteButton *child : children)
            child->applyThemeClass(themeClass, false);
    }
    updateGeometry();
    update();
}

QString KLiteButton::themeClass() const
{
    return KDrawHelper::getObjectThemeClassName(this, defaultClass);
}

KLiteThemeSupports::SizeType KLiteButton::sizeType() const
{
    return m_sizeType;
}

QSize KLiteButton::sizeHint() const
{
    const QString cls = themeClass();
    const QFont textFont
        = KDrawHelper::getFontFromThemeWithDpi(cls, QString::fromLatin1(KDrawHelper::Prop_Text), font());
    const int padding = int(KLiteStyle::dpiScaled(KDrawHelper::getHintFromTheme(cls, QStringLiteral("padding"), 16)));
    const int minWidth
        = int(KLiteStyle::dpiScaled(KDrawHelper::getHintFromTheme(cls, QStringLiteral("min-width"), 64)));
    const int textWidth = QFontMetrics(textFont).size(Qt::TextShowMnemonic, text()).width();
    int iconWidth = 0;
    if (!icon().isNull())
        iconWidth = iconSize().width() + (text().isEmpty() ? 0 : int(KLiteStyle::dpiScaled(4)));
    const int height = qMax(int(KLiteStyle::dpiScaled(heightFor(m_sizeType))), QFontMetrics(textFont).height());
    return QSize(qMax(minWidth, textWidth + iconWidth + 2 * padding), height);
}

QSize KLiteButton::minimumSizeHint() const
{
    return sizeHint();
}

void KLiteButton::paintEvent(QPaintEvent *)
{
    QStyleOptionButton option;
    initStyleOption(&option);
    if (isDown())
        option.state |= QStyle::State_Sunken;
    const QString cls = themeClass();
    const QString textProperty = QString::fromLatin1(KDrawHelper::Prop_Text);
    const QFont textFont = KDrawHelper::getFontFromThemeWithDpi(cls, textProperty, font());
    QPainter painter(this);
    KDrawHelper::drawBackGround(&painter, rect(), cls, &option);

    const int padding = int(KLiteStyle::dpiScaled(KDrawHelper::getHintFromTheme(cls, QStringLiteral("padding"), 16)));
    QRect content = contentsRect().adjusted(padding, 0, -padding, 0);
    if (!icon().isNull()) {
        // Icon and text side by side, centred together.
        const QSize size = iconSize();
        const int spacing = text().isEmpty() ? 0 : int(KLiteStyle::dpiScaled(4));
        const int textWidth = QFontMetrics(textFont).size(Qt::TextShowMnemonic, text()).width();
        const int left = content.left() + qMax(0, (content.width() - size.width() - spacing - textWidth) / 2);
        const QRect iconRect(QPoint(left, content.top() + (content.height() - size.height()) / 2), size);
        KDrawHelper::drawIcon(&painter, iconRect, icon(), &option, true, cls);
        content = QRect(iconRect.right() + 1 + spacing, content.top(), textWidth, content.height());
    }
    KDrawHelper::drawText(&painter, content, text(), Qt::AlignCenter, textFont, cls, &option, Qt::ElideRight,
                          textProperty, KDrawHelper::KDrawTextColorArgs(), QColor(), 0.0, Qt::TextShowMnemonic);
}

#include "kstylebutton.h"

#include <klitestyle.h>

#include <QPainter>
#include <QStyleOptionButton>

KStyleButton::KStyleButton(QWidget *parent)
    : QAbstractButton(parent)
{
    // State pixmaps and hover backgrounds need a repaint when the pointer
    // enters or leaves.
    setAttribute(Qt::WA_Hover);
}

KStyleButton::~KStyleButton() = default;

QString KStyleButton::themeClassName() const
{
    return themeClassNameOf(this);
}

void KStyleButton::setThemeClassName(const QString &name)
{
    setThemeClassNameOf(this, name);
}

void KStyleButton::iconForOption(const QStyleOption *, QIcon *icon, QSize *size) const
{
    *icon = this->icon();
    *size = iconSize();
}

void KStyleButton::adjustTextFont(QFont *font) const
{
    const QFont own = this->font();
    font->setUnderline(own.underline());
    font->setItalic(own.italic());
    font->setStrikeOut(own.strikeOut());
    font->setBold(own.bold());
}

KStyleButton::ContentGeometry KStyleButton::contentGeometry(const QSize &iconSize, const QSize &textSize, int spacing)
{
    ContentGeometry geometry;
    geometry.size = QSize(textSize.width() + spacing + iconSize.width(), qMax(iconSize.height(), textSize.height()));
    QRect area(QPoint(0, 0), geometry.size);
    if (!iconSize.isEmpty()) {
        geometry.iconRect
            = QRect(QPoint(area.left(), area.top() + int((area.height() - iconSize.height()) * 0.5)), iconSize);
        area.setLeft(area.left() + iconSize.width() + spacing);
    }
    geometry.textRect = area;
    return geometry;
}

void KStyleButton::paintEvent(QPaintEvent *)
{
    QStyleOptionButton option;
    option.initFrom(this);
    option.text = text();
    option.icon = icon();
    option.iconSize = iconSize();
    if (isDown())
        option.state |= QStyle::State_Sunken;
    if (isCheckable() && isChecked())
        option.state |= QStyle::State_Selected;

    QIcon shownIcon;
    QSize shownIconSize;
    iconForOption(&option, &shownIcon, &shownIconSize);
    const QString shownText = text();
    const QString themeClass = themeClassName();
    const QString textProperty = QString::fromLatin1(KDrawHelper::Prop_Text);

    QPainter painter(this);
    KDrawHelper::drawBackGround(&painter, option.rect, themeClass, &option, KDrawHelper::KDrawBackGroundExArgs());
    if (shownText.isEmpty() && shownIcon.isNull())
        return;

    QFont textFont = KDrawHelper::getFontFromThemeWithDpi(themeClass, textProperty, font());
    adjustTextFont(&textFont);
    const QFontMetrics metrics(textFont);
    const QSize iconSize = shownIcon.isNull() ? QSize(0, 0) : shownIconSize;
    int spacing = 0;
    if (!shownIcon.isNull() && !shownText.isEmpty()) {
        spacing = int(KLiteStyle::dpiScaled(
            KDrawHelper::getHintFromTheme(themeClass, QString::fromLatin1(KDrawHelper::Prop_Spacing), 4)));
    }
    const QSize textSize
        = shownText.isEmpty() ? QSize(0, 0) : QSize(metrics.horizontalAdvance(shownText), metrics.height());
    const ContentGeometry geometry = contentGeometry(iconSize, textSize, spacing);
    if (geometry.size.isEmpty())
        return;

    // The content is composed offscreen, then centred as one piece.
    const qreal ratio = devicePixelRatioF();
    QPixmap content(geometry.size * ratio);
    content.setDevicePixelRatio(ratio);
    content.fill(Qt::transparent);
    QPainter contentPainter(&content);
    contentPainter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    if (!shownIcon.isNull())
        KDrawHelper::drawIcon(&contentPainter, geometry.iconRect, shownIcon, &option, true, QString());
    if (!shownText.isEmpty()) {
        KDrawHelper::drawText(&contentPainter, geometry.textRect, shownText, 0, textFont, themeClass, &option,
                              Qt::ElideNone, textProperty, KDrawHelper::KDrawTextColorArgs(), QColor(), 0.0, 0);
    }
    contentPainter.end();

    QRect target(QPoint(0, 0), geometry.size);
    target.moveCenter(contentsRect().center());
    painter.drawPixmap(target.topLeft(), content);
}

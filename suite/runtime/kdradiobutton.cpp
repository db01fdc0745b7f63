#include "kdradiobutton.h"

#include "kdrawhelper.h"
#include "klitestyle.h"
#include "themenotifier.h"
#include "themestore.h"

#include <QPainter>
#include <QStyleOptionButton>

namespace {
const QString themeClass = QStringLiteral("KDRadioButton");

int indicatorSize()
{
    return int(KLiteStyle::dpiScaled(16));
}

int indicatorSpacing()
{
    return int(KLiteStyle::dpiScaled(6));
}
}

KDRadioButton::KDRadioButton(QWidget *parent)
    : KDRadioButton(QString(), parent)
{}

KDRadioButton::KDRadioButton(const QString &text, QWidget *parent)
    : QRadioButton(text, parent)
{
    setAttribute(Qt::WA_Hover);
    setFont(KDrawHelper::getFontFromThemeWithDpi(themeClass, QString::fromLatin1(KDrawHelper::Prop_Text), font()));
    connect(ThemeNotifier::instance(), &ThemeNotifier::skinChanged, this, [this] { update(); });
}

KDRadioButton::~KDRadioButton() = default;

QSize KDRadioButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    int width = indicatorSize();
    if (!text().isEmpty())
        width += indicatorSpacing() + metrics.size(Qt::TextShowMnemonic, text()).width() + 1;
    return QSize(width, qMax(indicatorSize(), metrics.height()));
}

QSize KDRadioButton::minimumSizeHint() const
{
    return sizeHint();
}

void KDRadioButton::paintEvent(QPaintEvent *)
{
    QStyleOptionButton option;
    initStyleOption(&option);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const int size = indicatorSize();
    const QFontMetrics metrics(font());
    // The indicator centres on the first line of text.
    const int lineHeight = qMax(size, metrics.height());
    const QRectF indicator(0.5, (lineHeight - size) / 2 + 0.5, size - 1, size - 1);
    const QStyle::State state = option.state;
    if (isChecked()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(ThemeStore::stateColor(themeClass, QStringLiteral("indicator-checked"), state));
        painter.drawEllipse(indicator);
        const qreal dot = size * 6.0 / 16.0;
        painter.setBrush(ThemeStore::stateColor(themeClass, QStringLiteral("indicator-dot"), state));
        painter.drawEllipse(QRectF(indicator.center() - QPointF(dot / 2, dot / 2), QSizeF(dot, dot)));
    } else {
        painter.setPen(QPen(ThemeStore::stateColor(themeClass, QStringLiteral("indicator-border"), state), 1));
        painter.setBrush(ThemeStore::stateColor(themeClass, QStringLiteral("indicator-background"), state));
        painter.drawEllipse(indicator);
    }

    if (text().isEmpty())
        return;
    const QRect textRect(size + indicatorSpacing(), 0, width() - size - indicatorSpacing(), lineHeight);
    KDrawHelper::drawText(&painter, textRect, text(), Qt::AlignLeft | Qt::AlignVCenter, font(), themeClass, &option,
                          Qt::ElideRight, QString::fromLatin1(KDrawHelper::Prop_Text),
                          KDrawHelper::KDrawTextColorArgs(), QColor(), 0.0, Qt::TextShowMnemonic);
}

bool KDRadioButton::hitButton(const QPoint &pos) const
{
    return rect().contains(pos);
}

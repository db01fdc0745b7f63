#include "kdesignhelper.h"

#include "kdrawhelper.h"
#include "klitestyle.h"
#include "themenotifier.h"

#include <QDialog>
#include <QEvent>
#include <QLayout>
#include <QPainter>
#include <QPointer>

namespace {
const QString palette = QStringLiteral("CommonThemePalette");
const QString decoratorName = QStringLiteral("kdesign_decorator");

QColor token(const QString &name, const QColor &fallback)
{
    return KDrawHelper::getColorFromTheme(palette, name, fallback);
}

void applySkin(QDialog *dialog)
{
    QPalette colors = dialog->palette();
    const QColor window = token(QStringLiteral("kd-color-bg-window"), colors.color(QPalette::Window));
    const QColor text = token(QStringLiteral("kd-color-text-primary"), colors.color(QPalette::WindowText));
    const QColor disabled
        = token(QStringLiteral("kd-color-text-disabled"), colors.color(QPalette::Disabled, QPalette::Text));
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button})
        colors.setColor(role, window);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        colors.setColor(role, text);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        colors.setColor(QPalette::Disabled, role, disabled);
    colors.setColor(QPalette::PlaceholderText, disabled);
    colors.setColor(QPalette::Highlight, token(QStringLiteral("kd-color-primary"), colors.color(QPalette::Highlight)));
    colors.setColor(QPalette::HighlightedText, token(QStringLiteral("kd-color-text-on-primary"), Qt::white));
    colors.setColor(QPalette::Link, token(QStringLiteral("kd-color-link"), colors.color(QPalette::Link)));
    dialog->setPalette(colors);
    dialog->update();
}

// Paints the skin's window colour under the dialog's own painting, so that a
// dialog that claims opaque painting (and paints nothing itself) still gets
// its background; and keeps the dialog tall enough for its wrapped texts,
// which a window's own sizing (capped by the screen) does not guarantee.
class DialogDecorator : public QObject
{
public:
    explicit DialogDecorator(QDialog *dialog)
        : QObject(dialog)
        , m_dialog(dialog)
    {
        setObjectName(decoratorName);
        dialog->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_dialog)
            return false;
        switch (event->type()) {
        case QEvent::Paint: {
            QPainter painter(m_dialog);
            painter.fillRect(m_dialog->rect(), m_dialog->palette().color(QPalette::Window));
            break;
        }
        case QEvent::Show:
        case QEvent::LayoutRequest:
            if (!m_fitPending) {
                m_fitPending = true;
                QMetaObject::invokeMethod(
                    this, [this] { fitHeight(); }, Qt::QueuedConnection);
            }
            break;
        default:
            break;
        }
        return false;
    }

private:
    void fitHeight()
    {
        m_fitPending = false;
        QLayout *layout = m_dialog->layout();
        if (!layout || !layout->hasHeightForWidth())
            return;
        const int needed = layout->totalHeightForWidth(m_dialog->width());
        if (needed > m_dialog->height())
            m_dialog->resize(m_dialog->width(), needed);
    }

    QDialog *m_dialog;
    bool m_fitPending = false;
};
}

void KDesignHelper::stylizationDialog(QDialog *dialog)
{
    if (!dialog || dialog->findChild<QObject *>(decoratorName, Qt::FindDirectChildrenOnly))
        return;
    // Changing window flags hides a shown window: only when there is something to change.
    if (dialog->windowFlags() & Qt::WindowContextHelpButtonHint)
        dialog->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    QFont font = dialog->font();
    font.setPixelSize(int(KLiteStyle::dpiScaled(
        KDrawHelper::getHintFromTheme(QStringLiteral("CommonHint"), QStringLiteral("kd-font-size-base"), 14))));
    dialog->setFont(font);
    applySkin(dialog);
    new DialogDecorator(dialog);
    QPointer<QDialog> guarded(dialog);
    QObject::connect(ThemeNotifier::instance(), &ThemeNotifier::skinChanged, dialog, [guarded] {
        if (guarded)
            applySkin(guarded);
    });
}

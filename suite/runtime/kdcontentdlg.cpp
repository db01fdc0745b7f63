#include "kdcontentdlg.h"

#include "kdbutton.h"
#include "kdesignhelper.h"
#include "kdesignstyle.h"
#include "kdlabel.h"
#include "kdrawhelper.h"
#include "kliteboxshadow.h"
#include "kliteui.h"

#include <QDynamicPropertyChangeEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>
#include <QVBoxLayout>

namespace {
bool validType(int type)
{
    return type >= KDContentDlg::OkButton && type <= KDContentDlg::CancelButton;
}
}

KDContentDlg::KDContentDlg(const QString &title, QWidget *parent, bool frameless)
    : QDialog(parent)
    , m_layout(new QVBoxLayout(this))
    , m_title(new KDLabel(title, this))
    , m_buttonRow(new QHBoxLayout)
{
    setWindowTitle(title);
    setModal(true);
    QMargins padding = KDesignStyle::dpiScaledMargins(24, 20, 24, 24);
    if (frameless) {
        setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
        m_shadow = new KLiteBoxShadow(this, 0, 2, int(KDesignStyle::dpiScaled(24)), QColor(0, 0, 0, 40), 0);
        m_shadow->setRadius(int(KDesignStyle::dpiScaled(4)));
        m_shadow->initFrame(this);
        padding += m_shadow->shadowMargins();
    }
    m_layout->setContentsMargins(padding);
    m_layout->setSpacing(int(KDesignStyle::dpiScaled(12)));

    m_title->setFont(KDrawHelper::getFontFromThemeWithDpi(
        QStringLiteral("KDContentDlg-title"), QString::fromLatin1(KDrawHelper::Prop_Text), m_title->font()));
    m_title->setWordWrap(true);
    m_title->setVisible(!title.isEmpty());
    m_layout->addWidget(m_title);

    m_buttonRow->setSpacing(int(KDesignStyle::dpiScaled(12)));
    m_buttonRow->addStretch(1);
    m_layout->addLayout(m_buttonRow);
    KDesignHelper::stylizationDialog(this);
}

KDContentDlg::~KDContentDlg() = default;

void KDContentDlg::setContentWidget(QWidget *widget)
{
    if (widget == m_content)
        return;
    delete m_content;
    m_content = widget;
    if (widget)
        m_layout->insertWidget(1, widget);
}

QWidget *KDContentDlg::contentWidget() const
{
    return m_content;
}

void KDContentDlg::setButtonText(int type, const QString &text)
{
    if (!validType(type))
        return;
    KDButton *&button = m_buttons[type];
    if (!button) {
        button = new KDButton(text, this);
        button->setFixedHeight(int(KDesignStyle::dpiScaled(32)));
        button->setMinimumWidth(int(KDesignStyle::dpiScaled(80)));
        if (type == OkButton) {
            button->applyThemeClass(QStringLiteral("KLiteButton-primary"), false);
            button->setDefault(true);
        }
        connect(button, &QAbstractButton::clicked, this, [this, type] { done(m_results[type]); });
        // The stretch comes first, then the buttons in type order.
        int position = 1;
        for (int earlier = 0; earlier < type; ++earlier)
            position += m_buttons[earlier] ? 1 : 0;
        m_buttonRow->insertWidget(position, button);
        nameButtons();
    }
    button->setText(text);
}

void KDContentDlg::setButtonResult(int type, int result)
{
    if (validType(type))
        m_results[type] = result;
}

void KDContentDlg::setEscResult(int result)
{
    m_escResult = result;
}

KDButton *KDContentDlg::button(int type) const
{
    return validType(type) ? m_buttons[type] : nullptr;
}

void KDContentDlg::reject()
{
    done(m_escResult);
}

bool KDContentDlg::event(QEvent *event)
{
    if (event->type() == QEvent::DynamicPropertyChange
        && static_cast<QDynamicPropertyChangeEvent *>(event)->propertyName() == KLiteUi::Prop_QtSpyName) {
        nameButtons();
    }
    return QDialog::event(event);
}

void KDContentDlg::paintEvent(QPaintEvent *event)
{
    if (!m_shadow) {
        QDialog::paintEvent(event);
        return;
    }
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    KDrawHelper::drawBackGround(&painter, m_shadow->caculateClientRect(rect()), QString(), &option);
}

void KDContentDlg::mousePressEvent(QMouseEvent *event)
{
    if (m_shadow && event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragOffset = event->globalPos() - pos();
        return;
    }
    QDialog::mousePressEvent(event);
}

void KDContentDlg::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging) {
        move(event->globalPos() - m_dragOffset);
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void KDContentDlg::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_dragging && event->button() == Qt::LeftButton) {
        m_dragging = false;
        return;
    }
    QDialog::mouseReleaseEvent(event);
}

void KDContentDlg::nameButtons()
{
    const QString name = KLiteUi::spyName(this);
    for (int type = 0; type < ButtonCount; ++type) {
        if (m_buttons[type] && !name.isEmpty())
            KLiteUi::setSpyName(m_buttons[type], QStringLiteral("%1Btn%2").arg(name).arg(type));
    }
}

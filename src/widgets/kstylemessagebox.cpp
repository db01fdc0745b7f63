#include "kstylemessagebox.h"

#include "kbackupcontentbutton.h"
#include "kmovehelper.h"
#include "kstyleiconbutton.h"
#include "kstylelabel.h"
#include "plugin/arkivoapplication.h"
#include "rendersvgtopixmap.h"
#include "resources/arkivoresources.h"

#include <kdrawhelper.h>
#include <kliteboxshadow.h>
#include <klitestyle.h>
#include <kliteui.h>

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QVBoxLayout>

namespace {
const QString titleClass = QStringLiteral("KStyleMessageBox-title");
const QString messageClass = QStringLiteral("KStyleMessageBox-message");
const QString closeButtonClass = QStringLiteral("KStyleButton-dialog-closeBtn");
const QString acceptButtonClass = QStringLiteral("KStyleMessageBox-accptBtn");
const QString rejectButtonClass = QStringLiteral("KStyleMessageBox-rejectBtn");
}

KStyleMessageBox::KStyleMessageBox(const QString &title, const QString &message, QWidget *parent)
    : QDialog(parent, Qt::FramelessWindowHint)
{
    Arkivo::ensureResources();
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (!title.isEmpty()) {
        buildTitle();
        m_titleLabel->setText(title);
    }
    setWindowTitle(title);
    if (!message.isEmpty())
        buildMessage();
    if (m_messageLabel) {
        // The message is plain text inside rich text: "<" and line breaks must show as typed.
        const QString shown = message.toHtmlEscaped().replace(QLatin1Char('\n'), QLatin1String("<br>"));
        m_messageLabel->setText(QStringLiteral("<p style=\"line-height: %1px;\">%2</p>")
                                    .arg(QString::number(KLiteStyle::dpiScaled(22), 'g'), shown));
    }
    connect(&arkivoApplication::instance(), &arkivoApplication::sigSkinChanged, this, &KStyleMessageBox::onSkinChanged);
}

KStyleMessageBox::~KStyleMessageBox() = default;

void KStyleMessageBox::addButton(const QString &text, const QSize &size, int resultCode, bool acceptStyle,
                                 bool isDefault, bool isEscape)
{
    if (!m_actionGroup) {
        buildButtonBar();
        m_actionGroup = new QButtonGroup(m_buttonBar);
        m_actionGroup->setExclusive(true);
        connect(m_actionGroup, &QButtonGroup::idClicked, this, &KStyleMessageBox::onButtonClicked);
    }
    buildButtonBar();

    auto *button = new KBackupContentButton(this);
    button->setText(text);
    KLiteUi::setSpyName(button, QStringLiteral("%1Btn%2").arg(spyName()).arg(m_actionGroup->buttons().size()));
    // Callers pass sizes that are already scaled.
    const QSize buttonSize = (size.isValid() && !size.isEmpty()) ? size : KLiteStyle::dpiScaledSize(84, 30);
    button->setMinimumWidth(buttonSize.width());
    button->setFixedHeight(buttonSize.height());
    button->applyThemeClass(acceptStyle ? acceptButtonClass : rejectButtonClass, false);

    const int id = m_resultCodes.size();
    m_actionGroup->addButton(button, id);
    m_buttonBarLayout->addWidget(button);
    m_resultCodes.append(resultCode);
    if (isDefault)
        m_defaultButtonId = id;
    if (isEscape) {
        m_escapeButtonId = id;
        if (m_closeResult == 0)
            m_closeResult = resultCode;
        if (m_escapeResult == 0)
            m_escapeResult = resultCode;
    }
}

void KStyleMessageBox::setCloseResult(int result)
{
    m_closeResult = result;
}

void KStyleMessageBox::setEscapeResult(int result)
{
    m_escapeResult = result;
}

void KStyleMessageBox::setBoxSize(const QSize &size)
{
    buildShadow();
    const QSize full = m_shadow ? m_shadow->caculateSize(size) : size;
    setFixedWidth(full.width());
    setMinimumHeight(full.height());
    if (m_messageArea) {
        const QMargins shadowMargins = m_shadow ? m_shadow->shadowMargins() : QMargins();
        m_messageArea->setFixedWidth(full.width() - shadowMargins.left() - shadowMargins.right());
        if (m_messageLabel && m_messageAreaLayout) {
            const QMargins margins = m_messageAreaLayout->contentsMargins();
            m_messageLabel->setFixedWidth(m_messageArea->width() - margins.left() - margins.right());
        }
    }
    fitToContents();
}

void KStyleMessageBox::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (QAbstractButton *button = m_actionGroup ? m_actionGroup->button(m_defaultButtonId) : nullptr)
            button->click();
        event->ignore();
        return;
    case Qt::Key_Escape: {
        QAbstractButton *button
            = (m_actionGroup && m_escapeButtonId != -1) ? m_actionGroup->button(m_escapeButtonId) : nullptr;
        if (button)
            button->click();
        else
            done(m_escapeResult);
        event->ignore();
        return;
    }
    default:
        QDialog::keyPressEvent(event);
    }
}

void KStyleMessageBox::paintEvent(QPaintEvent *)
{
    QStyleOptionButton option;
    option.initFrom(this);
    option.rect = m_shadow ? m_shadow->caculateClientRect(rect()) : rect();
    QPainter painter(this);
    KDrawHelper::drawBackGround(&painter, option.rect, KDrawHelper::getObjectThemeClassName(this, QString()), &option,
                                KDrawHelper::KDrawBackGroundExArgs());
}

void KStyleMessageBox::showEvent(QShowEvent *event)
{
    if (!m_shownOnce) {
        m_shownOnce = true;
        buildShadow();
        buildTitle();
        buildCloseButton();
        buildMessage();
        m_mainLayout->setContentsMargins(m_shadow->shadowMargins());
    }
    QDialog::showEvent(event);
    QMetaObject::invokeMethod(
        this, [this] { fitToContents(); }, Qt::QueuedConnection);
}

void KStyleMessageBox::onButtonClicked(int id)
{
    if (id >= 0 && id < m_resultCodes.size())
        done(m_resultCodes.at(id));
}

void KStyleMessageBox::onCloseButtonClicked()
{
    done(m_closeResult);
}

void KStyleMessageBox::onSkinChanged()
{
    if (m_titleLabel)
        m_titleLabel->refreshTextColor();
    if (m_messageLabel)
        m_messageLabel->refreshTextColor();
    // The background and buttons read the theme when they paint.
    update();
}

void KStyleMessageBox::buildMainLayout()
{
    if (m_mainLayout)
        return;
    m_mainLayout = new QVBoxLayout(this);
    m_mainLayout->setSpacing(0);
    m_mainLayout->setAlignment(Qt::AlignTop);
    m_mainLayout->setContentsMargins(m_shadow ? m_shadow->shadowMargins() : QMargins());
}

void KStyleMessageBox::buildTitleBar()
{
    if (m_titleBar)
        return;
    buildMainLayout();
    m_titleBar = new QWidget(this);
    m_titleBar->setContentsMargins(0, 0, 0, 0);
    if (m_mainLayout->indexOf(m_titleBar) < 0)
        m_mainLayout->insertWidget(0, m_titleBar);
    new styleui::KMoveHelper(this, this, m_titleBar);
    m_titleBarLayout = new QHBoxLayout(m_titleBar);
    m_titleBarLayout->setSpacing(0);
    m_titleBarLayout->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_titleBarLayout->setContentsMargins(KLiteStyle::dpiScaledMargins(24, 24, 24, 0));
}

void KStyleMessageBox::buildTitle()
{
    if (m_titleLabel)
        return;
    buildTitleBar();
    auto *row = new QHBoxLayout;
    row->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    row->setContentsMargins(KLiteStyle::dpiScaledMargins(0, 0, 0, 0));
    m_titleBarLayout->addLayout(row, 1);
    m_titleLabel = new KStyleLabel(m_titleBar);
    m_titleLabel->setThemeClassName(titleClass);
    m_titleLabel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_titleLabel->setWordWrap(true);
    row->insertWidget(0, m_titleLabel);
}

void KStyleMessageBox::buildCloseButton()
{
    if (m_closeButton)
        return;
    buildTitleBar();
    auto *row = new QHBoxLayout;
    row->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row->setContentsMargins(KLiteStyle::dpiScaledMargins(0, 0, 0, 0));
    m_titleBarLayout->addStretch(0);
    m_titleBarLayout->addLayout(row, 0);

    m_closeButton = new KStyleIconButton(m_titleBar);
    m_closeButton->setThemeClassName(closeButtonClass);
    KLiteUi::setSpyName(m_closeButton, QStringLiteral("%1CloseBtn").arg(spyName()));
    const QSize size = KLiteStyle::dpiScaledSize(16, 16);
    m_closeButton->setMinimumWidth(size.width());
    m_closeButton->setFixedHeight(size.height());
    m_closeButton->setToolTip(tr("Close"));
    m_closeButton->setNormalPixmap(renderSvgToPixmap(QStringLiteral(":/icons_svg/dialog_close.svg"), size));
    m_closeButton->setHoverPixmap(renderSvgToPixmap(QStringLiteral(":/icons_svg/dialog_close_hover.svg"), size));
    m_closeButton->setPressedPixmap(renderSvgToPixmap(QStringLiteral(":/icons_svg/dialog_close_down.svg"), size));
    connect(m_closeButton, &QAbstractButton::clicked, this, &KStyleMessageBox::onCloseButtonClicked);
    row->insertWidget(0, m_closeButton);
}

void KStyleMessageBox::buildContent()
{
    if (m_messageArea)
        return;
    buildMainLayout();
    m_messageArea = new QWidget(this);
    m_messageArea->setContentsMargins(0, 0, 0, 0);
    const int titleIndex = m_titleBar ? m_mainLayout->indexOf(m_titleBar) : -1;
    m_mainLayout->insertWidget(titleIndex + 1, m_messageArea);
    m_messageAreaLayout = new QVBoxLayout(m_messageArea);
    m_messageAreaLayout->setSpacing(0);
    m_messageAreaLayout->setContentsMargins(KLiteStyle::dpiScaledMargins(24, 20, 24, 24));
}

void KStyleMessageBox::buildMessage()
{
    if (m_messageLabel)
        return;
    buildContent();
    m_messageLabel = new KStyleLabel(m_messageArea);
    m_messageLabel->setThemeClassName(messageClass);
    m_messageLabel->setWordWrap(true);
    m_messageAreaLayout->insertWidget(0, m_messageLabel);
}

void KStyleMessageBox::buildButtonBar()
{
    if (m_buttonBar)
        return;
    buildMainLayout();
    m_buttonBar = new QWidget(this);
    m_buttonBar->setContentsMargins(0, 0, 0, 0);
    m_mainLayout->addWidget(m_buttonBar);
    m_buttonBarLayout = new QHBoxLayout(m_buttonBar);
    m_buttonBarLayout->setSpacing(int(KLiteStyle::dpiScaled(12)));
    m_buttonBarLayout->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_buttonBarLayout->setContentsMargins(KLiteStyle::dpiScaledMargins(24, 0, 24, 24));
}

void KStyleMessageBox::buildShadow()
{
    if (m_shadow)
        return;
    m_shadow = new KLiteBoxShadow(this, 0, 0, int(KLiteStyle::dpiScaled(15)), QColor(0, 0, 0, 51), 0);
    m_shadow->setOffset(0, 2);
    m_shadow->setBlur(int(KLiteStyle::dpiScaled(40)));
    m_shadow->setSpread(0);
    m_shadow->setRadius(int(KLiteStyle::dpiScaled(4)));
    m_shadow->setColor(QColor(0, 0, 0, 20));
    m_shadow->initFrame(this);
}

void KStyleMessageBox::fitToContents()
{
    adjustSize();
    // adjustSize caps a window at two thirds of the screen: a long message
    // at a large scale must still not be clipped.
    if (QLayout *boxLayout = layout(); boxLayout && boxLayout->hasHeightForWidth()) {
        const int needed = boxLayout->totalHeightForWidth(width());
        if (needed > height())
            resize(width(), needed);
    }
    updateGeometry();
}

QString KStyleMessageBox::spyName() const
{
    return KLiteUi::spyName(this);
}

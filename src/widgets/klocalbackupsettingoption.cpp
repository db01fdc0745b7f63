#include "klocalbackupsettingoption.h"

#include "layoutinsert_p.h"
#include "secondarytext.h"

#include <kdesignstyle.h>
#include <kdlabel.h>
#include <kdradiobutton.h>
#include <kdvboxlayout.h>

#include <QVariant>

KLocalBackupSettingOption::KLocalBackupSettingOption(QWidget *parent)
    : QWidget(parent, Qt::WindowFlags())
{}

KLocalBackupSettingOption::~KLocalBackupSettingOption() = default;

KDRadioButton *KLocalBackupSettingOption::radioButton()
{
    ensureOptionLayout();
    if (!m_radioButton) {
        m_radioButton = new KDRadioButton(this);
        m_radioButton->setAttribute(Qt::WA_MacShowFocusRect, false);
        m_radioButton->setContentsMargins(0, 0, 0, 0);
        connect(m_radioButton, &QAbstractButton::toggled, this, &KLocalBackupSettingOption::toggled,
                Qt::UniqueConnection);
    }
    Internal::insertWidgetAt(m_optionLayout, 0, m_radioButton);
    return m_radioButton;
}

bool KLocalBackupSettingOption::isChecked() const
{
    return m_radioButton && m_radioButton->isChecked();
}

void KLocalBackupSettingOption::setChecked(bool checked)
{
    radioButton()->setChecked(checked);
}

void KLocalBackupSettingOption::setText(const QString &text)
{
    if (!text.isEmpty())
        radioButton();
    if (m_radioButton)
        m_radioButton->setText(text);
}

void KLocalBackupSettingOption::setDescription(const QString &description)
{
    if (!description.isEmpty())
        ensureDescriptionLabel();
    if (m_descriptionLabel)
        m_descriptionLabel->setText(description);
}

void KLocalBackupSettingOption::addExtraWidget(QWidget *widget)
{
    if (!widget)
        return;
    Internal::insertWidgetAt(ensureDescriptionLayout(), 1, widget);
}

void KLocalBackupSettingOption::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    SecondaryText::apply(m_descriptionLabel);
}

KDVBoxLayout *KLocalBackupSettingOption::ensureOptionLayout()
{
    if (!m_optionLayout) {
        m_optionLayout = new KDVBoxLayout(this);
        m_optionLayout->setContentsMargins(0, 0, 0, 0);
    }
    return m_optionLayout;
}

KDVBoxLayout *KLocalBackupSettingOption::ensureDescriptionLayout()
{
    ensureOptionLayout();
    if (!m_descriptionLayout) {
        m_descriptionLayout = new KDVBoxLayout;
        m_descriptionLayout->setAlignment(Qt::AlignTop);
        m_descriptionLayout->setContentsMargins(KDesignStyle::dpiScaledMargins(22, 0, 0, 0));
    }
    Internal::insertLayoutAt(m_optionLayout, 1, m_descriptionLayout);
    return m_descriptionLayout;
}

KDLabel *KLocalBackupSettingOption::ensureDescriptionLabel()
{
    ensureDescriptionLayout();
    if (!m_descriptionLabel) {
        m_descriptionLabel = new KDLabel(this, Qt::WindowFlags());
        m_descriptionLabel->setProperty("isSetMuitWidth", true);
        m_descriptionLabel->setWordWrap(true);
        SecondaryText::follow(m_descriptionLabel);
    }
    Internal::insertWidgetAt(m_descriptionLayout, 0, m_descriptionLabel);
    return m_descriptionLabel;
}

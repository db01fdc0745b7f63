#include "klocalbackupsettingtimeoption.h"

#include "ktimedbackupeditgroup.h"

#include <kdtextfield.h>
#include <kliteui.h>

#include <QDynamicPropertyChangeEvent>

namespace {
int editorNumber(const KDTextField *editor)
{
    if (!editor)
        return 0;
    bool ok = false;
    const int value = editor->text().toInt(&ok, 10);
    return ok ? value : 0;
}
}

KLocalBackupSettingTimeOption::KLocalBackupSettingTimeOption(QWidget *parent)
    : KLocalBackupSettingOption(parent)
    , m_editGroup(new KTimedBackupEditGroup(this))
{
    m_editGroup->build();
    addExtraWidget(m_editGroup);
}

KLocalBackupSettingTimeOption::~KLocalBackupSettingTimeOption() = default;

int KLocalBackupSettingTimeOption::hours() const
{
    return m_editGroup ? editorNumber(m_editGroup->existingHoursEditor()) : 0;
}

int KLocalBackupSettingTimeOption::minutes() const
{
    return m_editGroup ? editorNumber(m_editGroup->existingMinutesEditor()) : 0;
}

void KLocalBackupSettingTimeOption::setHours(int hours)
{
    if (m_editGroup)
        m_editGroup->hoursEditor()->setText(QString::number(hours));
}

void KLocalBackupSettingTimeOption::setMinutes(int minutes)
{
    if (m_editGroup)
        m_editGroup->minutesEditor()->setText(QString::number(minutes));
}

void KLocalBackupSettingTimeOption::onToggled(bool checked)
{
    if (!m_editGroup)
        return;
    KDTextField *hoursEditor = m_editGroup->hoursEditor();
    KDTextField *minutesEditor = m_editGroup->minutesEditor();
    hoursEditor->setEnabled(checked);
    minutesEditor->setEnabled(checked);
    if (checked)
        hoursEditor->setFocus();
}

bool KLocalBackupSettingTimeOption::event(QEvent *event)
{
    if (event->type() == QEvent::DynamicPropertyChange
        && static_cast<QDynamicPropertyChangeEvent *>(event)->propertyName() == KLiteUi::Prop_QtSpyName) {
        const QString name = KLiteUi::spyName(this);
        if (!name.isEmpty() && m_editGroup)
            m_editGroup->renameAfter(name);
    }
    return QWidget::event(event);
}

void KLocalBackupSettingTimeOption::showEvent(QShowEvent *event)
{
    if (!m_firstShowDone) {
        m_firstShowDone = true;
        if (m_editGroup) {
            m_editGroup->build();
            connect(m_editGroup->hoursEditor(), &QLineEdit::editingFinished, this,
                    &KLocalBackupSettingTimeOption::hoursEditingFinished, Qt::UniqueConnection);
            connect(m_editGroup->minutesEditor(), &QLineEdit::editingFinished, this,
                    &KLocalBackupSettingTimeOption::minutesEditingFinished, Qt::UniqueConnection);
            connect(this, &KLocalBackupSettingOption::toggled, this, &KLocalBackupSettingTimeOption::onToggled,
                    Qt::UniqueConnection);
            addExtraWidget(m_editGroup);
        }
    }
    KLocalBackupSettingOption::showEvent(event);
}

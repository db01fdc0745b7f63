#include "ktimedbackupeditgroup.h"

#include "layoutinsert_p.h"
#include "secondarytext.h"

#include <kdesignstyle.h>
#include <kdhboxlayout.h>
#include <kdlabel.h>
#include <kdtextfield.h>
#include <kliteui.h>

#include <QIntValidator>

namespace {
// QIntValidator lets a number above the range stand as intermediate input
// while it has no more digits than the top ("50" for 0 to 11); such a value
// could never be accepted, yet would be read back. It is refused as typed.
class RangeValidator : public QIntValidator
{
public:
    RangeValidator(int top, QObject *parent)
        : QIntValidator(0, top, parent)
    {}

    State validate(QString &input, int &position) const override
    {
        const State state = QIntValidator::validate(input, position);
        bool number = false;
        const int value = input.toInt(&number);
        if (state == Intermediate && number && value > top())
            return Invalid;
        return state;
    }
};

const QString hoursEditorName = QStringLiteral("%1HoursEditor");
const QString minutesEditorName = QStringLiteral("%1MinutesEditor");
}

KTimedBackupEditGroup::KTimedBackupEditGroup(QWidget *parent)
    : QWidget(parent)
{}

KTimedBackupEditGroup::~KTimedBackupEditGroup() = default;

void KTimedBackupEditGroup::build()
{
    setContentsMargins(0, 0, 0, 0);
    ensureLayout();
    if (!m_intervalLabel) {
        m_intervalLabel = new KDLabel(tr("Time interval of"), this);
        SecondaryText::follow(m_intervalLabel);
    }
    if (!m_hoursLabel) {
        m_hoursLabel = new KDLabel(this);
        m_hoursLabel->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        m_hoursLabel->setFixedHeight(int(KDesignStyle::dpiScaled(22)));
        SecondaryText::follow(m_hoursLabel);
    }
    if (!m_minutesLabel) {
        m_minutesLabel = new KDLabel(this);
        m_minutesLabel->setFixedHeight(int(KDesignStyle::dpiScaled(22)));
        SecondaryText::follow(m_minutesLabel);
    }
    Internal::insertWidgetAt(m_groupLayout, 0, m_intervalLabel);
    Internal::insertWidgetAt(m_groupLayout, 2, m_hoursLabel);
    Internal::insertWidgetAt(m_groupLayout, 4, m_minutesLabel);
    connect(hoursEditor(), &QLineEdit::textChanged, this, &KTimedBackupEditGroup::updateUnitLabels,
            Qt::UniqueConnection);
    connect(minutesEditor(), &QLineEdit::textChanged, this, &KTimedBackupEditGroup::updateUnitLabels,
            Qt::UniqueConnection);
    updateUnitLabels();
}

void KTimedBackupEditGroup::updateUnitLabels()
{
    // The units agree with the numbers beside them ("1 hour", "2 hours").
    if (m_hoursLabel)
        m_hoursLabel->setText(tr("hours", nullptr, m_hoursEditor ? m_hoursEditor->text().toInt() : 0));
    if (m_minutesLabel)
        m_minutesLabel->setText(
            tr("minutes (less than 12 hours)", nullptr, m_minutesEditor ? m_minutesEditor->text().toInt() : 0));
}

KDTextField *KTimedBackupEditGroup::hoursEditor()
{
    return ensureEditor(&m_hoursEditor, 11, 1, hoursEditorName);
}

KDTextField *KTimedBackupEditGroup::minutesEditor()
{
    return ensureEditor(&m_minutesEditor, 59, 3, minutesEditorName);
}

void KTimedBackupEditGroup::renameAfter(const QString &ownerName)
{
    KLiteUi::setSpyName(this, QStringLiteral("%1EditGroup").arg(ownerName));
    const QString groupName = KLiteUi::spyName(this);
    KLiteUi::setSpyName(hoursEditor(), hoursEditorName.arg(groupName));
    KLiteUi::setSpyName(minutesEditor(), minutesEditorName.arg(groupName));
}

void KTimedBackupEditGroup::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    for (KDLabel *label : {m_intervalLabel, m_hoursLabel, m_minutesLabel})
        SecondaryText::apply(label);
}

KDHBoxLayout *KTimedBackupEditGroup::ensureLayout()
{
    if (!m_groupLayout) {
        // Named before the layout exists, after the owner as it is named now.
        const QString name = parentWidget() ? QStringLiteral("%1EditGroup").arg(KLiteUi::spyName(parentWidget()))
                                            : QStringLiteral("editGroup");
        KLiteUi::setSpyName(this, name);
        m_groupLayout = new KDHBoxLayout(this);
        m_groupLayout->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        m_groupLayout->setContentsMargins(0, 0, 0, 0);
    }
    return m_groupLayout;
}

KDTextField *KTimedBackupEditGroup::ensureEditor(KDTextField **editor, int top, int position, const QString &nameFormat)
{
    ensureLayout();
    if (!*editor) {
        auto *field = new KDTextField(this, KDTextField::TextFieldSize(1));
        KLiteUi::setSpyName(field, nameFormat.arg(KLiteUi::spyName(this)));
        field->setValidator(new RangeValidator(top, this));
        field->setFixedSize(KDesignStyle::dpiScaledSize(80, 28));
        field->setAlignment(Qt::AlignLeft);
        *editor = field;
    }
    Internal::insertWidgetAt(m_groupLayout, position, *editor);
    return *editor;
}

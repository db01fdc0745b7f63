#pragma once

#include <QWidget>

class KDHBoxLayout;
class KDLabel;
class KDTextField;

// The row "Time interval of [h] hours [m] minutes (less than 12 hours)" of the
// timed-backup option. The editors accept 0 to 11 hours and 0 to 59 minutes.
class KTimedBackupEditGroup : public QWidget
{
    Q_OBJECT
public:
    explicit KTimedBackupEditGroup(QWidget *parent = nullptr);
    ~KTimedBackupEditGroup() override;

    // Creates the parts that do not exist yet.
    void build();

    // Create the editor when there is none yet.
    KDTextField *hoursEditor();
    KDTextField *minutesEditor();
    // Without creating anything.
    KDTextField *existingHoursEditor() const { return m_hoursEditor; }
    KDTextField *existingMinutesEditor() const { return m_minutesEditor; }

    // Renames the group "%1EditGroup" after `ownerName` and its editors after the group.
    void renameAfter(const QString &ownerName);

protected:
    void showEvent(QShowEvent *event) override;

private:
    KDHBoxLayout *ensureLayout();
    void updateUnitLabels();
    KDTextField *ensureEditor(KDTextField **editor, int top, int position, const QString &nameFormat);

    KDHBoxLayout *m_groupLayout = nullptr;
    KDLabel *m_intervalLabel = nullptr;
    KDLabel *m_hoursLabel = nullptr;
    KDLabel *m_minutesLabel = nullptr;
    KDTextField *m_hoursEditor = nullptr;
    KDTextField *m_minutesEditor = nullptr;
};

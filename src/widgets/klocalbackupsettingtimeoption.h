#pragma once

#include "klocalbackupsettingoption.h"

class KTimedBackupEditGroup;

// The timed-backup option: a KLocalBackupSettingOption whose extra widget is
// the hours-and-minutes interval row.
class KLocalBackupSettingTimeOption : public KLocalBackupSettingOption
{
    Q_OBJECT
public:
    explicit KLocalBackupSettingTimeOption(QWidget *parent = nullptr);
    ~KLocalBackupSettingTimeOption() override;

    // The editors' numbers; 0 for an empty or unreadable editor.
    int hours() const;
    int minutes() const;
    void setHours(int hours);
    void setMinutes(int minutes);

    KTimedBackupEditGroup *editGroup() const { return m_editGroup; }

signals:
    void hoursEditingFinished();
    void minutesEditingFinished();

public slots:
    // Enables the editors with `checked`, focusing the hours editor when on.
    // Until the option's first show the dialog calls it itself.
    void onToggled(bool checked);

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    bool m_firstShowDone = false;
    KTimedBackupEditGroup *m_editGroup;
};

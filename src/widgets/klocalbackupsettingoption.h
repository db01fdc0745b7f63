#pragma once

#include <QWidget>

class KDLabel;
class KDRadioButton;
class KDVBoxLayout;

// One backup-mode choice of the settings dialog: a radio button with its
// title and, indented below it, a grey description and an optional extra
// widget. Parts are created when first needed.
class KLocalBackupSettingOption : public QWidget
{
    Q_OBJECT
public:
    explicit KLocalBackupSettingOption(QWidget *parent = nullptr);
    ~KLocalBackupSettingOption() override;

    // Creates the radio button when there is none yet.
    KDRadioButton *radioButton();
    bool isChecked() const;
    void setChecked(bool checked);
    // An empty text on an option without radio button does nothing.
    void setText(const QString &text);
    // An empty description on an option without description does nothing.
    void setDescription(const QString &description);
    // Puts `widget` below the description.
    void addExtraWidget(QWidget *widget);

    // The description label, or null while there is none.
    KDLabel *descriptionLabel() const { return m_descriptionLabel; }

signals:
    void toggled(bool checked);

protected:
    void showEvent(QShowEvent *event) override;

private:
    KDVBoxLayout *ensureOptionLayout();
    KDVBoxLayout *ensureDescriptionLayout();
    KDLabel *ensureDescriptionLabel();

    KDVBoxLayout *m_optionLayout = nullptr;
    KDVBoxLayout *m_descriptionLayout = nullptr;
    KDRadioButton *m_radioButton = nullptr;
    KDLabel *m_descriptionLabel = nullptr;
};

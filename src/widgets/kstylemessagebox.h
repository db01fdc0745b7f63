#pragma once

#include <QDialog>
#include <QList>

class KLiteBoxShadow;
class KStyleIconButton;
class KStyleLabel;
class QButtonGroup;
class QHBoxLayout;
class QVBoxLayout;

// The themed, frameless modal message box: title with close button, a
// word-wrapped message and a right-aligned row of action buttons, each with
// the result code exec() returns when it is clicked.
class KStyleMessageBox : public QDialog
{
    Q_OBJECT
public:
    KStyleMessageBox(const QString &title, const QString &message, QWidget *parent = nullptr);
    ~KStyleMessageBox() override;

    // Buttons appear left to right in the order added. An invalid or empty
    // `size` means 84 x 30 scaled; a given size is used as is.
    void addButton(const QString &text, const QSize &size, int resultCode, bool acceptStyle, bool isDefault,
                   bool isEscape);
    void setCloseResult(int result);
    void setEscapeResult(int result);
    // The size of the box without its shadow.
    void setBoxSize(const QSize &size);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private slots:
    void onButtonClicked(int id);
    void onCloseButtonClicked();
    void onSkinChanged();

private:
    void buildMainLayout();
    void buildTitleBar();
    void buildTitle();
    void buildCloseButton();
    void buildContent();
    void buildMessage();
    void buildButtonBar();
    void buildShadow();
    void fitToContents();
    QString spyName() const;

    bool m_shownOnce = false;
    KLiteBoxShadow *m_shadow = nullptr;
    QVBoxLayout *m_mainLayout = nullptr;
    QWidget *m_titleBar = nullptr;
    QHBoxLayout *m_titleBarLayout = nullptr;
    QWidget *m_messageArea = nullptr;
    QVBoxLayout *m_messageAreaLayout = nullptr;
    QWidget *m_buttonBar = nullptr;
    QHBoxLayout *m_buttonBarLayout = nullptr;
    KStyleLabel *m_titleLabel = nullptr;
    KStyleIconButton *m_closeButton = nullptr;
    KStyleLabel *m_messageLabel = nullptr;
    QButtonGroup *m_actionGroup = nullptr;
    QList<int> m_resultCodes;
    int m_defaultButtonId = 0;
    int m_escapeButtonId = -1;
    int m_closeResult = 0;
    int m_escapeResult = 0;
};

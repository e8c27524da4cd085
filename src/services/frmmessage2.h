#pragma once
// The program's own message window: an information box (a list of lines), an error box
// and a question box with two captioned buttons, and the start-up log that start-up and
// the bus set-up append to. One shared instance serves the whole program; "loaded" and
// "unloaded" are states of it, and the answer and error flags outlive an unload.
#include <QDialog>

class KTimer;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

class frmMessage2 : public QDialog {
    Q_OBJECT
public:
    // The shared instance, created on first use.
    static frmMessage2& instance();
    // The shared instance when it exists, without creating it.
    static frmMessage2* existing();

    void informationMsgBox(const QString& message_, const QString& title_ = QString(), bool modal_ = false,
                           qint32 exitTime_ = 0, bool hideButtons_ = false, bool show_ = true);
    void errorMsgBox(const QString& message_, const QString& title_ = QString(), bool modal_ = false, qint32 exitTime_ = 0);
    // True when the first button (captionBtn1_) closed the window.
    bool questionMsgBox(const QString& message_, const QString& title_, const QString& captionBtn1_,
                        const QString& captionBtn2_, bool useWarningStyle_);
    void closeMsgBox(qint32 exitTime_);
    void addMessage(const QString& message_);
    // With true marks the log as failed; returns the error flag either way.
    bool errorSignal(bool setState_);
    void hideButtons(bool hide_);

    bool isLoaded() const { return m_loaded; }
    // Closes the window and resets its controls; the next access loads it again.
    void unload();

    // Answer flags: -1 for the button pressed last, 0 for the others.
    qint32 m_okFlag = 0;
    qint32 m_cancelFlag = 0;
    qint32 m_yesFlag = 0;
    qint32 m_noFlag = 0;

    QPlainTextEdit* txtMessage;
    QListWidget* lstMessage;
    QPushButton* cmdOk;
    QPushButton* cmdYes;
    QPushButton* cmdNo;
    QPushButton* cmdCancel;
    QLabel* imgInformation;
    QLabel* imgError;
    QLabel* imgQuestion;
    QLabel* imgExclamation;
    KTimer* timExit;
    QProgressBar* prgBar;

public slots:
    void cmdOk_Click();
    void cmdYes_Click();
    void cmdNo_Click();
    void cmdCancel_Click();
    void Form_Click();
    void lstMessage_GotFocus();
    void lstMessage_Scroll();
    void timExit_Timer();

protected:
    void closeEvent(QCloseEvent* e) override;
    void reject() override;
    void mousePressEvent(QMouseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    enum class Kind { Information, Error, Question };
    frmMessage2();
    void load();  // a load on first access, as any access to a control loads the form
    void Form_Load();
    void Form_Unload();
    void prepare(Kind kind, const QString& title);
    void appendLines(const QString& text);
    void startTimer(qint32 ms);
    void setTopmost(bool on);
    void present(bool modal);
    void pressed(qint32& flag, const char* procedure);

    bool m_loaded = false;
    bool m_errorFlag = false;
    bool m_centre = true;  // placed on its owner at the first showing after a load
};

#pragma once
// The about box: title, versions and a short description, an OK button and a button that
// starts the system-information program. Shown with auto-close it is a splash window
// that closes itself after five seconds.
#include <QDialog>

class KTimer;
class QFrame;
class QLabel;
class QPushButton;

class frmAbout : public QDialog {
    Q_OBJECT
public:
    static frmAbout& instance();

    // Fills the labels and shows the box without making it modal.
    void g_showAbout(bool autoClose);
    void StartSysInfo();

    QLabel* lblTitle;
    QLabel* lblVersion;
    QLabel* lblDLLVersion;
    QLabel* lblDescription;
    QPushButton* cmdOK;
    QPushButton* cmdSysInfo;
    KTimer* timClose;
    QFrame* line1;
    QFrame* line2;

public slots:
    void cmdOk_Click();
    void timClose_Timer();
    void cmdSysInfo_Click();

protected:
    void closeEvent(QCloseEvent* e) override;
    void reject() override;

private:
    frmAbout();
    void Form_Load();
    void unload();

    bool m_loaded = false;
};

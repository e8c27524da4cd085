#pragma once
// The central error handler's dialog: what failed and where, a failure log to print,
// save or mail, and the choice to continue with the next statement or to end the
// program. One shared instance, created by the first error; between errors it is hidden.
#include "services/errtrap.h"

#include <QDialog>

class QGroupBox;
class QLabel;
class QPushButton;

namespace ErrPtnr {

// Result codes of OnError: the index of the button that closed the dialog.
enum : short { resultContinue = 1, resultExit = 3 };

class Form : public QDialog {
    Q_OBJECT
public:
    static Form& instance();

    // Shows the error (number, description and line from `error`) and waits for the choice.
    // ContBits: bit 2 offers "&Continue", bit 8 "&Exit program".
    short OnError(const QString& AktModul, const QString& AktProc, short ContBits, const ErrorInfo& error);

    // The failure log as the dialog shows it now.
    QString failureLogText() const;
    // The file the log is saved to: beside the program, named after it, with ".ERR".
    static QString logFileName();

    QGroupBox* framComment;
    QLabel* lblComment;
    QGroupBox* framFehler;
    QGroupBox* framProtocol;
    QGroupBox* framContinue;
    QLabel* lblError[4];
    QLabel* lblErrTitel[4];
    QPushButton* cmdProtocol[3];
    QPushButton* cmdContinue[4] = {};  // only 1 and 3 exist

public slots:
    void cmdContinue_Click(int Index);
    void cmdProtocol_Click(int Index);

protected:
    void closeEvent(QCloseEvent* e) override;
    void reject() override;

private:
    Form();
    void layOut(short ContBits);
    void printLog(const QString& log);
    void saveLog(const QString& log);
    void mailLog(const QString& log);

    QString m_programInfo;
    short m_result = 0;
};

}  // namespace ErrPtnr

#include "formfixture.h"

#include "desktop/runtimeerror.h"
#include "errorlog.h"
#include "services/errptnr.h"
#include "services/failurelog.h"
#include "services/programinfo.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWindow>
#include <QClipboard>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>

namespace {
using ErrDialog = FormTest;
using ErrPtnr::Form;

QString caption() { return programInfo::exeName() + QStringLiteral("  V5.0.0 - Failure Information"); }

// Raises one run-time error through the trap, as any procedure would.
bool failIn(const char* object, const char* procedure) {
    return trap(object, procedure, [] { throw RuntimeError(13, QStringLiteral("Type mismatch")); });
}

// Answers the error dialog by pressing one of its further-execution buttons.
std::function<int(QDialog*)> press(int index) {
    return [index](QDialog* d) {
        static_cast<Form*>(d)->cmdContinue[index]->click();
        return -1;
    };
}
}  // namespace

TEST_F(ErrDialog, ShowsNumberDescriptionModuleProcedureAndLineWithTheTwoChoices) {
    ErrPtnr::g_installErrorForm();
    int ends = 0;
    testsupport::EndCounter endCounter(ends);
    processEndLink::install(&endCounter);
    answers.pushForm([](QDialog* d) {
        auto* f = static_cast<Form*>(d);
        EXPECT_EQ(f->windowTitle(), caption());
        EXPECT_EQ(f->lblError[0]->text(), "13 (Type mismatch)");
        EXPECT_EQ(f->lblError[1]->text(), "frmMessage2");
        EXPECT_EQ(f->lblError[2]->text(), "addMessage");
        EXPECT_EQ(f->lblError[3]->text(), "0");
        EXPECT_EQ(f->cmdContinue[1]->text(), "&Continue");
        EXPECT_EQ(f->cmdContinue[3]->text(), "&Exit program");
        EXPECT_FALSE(f->cmdContinue[1]->isHidden());
        EXPECT_FALSE(f->cmdContinue[3]->isHidden());
        for (QPushButton* b : f->cmdProtocol) EXPECT_FALSE(b->isHidden());
        EXPECT_FALSE(f->windowFlags().testFlag(Qt::WindowCloseButtonHint));
        EXPECT_FALSE(f->windowFlags().testFlag(Qt::WindowSystemMenuHint));
        EXPECT_FALSE(f->close());  // only its buttons leave it
        // The client area is exactly the four stacked frames.
        EXPECT_EQ(f->width(), f->framFehler->width());
        EXPECT_EQ(f->height(), f->framContinue->geometry().bottom() + 1);
        EXPECT_EQ(f->framProtocol->y(), f->framFehler->geometry().bottom() + 1);
        f->cmdContinue[1]->click();
        return -1;
    });
    bool nextStatementRan = false;
    EXPECT_FALSE(failIn("frmMessage2", "addMessage"));
    nextStatementRan = true;
    EXPECT_TRUE(nextStatementRan);
    EXPECT_EQ(ends, 0);

    // A second error shows the same caption; Exit ends the program.
    answers.pushForm([](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), caption());
        static_cast<Form*>(d)->cmdContinue[3]->click();
        return -1;
    });
    failIn("modMsgBox", "g_errorMsgBox");
    EXPECT_EQ(ends, 1);
}

TEST_F(ErrDialog, AFailureWhileTheDialogIsUpIsNotShownOnTopOfIt) {
    ErrPtnr::g_installErrorForm();
    bool innerTrapped = true;
    answers.pushForm([&](QDialog* d) {
        // A timer tick fails while the user reads the dialog.
        innerTrapped = failIn("frmMessage2", "timExit_Timer");
        static_cast<Form*>(d)->cmdContinue[1]->click();
        return -1;
    });
    failIn("frmMessage2", "addMessage");
    EXPECT_FALSE(innerTrapped);
    int forms = 0;
    for (const auto& r : answers.shown()) forms += r.kind == Dialogs::Kind::Form;
    EXPECT_EQ(forms, 1);
    EXPECT_EQ(Form::instance().lblError[2]->text(), "addMessage");

    // Once it is closed, the next error has the dialog again.
    answers.pushForm(press(1));
    failIn("frmMessage2", "cmdOk_Click");
    EXPECT_EQ(Form::instance().lblError[2]->text(), "cmdOk_Click");
}

TEST_F(ErrDialog, FailureLogLines) {
    ErrPtnr::FailureFacts f{QStringLiteral("pxm  V5.0.0 - Failure Information"), QStringLiteral("13 (Type mismatch)"),
                            QStringLiteral("frmMessage2"), QStringLiteral("addMessage"), QStringLiteral("0")};
    ErrPtnr::SystemInfo sys{QStringLiteral("Windows NT"), 10, 0, 0x14A65, QStringLiteral("")};
    const QString rule = QString(70, '-');
    const QString in(10, ' ');
    const QStringList expected = {
        rule, "F A I L U R E  - L O G from KELB3817-loader", rule, "pxm  V5.0.0 - Failure Information", rule,
        "FAILURE-DESCRIPTION:", in + "Failure-No:\t13 (Type mismatch)", in + "Module:\tfrmMessage2",
        in + "Procedure:\taddMessage", in + "Line-No.:\t0", in + "Date/Time:\t03-07-2024 / 14:05:09", rule, "CALLSTACK:",
        rule, "SYSTEMINFO:", in + "Operating System:\tWindows NT", in + "Version:\t10.0", in + "Build:\t19045   ", rule, ""};
    const QString log = ErrPtnr::failureLog(f, QDateTime(QDate(2024, 3, 7), QTime(14, 5, 9)), sys);
    EXPECT_EQ(log.split("\r\n"), expected);
    EXPECT_FALSE(log.contains(QRegularExpression("[^\r]\n")));

    // An unknown system still ends its line.
    sys.name.clear();
    EXPECT_TRUE(ErrPtnr::failureLog(f, QDateTime::currentDateTime(), sys).contains(in + "Operating System:\t\r\n" + in + "Version:"));
}

TEST_F(ErrDialog, PrinterLinesWrapAfter73ColumnsWithTwentyBlanksInFront) {
    const QString blanks(20, ' ');
    const QString longWord(100, 'x');
    const QString words = QString("word ").repeated(30).trimmed();  // 149 characters
    const QStringList printed = ErrPtnr::printerLines(longWord + "\r\n" + words + "\r\n" + "\r\n");
    ASSERT_GE(printed.size(), 4);
    EXPECT_EQ(printed[0], blanks + longWord + " ");
    EXPECT_LE(printed[1].size(), 73);
    EXPECT_TRUE(printed[1].startsWith("word word"));
    EXPECT_TRUE(printed[2].startsWith(blanks + "word"));
    QString rejoined;
    for (int i = 1; i < printed.size() - 2; ++i) rejoined += i == 1 ? printed[i] : printed[i].mid(20);
    EXPECT_EQ(rejoined, words + " ");
    EXPECT_EQ(printed[printed.size() - 2], " ");  // the empty log line
    EXPECT_EQ(printed.back(), " ");               // the line end the printing adds
}

TEST_F(ErrDialog, SaveWritesBesideTheProgramAndAsksBeforeOverwriting) {
    ErrPtnr::g_installErrorForm();
    const QString name = Form::logFileName();
    EXPECT_TRUE(name.endsWith(programInfo::exeName() + ".ERR"));
    QFile::remove(name);
    QString log;
    answers.pushForm([&](QDialog* d) {
        auto* f = static_cast<Form*>(d);
        log = f->failureLogText();
        f->cmdProtocol[1]->click();  // no file yet: no question
        QFile written(name);
        EXPECT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_EQ(QString::fromLatin1(written.readAll()), log + "\r\n");
        written.close();

        QFile::remove(name);
        QFile old(name);
        old.open(QIODevice::WriteOnly);
        old.write("old");
        old.close();
        answers.push(Dialogs::vbNo);
        f->cmdProtocol[1]->click();
        QFile kept(name);
        kept.open(QIODevice::ReadOnly);
        EXPECT_EQ(kept.readAll(), "old");

        answers.push(Dialogs::vbYes);
        f->cmdProtocol[1]->click();
        QFile again(name);
        again.open(QIODevice::ReadOnly);
        EXPECT_TRUE(again.readAll().startsWith(QByteArray(70, '-')));
        f->cmdContinue[1]->click();
        return -1;
    });
    failIn("modFileFct", "g_checkFile");
    const QStringList t = answers.texts();
    ASSERT_EQ(t.size(), 5);  // form, confirmation, question (No), question (Yes), confirmation
    EXPECT_EQ(t[1], "The failure-log has been written into file '" + name + "' !");
    EXPECT_EQ(t[2], "Overwrite existing file '" + name + "' ?");
    EXPECT_EQ(answers.shown()[2].style, Dialogs::vbYesNo);
    EXPECT_EQ(t[4], t[1]);
    QFile::remove(name);
}

TEST_F(ErrDialog, MailPutsTheLogOnTheClipboardAndOpensTheMailProgram) {
    ErrPtnr::g_installErrorForm();
    QString log;
    answers.pushForm([&](QDialog* d) {
        auto* f = static_cast<Form*>(d);
        log = f->failureLogText();
        f->cmdProtocol[2]->click();
        f->cmdContinue[1]->click();
        return -1;
    });
    failIn("frmMain", "Form_Load");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), log);
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0].first, testsupport::DesktopAction::OpenMail);
    EXPECT_TRUE(launched[0].second.startsWith("mailto:"));
    EXPECT_FALSE(launched[0].second.contains(' '));
    EXPECT_EQ(answers.texts()[1],
              "Now your standard-eMail-program is started. The failure description as well as\r\n"
              "the failure-log has been copied into the clipboard.\r\n\r\n"
              "Please paste the clipboard-content into the eMail (keys [cntrl] and [insert].");
}

TEST_F(ErrDialog, PrintSendsTheWrappedLinesAndAFailedPrintLeavesTheDialogUsable) {
    ErrPtnr::g_installErrorForm();
    int ends = 0;
    testsupport::EndCounter endCounter(ends);
    processEndLink::install(&endCounter);
    QString log;
    answers.pushForm([&](QDialog* d) {
        auto* f = static_cast<Form*>(d);
        log = f->failureLogText();
        f->cmdProtocol[0]->click();
        launchResult = false;  // no printer ready
        f->cmdProtocol[0]->click();
        f->cmdContinue[3]->click();
        return -1;
    });
    failIn("frmMain", "cmdDownload_Click");
    ASSERT_EQ(launched.size(), 2u);
    EXPECT_EQ(launched[0].first, testsupport::DesktopAction::PrintLines);
    EXPECT_EQ(launched[0].second, ErrPtnr::printerLines(log).join('\n'));
    EXPECT_TRUE(answers.anyTextContains("could not be printed"));
    EXPECT_EQ(ends, 1);
}

// The window manager's close request (its close item, Alt+F4) and Escape leave the dialog
// open: only its further-execution buttons leave it. Each label stands 120 twips inside
// its frame's left border, and the picture is kept to look at.
TEST_F(ErrDialog, ACloseRequestIsIgnoredAndTheLabelsStandInsideTheirFrames) {
    ErrPtnr::g_installErrorForm();
    answers.pushForm([](QDialog* d) {
        auto* f = static_cast<Form*>(d);
        f->show();
        EXPECT_NE(f->windowHandle(), nullptr);
        if (!f->windowHandle()) return -1;
        EXPECT_TRUE(testsupport::waitFor([f] { return f->windowHandle()->isExposed(); }, 5000));
        f->windowHandle()->close();  // as the window manager asks
        QCoreApplication::processEvents();
        EXPECT_TRUE(f->isVisible());
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(f, &escape);
        EXPECT_TRUE(f->isVisible());
        for (QLabel* l : f->findChildren<QLabel*>()) {
            if (l->isHidden()) continue;
            SCOPED_TRACE(l->text().toStdString());
            EXPECT_GE(l->x(), 120 / 15) << "a label touches its frame's left border";
        }
        for (int i = 0; i < 4; ++i) EXPECT_EQ(f->lblErrTitel[i]->x(), 120 / 15);
        EXPECT_TRUE(testsupport::keepGrab(f, QStringLiteral("failure-window")));
        f->cmdContinue[1]->click();
        return -1;
    });
    EXPECT_FALSE(failIn("frmMessage2", "addMessage"));
    EXPECT_EQ(answers.shown().size(), 1u);
}

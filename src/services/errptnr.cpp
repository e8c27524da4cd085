#include "services/errptnr.h"

#include "desktop/desktopservices.h"
#include "desktop/dialogs.h"
#include "desktop/timeservice.h"
#include "desktop/twips.h"
#include "services/failurelog.h"
#include "services/modglobal.h"
#include "services/modstringfct.h"
#include "services/programinfo.h"
#include "services/wholefile.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace ErrPtnr {
namespace {
// Where the mail button sends failure reports.
const QString kReportAddress = QStringLiteral(" service@kelb3817.example ");

using twips::px;
using twips::twipRect;

constexpr int kFrameWidth = 7215;
}  // namespace

void g_installErrorForm() {
    struct FormHandler : ErrorHandler {
        Choice handle(const ErrorInfo& info) override {
            const short r = Form::instance().OnError(info.object, info.procedure, static_cast<short>(info.mask), info);
            return r == resultExit ? Choice::End : Choice::Continue;
        }
    };
    static FormHandler form;
    errorHandlerLink::install(&form);
}

Form& Form::instance() {
    static Form* form = new Form;  // lives until the program ends
    return *form;
}

Form::Form() : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("ErrPtnr"));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));

    framComment = new QGroupBox(this);
    framComment->resize(px(kFrameWidth), px(975));
    lblComment = new QLabel(framComment);
    lblComment->setGeometry(twipRect(120, 120, 6975, 735));
    lblComment->setWordWrap(true);
    lblComment->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    framFehler = new QGroupBox(QStringLiteral("Failure-Description:"), this);
    framFehler->setObjectName(QStringLiteral("framFehler"));
    framFehler->resize(px(kFrameWidth), px(1575));
    const char* titles[4] = {"Failure-No:", "Module:", "Procedure:", "Line-No.:"};
    const int tops[4] = {240, 720, 960, 1200};
    for (int i = 0; i < 4; ++i) {
        lblErrTitel[i] = new QLabel(QString::fromLatin1(titles[i]), framFehler);
        lblErrTitel[i]->setGeometry(twipRect(120, tops[i], 975, 240));
        lblError[i] = new QLabel(framFehler);
        lblError[i]->setGeometry(twipRect(1200, tops[i], 5925, i == 0 ? 495 : 240));
        lblError[i]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    lblError[0]->setWordWrap(true);

    framProtocol = new QGroupBox(QStringLiteral("Failure-Protocol ..."), this);
    framProtocol->setObjectName(QStringLiteral("framProtocol"));
    framProtocol->resize(px(kFrameWidth), px(735));
    const char* protocol[3] = {"&Print", "&Save", "&EMail"};
    for (int i = 0; i < 3; ++i) {
        cmdProtocol[i] = new QPushButton(QString::fromLatin1(protocol[i]), framProtocol);
        cmdProtocol[i]->setGeometry(twipRect(240 + 1800 * i, 240, 1335, 375));
        cmdProtocol[i]->setAutoDefault(false);
        connect(cmdProtocol[i], &QPushButton::clicked, this, [this, i] { cmdProtocol_Click(i); });
    }

    framContinue = new QGroupBox(QStringLiteral("Further Program Execution ..."), this);
    framContinue->setObjectName(QStringLiteral("framContinue"));
    framContinue->resize(px(kFrameWidth), px(855));
    const struct { int index; const char* caption; int left; } further[2] = {{1, "&Continue", 2040}, {3, "&Exit program", 5640}};
    for (const auto& f : further) {
        auto* b = new QPushButton(QString::fromLatin1(f.caption), framContinue);
        b->setGeometry(twipRect(f.left, 240, 1335, 495));
        b->setAutoDefault(false);
        const int index = f.index;
        connect(b, &QPushButton::clicked, this, [this, index] { cmdContinue_Click(index); });
        cmdContinue[f.index] = b;
    }
}

short Form::OnError(const QString& AktModul, const QString& AktProc, short ContBits, const ErrorInfo& error) {
    lblError[0]->setText(QStringLiteral("%1 (%2)").arg(error.number).arg(error.description));
    lblError[1]->setText(AktModul);
    lblError[2]->setText(AktProc);
    lblError[3]->setText(QString::number(error.line));
    if (m_programInfo.isEmpty())
        m_programInfo = programInfo::exeName() + QStringLiteral("  V") + programInfo::versionText();
    setWindowTitle(m_programInfo + QStringLiteral(" - Failure Information"));
    // A long command may have left an hourglass.
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    layOut(ContBits);
    QApplication::beep();
    m_result = resultContinue;
    const int shown = Dialogs::showModal(this);
    if (shown == resultContinue || shown == resultExit) m_result = static_cast<short>(shown);
    return m_result;
}

void Form::layOut(short ContBits) {
    int y = 0;
    lblComment->setText(QStringLiteral("KELB3817-loader has entered an abnormal situation.\n"
                                       "Please help us to improve the program and send back a print screen of this window.\n"));
    for (QGroupBox* frame : {framComment, framFehler, framProtocol, framContinue}) {
        frame->move(0, y);
        frame->setVisible(true);
        y += frame->height();
    }
    for (QPushButton* b : cmdProtocol) b->setVisible(true);
    // The dialog is left only through these buttons, so a mask that offers neither
    // still offers Continue rather than a dialog that cannot be left.
    const bool exitOffered = ContBits & 8;
    cmdContinue[1]->setVisible((ContBits & 2) || !exitOffered);
    cmdContinue[3]->setVisible(exitOffered);
    setFixedSize(framFehler->width(), y);
    if (const QScreen* s = screen() ? screen() : QApplication::primaryScreen()) {
        const QRect area = s->availableGeometry();
        const QSize outer = frameGeometry().size();
        move(area.left() + (area.width() - outer.width()) / 2, area.top() + (area.height() - outer.height()) / 2);
    }
}

void Form::cmdContinue_Click(int Index) {
    m_result = static_cast<short>(Index);
    done(Index);  // hidden, kept for the next error
}

// The dialog is left only through its further-execution buttons.
void Form::closeEvent(QCloseEvent* e) { e->ignore(); }
void Form::reject() {}

QString Form::failureLogText() const {
    FailureFacts f;
    f.caption = windowTitle();
    f.failureNo = lblError[0]->text();
    f.module = lblError[1]->text();
    f.procedure = lblError[2]->text();
    f.lineNo = lblError[3]->text();
    return failureLog(f, TimeService::now(), currentSystem());
}

QString Form::logFileName() {
    QString dir = programInfo::exeDir();
    // An installed program's folder may not be writable: then the configuration's folder.
    if (!QFileInfo(dir).isWritable() && !modGlobal::g_configDir.isEmpty()) dir = QDir::fromNativeSeparators(modGlobal::g_configDir);
    return QDir::toNativeSeparators(QDir(dir).filePath(programInfo::exeName() + QStringLiteral(".ERR")));
}

void Form::cmdProtocol_Click(int Index) {
    // The dialog must stay usable whatever happens here: the user still has to choose.
    try {
        const QString log = failureLogText();
        switch (Index) {
        case 0: printLog(log); break;
        case 1: saveLog(log); break;
        case 2: mailLog(log); break;
        default: break;
        }
    } catch (const std::exception& e) {
        qWarning("failure log: %s", e.what());
    } catch (...) {
        qWarning("failure log: unknown failure");
    }
}

void Form::printLog(const QString& log) {
    if (!desktop::printLines(printerLines(log)))
        Dialogs::msgBox(QStringLiteral("The failure-log could not be printed."), Dialogs::vbCritical);
}

void Form::saveLog(const QString& log) {
    const QString name = logFileName();
    if (QFileInfo::exists(name)
        && Dialogs::msgBox(QStringLiteral("Overwrite existing file '") + name + QStringLiteral("' ?"), Dialogs::vbYesNo) != Dialogs::vbYes)
        return;
    QString reason;
    if (!wholeFile::write(name, modStringFct::toAnsi(log + QStringLiteral("\r\n")), &reason)) {
        Dialogs::msgBox(QStringLiteral("The failure-log could not be written into file '") + name + QStringLiteral("' !\r\n") +
                            reason,
                        Dialogs::vbCritical);
        return;
    }
    Dialogs::msgBox(QStringLiteral("The failure-log has been written into file '") + name + QStringLiteral("' !"), Dialogs::vbOKOnly);
}

void Form::mailLog(const QString& log) {
    Dialogs::msgBox(QStringLiteral("Now your standard-eMail-program is started. The failure description as well as\r\n"
                                   "the failure-log has been copied into the clipboard.\r\n\r\n"
                                   "Please paste the clipboard-content into the eMail (keys [cntrl] and [insert]."),
                    Dialogs::vbOKOnly);
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(log);
    if (!desktop::openMail(QStringLiteral("mailto:") + kReportAddress.trimmed()))
        Dialogs::msgBox(QStringLiteral("The eMail-program could not be started."), Dialogs::vbCritical);
}

}  // namespace ErrPtnr

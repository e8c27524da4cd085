// The tick of the update run, its buttons, the log and the user texts.
#include "updater/updaterun.h"
#include "updater/updatewindow.h"
#include "mainwindow/vbcontrols.h"

#include <QGroupBox>

#include "dao/dao.h"
#include "can/canmaster.h"
#include "services/errtrap.h"
#include "services/modglobal.h"
#include "services/modstringfct.h"
#include "updater/updatetime.h"

#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>

UpdateRun::UpdateRun(UpdateWindow& window, QObject* parent) : QObject(parent), m_w(window) {
    connect(&m_w.timCyclic, &KTimer::timeout, this, &UpdateRun::tick);
    connect(m_w.cmdOk, &QPushButton::clicked, this, &UpdateRun::cmdOk_Click);
    connect(m_w.cmdExitUpdater, &QPushButton::clicked, this, &UpdateRun::cmdExitUpdater_Click);
}

void UpdateRun::showUpdater() {
    trap("frmMain", "showUpdater", [&] {
        updateModulesLink::get().showMainWindow();
        canMasterLink::get().set_g_blockTransferEnable(true);
        if (canMasterLink::get().g_noCAN()) {
            addMessageUpdater(QStringLiteral("no CAN initialising ..."), -1);
            return;
        }
        if (m_started) return;
        m_w.saveStepNames();
        m_step = 0;
        m_started = true;
        m_w.timCyclic.setEnabled(true);
    });
}

void UpdateRun::tick() {
    // A tick that arrives while a long command of an earlier tick hands control to the
    // event loop is dropped: the earlier tick's step is still running.
    if (m_inTick) return;
    m_inTick = true;
    trap("frmMain", "timCyclic_Timer", [&] { tickBody(); });
    m_inTick = false;
}

void UpdateRun::tickBody() {
    if (m_cancelRequest) {
        if (m_step == 7) {
            goTo(8);
            m_updateCanceled = true;
            m_cancelRequest = false;
        } else if (m_step == 9) {
            goTo(11);
            m_cancelRequest = false;
        } else {
            writeReport();
            updateModulesLink::get().exitProgram();
            return;
        }
    }
    if (m_step < 0 || m_step > 11) {
        writeReport();
        updateModulesLink::get().exitProgram();
        return;
    }
    if (m_step != m_lastStep) changeStep();

    if (m_tickCounter <= 0) {
        ++m_tickCounter;
        return;
    }
    trap("frmMain", "timCyclic_Timer", [&] {
        const double mark = (m_step + 1) / 11.0;
        const double creep = (m_step + m_tickCounter / 20.0) / 11.0;
        if (m_w.progress() < mark && creep <= 1.0) m_w.updateProgressUpdater(creep, false);
    });
    if (const Step* s = findStep(m_step)) {
        const int before = m_step;
        if (m_stepEntry && s->entry) (this->*s->entry)();
        if (m_step == before && s->work) (this->*s->work)();
    }
    m_stepEntry = false;
    if (m_step == 11) {
        m_w.cmdExitUpdater->setEnabled(true);
        if (!m_endReported) updateModulesLink::get().runEnded();
        m_endReported = true;
    }
    if (m_tickCounter < 100) ++m_tickCounter;
}

void UpdateRun::changeStep() {
    if (m_step == 1)
        m_reportLines[0] = QStringLiteral("------------------- KELB-3817 Update Tool started  ") + updateTime::nowText() +
                           QStringLiteral(" -------------------");
    m_stepEntry = true;
    m_tickCounter = -2;
    m_w.frmProgressPxm->hide();
    m_lastStep = m_step;
    if (const Step* s = findStep(m_step); s && m_step >= 1) {
        addMessageUpdater(modStringFct::sprintf(QStringLiteral("Step {*}: "), m_step) + QString::fromLatin1(s->logName), -1);
        m_w.setText(m_step, QString(), UpdateWindow::yellow);
    }
    if (!m_updateFailed) {
        bool ok = false;
        setUserInfo(QString::number(10 * m_step), 0, ok, false);
    }
    m_w.updateProgressUpdater(m_step / 11.0, false);
}

// ---- Buttons ----

void UpdateRun::cmdOk_Click() {
    trap("frmMain", "cmdOk_Click", [&] {
        m_tickCounter = 0;
        m_w.timCyclic.setEnabled(true);
        bool ok = false;
        setUserInfo(QString(), 0, ok, false);
        m_w.cmdExitUpdater->setEnabled(false);
    });
}

void UpdateRun::cmdExitUpdater_Click() {
    trap("frmMain", "cmdExitUpdater_Click", [&] {
        m_w.timCyclic.setEnabled(true);
        m_cancelRequest = true;
    });
}

// ---- Log and user texts ----

void UpdateRun::addMessageUpdater(const QString& text, int reportLine) {
    trap("frmMain", "addMessageUpdater", [&] {
        if (text.isEmpty()) return;
        QString rest = text;
        while (!rest.isEmpty()) {
            const qsizetype cr = rest.indexOf(QLatin1Char('\r'));
            const QString piece = cr < 0 ? rest : rest.left(cr);
            rest = cr < 0 ? QString() : rest.mid(cr + 1);
            m_w.lstMessageUpdater->addItem(piece);
            if (reportLine >= 0 && reportLine < int(m_reportLines.size())) m_reportLines[reportLine] = piece;
        }
        m_w.lstMessageUpdater->setCurrentRow(m_w.lstMessageUpdater->count() - 1);
        m_w.lstMessageUpdater->scrollToItem(m_w.lstMessageUpdater->currentItem());
        m_w.repaint();
    });
}

bool UpdateRun::setUserInfo(const QString& text, int delay, bool& okButton, bool exitButton) {
    bool shown = false;
    trap("frmMain", "setUserInfo", [&] {
        if (delay >= 1 && delay > m_tickCounter) return;
        // Only a whole number is a message number: a ready text may begin with digits.
        static const QRegularExpression number(QStringLiteral("^\\s*\\d+\\s*$"));
        const bool isNumber = number.match(text).hasMatch() && text.trimmed().toLongLong() > 0;
        QString shownText = text;
        if (isNumber) {
            dao::Recordset* rs = modGlobal::g_rsMessages.get();
            if (rs) rs->FindFirst(QStringLiteral("MessageID=?"), {text.trimmed().toLongLong()});
            if (!rs || rs->NoMatch()) {
                shownText = QStringLiteral("User Information text not found in database: ") + text;
            } else {
                shownText = rs->Value(QStringLiteral("MessageText")).toString();
                okButton = rs->Value(QStringLiteral("okButton")).toInt() != 0;
            }
        }
        m_w.txtUserInfo->setPlainText(shownText);
        m_w.cmdOk->setVisible(okButton);
        m_w.cmdExitUpdater->setVisible(exitButton || okButton);
        if (okButton) m_w.cmdOk->raise();
        m_w.timCyclic.setEnabled(!(okButton || exitButton));
        m_w.cmdExitUpdater->setEnabled(!m_w.cmdExitUpdater->isHidden());
        shown = true;
    });
    return shown;
}

void UpdateRun::prompt(const QString& text, bool ok, bool exit) { setUserInfo(text, 0, ok, exit); }

namespace {
// Texts of the run that a site's database may lack: its own wording then names the cause.
QString ownWording(int number) {
    switch (number) {
    case 44: return QStringLiteral("The application load file of this build cannot be used: {*} No module was changed.");
    case 102:
        return QStringLiteral("After the update the modules run the application with the CRC {*}, not the CRC {*} of "
                              "this build.");
    default: return QString();
    }
}
}  // namespace

QString UpdateRun::message(int number, const QVariantList& values) const {
    const QString own = ownWording(number);
    return modStringFct::sprintfv(own.isEmpty() ? modGlobal::g_getUserMessage(number) : modGlobal::g_getUserMessage(number, own),
                                  values);
}

QVariantList UpdateRun::eightValues() const {
    return {m_info.hullNumber.text,
            m_info.engineType.text,
            m_info.noOfCyl,
            m_info.buildNo,
            modStringFct::g_toHex(m_info.crcValueAppl),
            m_info.crcLenAppl,
            modStringFct::g_toHex(m_info.crcValueImo),
            m_info.crcLenImo};
}

QString UpdateRun::moduleList(const std::vector<int>& modules) {
    QStringList names;
    for (int m : modules) names << modStringFct::sprintf(QStringLiteral("PXM #{00}"), m);
    return names.join(QStringLiteral(", "));
}

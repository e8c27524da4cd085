// The public accessors other windows use: the log, the progress bar, the lamps, the
// bootloader-change flags and the module selection.
#include "mainwindowfixture.h"

#include "can/systemsymbols.h"

#include <QLabel>
#include <QListWidget>

using namespace mwtest;
using AccessorTest = MainWindowTest;

namespace {
QStringList items(QListWidget* l) {
    QStringList out;
    for (int i = 0; i < l->count(); ++i) out << l->item(i)->text();
    return out;
}
}  // namespace

TEST_F(AccessorTest, AddMessageSplitsAtCarriageReturnsOnly) {
    const struct {
        QString text;
        QStringList lines;
    } cases[] = {
        {"", {}},
        {"A\rB\r", {"A", "B"}},
        {"A\r\rB", {"A", "", "B"}},
        {"A\r\nB", {"A", "\nB"}},
        {"one line", {"one line"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        w->lstMessage->clear();
        w->addMessage(c.text);
        EXPECT_EQ(items(w->lstMessage), c.lines);
        EXPECT_EQ(w->lstMessage->currentRow(), c.lines.size() - 1);
    }
}

TEST_F(AccessorTest, UpdateProgressAddsAndClampsAndMovesTheLoadBarInUpdateMode) {
    w->updateProgress(0.5);
    w->updateProgress(0.3, true);
    EXPECT_NEAR(w->prgProgress->fraction(), 0.8, 1e-9);
    EXPECT_DOUBLE_EQ(updater.progressLoad, -1);  // manual mode: the update window's bar stays
    modGlobal::g_updateMode = true;
    w->updateProgress(0.3, true);
    EXPECT_DOUBLE_EQ(w->prgProgress->fraction(), 1.0);
    EXPECT_DOUBLE_EQ(updater.progressLoad, 1.0);
    w->updateProgress(-2, false);
    EXPECT_DOUBLE_EQ(w->prgProgress->fraction(), 0.0);
    EXPECT_DOUBLE_EQ(updater.progressLoad, 0.0);
}

TEST_F(AccessorTest, TheDownloadStatusIsTheLampsGreenWhetherShownOrNot) {
    vbControls::setBackColor(w->lblDownloadOk[4], vbControls::vbGreen);
    w->lblDownloadOk[4]->hide();
    vbControls::setBackColor(w->lblDownloadOk[5], vbControls::vbRed);
    w->lblDownloadOk[5]->show();
    EXPECT_TRUE(w->g_downloadStatusOk(4));
    EXPECT_FALSE(w->g_downloadStatusOk(5));
    EXPECT_TRUE(errors.empty());
    EXPECT_FALSE(w->g_downloadStatusOk(moduleProtocol::moduleCount));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].object, "frmMain");
    EXPECT_EQ(errors[0].procedure, "g_downloadStatusOk");
    EXPECT_EQ(errors[0].number, 9);
}

TEST_F(AccessorTest, BootloaderVersionChangeIsReadAndResetPerModule) {
    w->m_bootloaderVersionChange[3] = true;
    EXPECT_TRUE(w->g_getBootloaderVersionChange(3));
    EXPECT_FALSE(w->g_getBootloaderVersionChange(2));
    w->g_resetBootloaderVersionChange(3);
    EXPECT_FALSE(w->g_getBootloaderVersionChange(3));
    w->g_resetBootloaderVersionChange(-1);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].procedure, "g_resetBootloaderVersionChange");
}

TEST_F(AccessorTest, RestoringTheSelectionOnlyChecksModulesThatStillAnswer) {
    for (int i : {0, 3, 5}) w->chkProgram[i]->setChecked(true);
    w->chkProgram[9]->setCheckState(Qt::PartiallyChecked);  // grayed is no selection
    const auto saved = w->g_getUserSelection();
    for (int i = 0; i < frmMain::moduleCount; ++i) EXPECT_EQ(saved[i], i == 0 || i == 3 || i == 5) << i;

    for (auto* c : w->chkProgram) c->setChecked(false);
    w->chkProgram[7]->setChecked(true);  // chosen meanwhile: stays chosen
    using moduleProtocol::ModuleState;
    can.states = {};  // module 5 has gone
    can.states[0] = can.states[7] = ModuleState::application;
    can.states[3] = ModuleState::bootloader;
    w->g_restoreUserSelection(saved);
    for (int i = 0; i < frmMain::moduleCount; ++i) EXPECT_EQ(w->chkProgram[i]->isChecked(), i == 0 || i == 3 || i == 7) << i;
}

TEST_F(AccessorTest, AFaultInASystemInformationSetterIsReportedUnderThatSettersName) {
    struct Failing : UpdaterStub {
        void setSystemValue(const SystemSymbol&, const QByteArray&, qint32&) override {
            throw RuntimeError(6, QStringLiteral("Overflow"));
        }
    } failing;
    updaterLink::install(&failing);
    QStringList procedures;
    for (const SystemSymbol& row : systemSymbols) {
        qint32 key = *row.symbol;
        w->setSystemValue(row, QByteArray(4, '\0'), key);
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(errors.back().object, "frmMain");
        EXPECT_EQ(errors.back().number, 6);
        procedures << errors.back().procedure;
    }
    updaterLink::install(&updater);
    EXPECT_EQ(procedures, QStringList({"g_setFirstApplicationCrc", "g_setBuild", "g_setDeveloper", "g_setNoOfCyl",
                                       "g_setHullNumber", "g_setEngineType", "g_setAutoDownload", "g_setCrcValueImo",
                                       "g_setCrcLenImo", "g_setCrcValueApplication", "g_setCrcLenApplication"}));
}

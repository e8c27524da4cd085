#pragma once
// Fakes for the parts the main window calls into, and a fixture that gives each test a
// fresh window, a configuration database of its own and a record of every call.
#include "mainwindow/applicationtypelink.h"
#include "mainwindow/autodownloadlink.h"
#include "mainwindow/dcbuilderlink.h"
#include "mainwindow/dceditorlink.h"
#include "mainwindow/frmmain.h"
#include "dcbuilder/loadfileslink.h"
#include "mainwindow/singleinstance.h"
#include "mainwindow/toolwindowlinks.h"
#include "mainwindow/updaterlink.h"
#include "mainwindow/vbcontrols.h"

#include "cansim/cansim.h"
#include "cansim/mainwindowlinks.h"
#include "dao/dao.h"
#include "desktop/runtimeerror.h"
#include "services/errtrap.h"
#include "services/frmmessage2.h"
#include "services/modglobal.h"
#include "errorlog.h"
#include "fakecanmaster.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QDir>
#include <QUuid>
#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace mwtest {

using Calls = std::vector<QString>;

// Counts the program's ends and records them among the calls.
struct FakeEnd : testsupport::EndCounter {
    FakeEnd(int& ends, Calls* c) : EndCounter(ends), calls(c) {}
    Calls* calls;
    void endProcess() override {
        EndCounter::endProcess();
        calls->push_back("END");
    }
};

struct FakeWindow : WindowLink {
    FakeWindow(Calls* c, QString n) : calls(c), name(std::move(n)) {}
    Calls* calls;
    QString name;
    bool loaded = false;
    bool failUnload = false;
    std::function<void()> onUnload;
    bool isLoaded() const override { return loaded; }
    void unload() override {
        if (failUnload) throw RuntimeError(91, QStringLiteral("Object variable not set"));
        calls->push_back(name);
        if (onUnload) onUnload();
        loaded = false;
    }
};

struct FakeBuilder : DcBuilderLink {
    FakeWindow window;
    bool running = false;  // a scan or the report under way
    QStringList shown;  // the directories it was shown with
    explicit FakeBuilder(Calls* c) : window(c, "frmDcBuilder") {}
    void g_show(const QString& directory) override { shown << directory; }
    bool commandRunning() const override { return running; }
    bool isLoaded() const override { return window.isLoaded(); }
    void unload() override { window.unload(); }
};

struct FakeReconstruction : DcReconstructionLink {
    FakeWindow window;
    int shown = 0;
    QStringList templates;  // the directories a template was made from
    explicit FakeReconstruction(Calls* c) : window(c, "frmDcReconstruction") {}
    void g_show() override { ++shown; }
    void g_createDCTemplate(QString& directory) override { templates << directory; }
    bool isLoaded() const override { return window.isLoaded(); }
    void unload() override { window.unload(); }
};

struct FakeAutoDownload : AutoDownloadLink {
    Calls* calls = nullptr;
    void g_logoff() override { calls->push_back("g_logoff"); }
};

struct FakeLoadFiles : LoadFilesLink {
    Calls* calls = nullptr;
    frmMain* w = nullptr;
    QString tagsSeen;  // the section rows' Tags at the time of the look-up
    void g_checkFileExist(const QString& kind, bool quiet) override {
        calls->push_back(QStringLiteral("g_checkFileExist(%1,%2)").arg(kind).arg(quiet));
        QStringList tags;
        for (auto* c : w->chkLoadSection) tags << vbControls::tag(c);
        tagsSeen = tags.join(',');
        vbControls::setTag(w->txtEmh[0], "appl.S19");
    }
};

// The mode's type, or KELB, for any file; no module answers (4).
struct FakeApplicationType : ApplicationTypeLink {
    qint32 startAddress = 0;
    QString fileAsked;
    qint32 g_checkAppFileType(const QString& f) override {
        fileAsked = f;
        return modGlobal::g_qtmMode ? 6 : modGlobal::g_bzmMode ? 7 : 0;
    }
    qint32 g_getApplStartAddr(const QString&) override { return startAddress; }
    qint32 g_checkAppConnectionType() override { return 4; }
};

struct FakeUpdater : UpdaterStub {
    Calls* calls = nullptr;
    double progressLoad = -1;
    std::function<void()> onShow;
    void showUpdater() override {
        calls->push_back("showUpdater");
        if (onShow) onShow();
    }
    void setProgressLoad(double v) override { progressLoad = v; }
};

class MainWindowTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    Calls calls;
    int ends = 0;
    std::vector<ErrPtnr::ErrorInfo> errors;
    std::unique_ptr<frmMain> w;
    std::unique_ptr<testsupport::ScriptedAnswerer> answers;

    testsupport::FakeCanMaster can;
    FakeAutoDownload autoDownload;
    FakeLoadFiles loadFiles;
    FakeApplicationType appType;
    FakeUpdater updater;
    FakeBuilder builder{&calls};
    FakeReconstruction reconstruction{&calls};
    FakeWindow editor{&calls, "frmEditDC"};
    FakeWindow overview{&calls, "frmModuleOverview"};
    FakeWindow details{&calls, "frmInfoBlockDetails"};
    FakeWindow repair{&calls, "frmHWInfoBlockRepair"};
    FakeEnd end{ends, &calls};

    void SetUp() override {
        answers = std::make_unique<testsupport::ScriptedAnswerer>();
        processEndLink::install(&end);
        cansim::recordErrors(errors);
        resetGlobals();
        w = std::make_unique<frmMain>();
        w->setProgramFile(tmp.filePath("pxmloader"));
        w->setInstanceKey(QStringLiteral("kelb-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces));
        can.calls = autoDownload.calls = loadFiles.calls = updater.calls = &calls;
        loadFiles.w = w.get();
        canMasterLink::install(&can);
        autoDownloadLink::install(&autoDownload);
        loadFilesLink::install(&loadFiles);
        applicationTypeLink::install(&appType);
        updaterLink::install(&updater);
        frmDcBuilderLink::install(&builder);
        frmDcReconstructionLink::install(&reconstruction);
        frmEditDCLink::install(&editor);
        frmModuleOverviewLink::install(&overview);
        frmInfoBlockDetailsLink::install(&details);
        frmHWInfoBlockRepairLink::install(&repair);
    }

    void TearDown() override {
        if (frmMessage2* box = frmMessage2::existing()) box->unload();
        w.reset();
        cansim::resetMainWindowLinks();
        singleInstance::release();
        resetGlobals();
        answers.reset();
        ErrPtnr::errorHandlerLink::install(nullptr);
        processEndLink::install(nullptr);
    }

    static void resetGlobals() { cansim::resetModGlobalsAndPaths(); }

    // A configuration database beside the test's program file, holding the given items.
    QString makeConfig(const std::map<QString, QString>& items = {}, const QString& dir = QString()) {
        const QString folder = dir.isEmpty() ? tmp.path() : dir;
        const QString path = QDir(folder).filePath("pxmloader-Config.mdb");
        auto db = dao::CreateDatabase(path);
        db->Execute("CREATE TABLE miscellaneous (item TEXT COLLATE NOCASE, value TEXT COLLATE NOCASE)");
        db->Execute("CREATE TABLE aliasSymbolName (aliasName TEXT COLLATE NOCASE, symbolName TEXT COLLATE NOCASE)");
        db->Execute("CREATE TABLE messages (MessageID INTEGER, MessageText TEXT, VEDR_Text TEXT, DARVO_Text TEXT, okButton INTEGER)");
        std::map<QString, QString> all = {{"numRequiredCylinders", "3"}};
        for (const auto& [k, v] : items) all[k] = v;
        for (const auto& [k, v] : all) db->Execute("INSERT INTO miscellaneous (item, value) VALUES (?, ?)", {k, v});
        db->Execute("INSERT INTO aliasSymbolName (aliasName, symbolName) VALUES ('DC_X', 'PAR_X')");
        db->Execute("INSERT INTO messages (MessageID, MessageText, okButton) VALUES (1, 'Connect the service PC to the S-Bus only.', 0)");
        db->Close();
        return path;
    }

    // The safety question, answered by a press of the button (or by the title bar: none).
    void answerSafetyQuestion(const char* button) {
        answers->pushForm([button](QDialog* d) {
            auto* box = static_cast<frmMessage2*>(d);
            if (QString(button) == "Yes") box->cmdYes->click();
            if (QString(button) == "No") box->cmdNo->click();
            return 0;
        });
    }

    bool called(const QString& what) const { return std::find(calls.begin(), calls.end(), what) != calls.end(); }
};

}  // namespace mwtest

#pragma once
// The update run's end-to-end fixture: the engineer at the update window from the program's
// start to its end, the report it leaves, and the modules' flash afterwards.
#include "sitefixture.h"

#include "can/frmcanopen.h"
#include "config/loadfiles.h"
#include "lib/applicationimage.h"
#include "lib/flashmodel.h"
#include "lib/personality_boot.h"
#include "mainwindow/singleinstance.h"
#include "services/frmmessage2.h"
#include "app/wiring.h"
#include "updater/updaterinstall.h"
#include "updater/updaterun.h"
#include "updater/updatewindow.h"

#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

namespace e2e {
using sim::PxmModule;

inline const QString kSuccess = QStringLiteral("KELB-3817 Software is successfully updated.");
inline const QString kFailed = QStringLiteral("KELB-3817 Software update failed. Find more details in the report below.");
inline const QString kNotNecessary = QStringLiteral("KELB-3817 Software update was not necessary.");
inline const QString kCanceled = QStringLiteral("KELB-3817 Software update was canceled by the user!");
constexpr quint16 kSymFirstCrc = 200;  // the site's PAR_CRC_FIRST_APPLICATION

inline QByteArray newApplication() {
    for (const simconfig::LoadFile& f : simconfig::loadFiles("PXM"))
        if (f.section == 6) return simconfig::image(f);
    return QByteArray();
}

inline QString hex4(quint16 crc) { return QStringLiteral("0x") + QStringLiteral("%1").arg(crc, 4, 16, QLatin1Char('0')).toUpper(); }

inline bool hasLineStarting(const QStringList& lines, const QString& start) {
    return std::any_of(lines.begin(), lines.end(), [&](const QString& l) { return l.startsWith(start); });
}

class UpdateRunE2E : public SiteTest {
protected:
    void SetUp() override {
        SiteTest::SetUp();
        standInForTheRun = false;
    }

    // The engineer at the update window, from the program's start to its end: each prompt
    // is answered with OK where it is offered and confirm agrees (confirm gets OK's
    // caption), else with the exit button. False when the program has not ended in time.
    bool runUpdate(const std::function<bool(const QString&)>& confirm = {}, int timeoutMs = 150000) {
        formLoad(QString());
        UpdateWindow& v = updater::run()->window();
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs) {
            // A program ended on an error is over, whatever its window still shows here.
            if (!w->isVisible() || ends > 0) return true;
            QPushButton* answer = nullptr;
            // The run waits for the engineer exactly while its timer is stopped.
            if (v.timCyclic.isEnabled())
                ;
            else if (v.cmdOk->isVisibleTo(w.get()))
                answer = !confirm || confirm(v.cmdOk->text()) ? v.cmdOk : v.cmdExitUpdater;
            else if (v.cmdExitUpdater->isVisibleTo(w.get()) && v.cmdExitUpdater->isEnabled())
                answer = v.cmdExitUpdater;
            if (answer) {
                prompts << v.txtUserInfo->toPlainText();
                answer->click();
                // The answer is taken on the next tick.
                waitFor([&] { return !w->isVisible() || !answer->isVisibleTo(w.get()); }, 5000);
            }
            waitFor([] { return false; }, 50);
        }
        return false;
    }
    // The program ends and is started again by the engineer: a new main window, CAN master
    // and update run on the same site.
    void endProgram() {
        if (frmMessage2* box = frmMessage2::existing()) box->unload();
        frmCANopen::instance().unload();
        wiring::uninstall();
        w.reset();
        singleInstance::release();
        prompts.clear();
    }
    QStringList report() const {
        QFile f(filePath("KELB-3817 Update Tool Report.txt"));
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QString::fromLatin1(f.readAll()).split(QStringLiteral("\r\n"));
    }
    // Modules 0 to 3 in their application, with the application of the load file or not.
    void expectModules(bool updated) {
        const QByteArray image = newApplication();
        for (int m = 0; m <= 3; ++m) {
            SCOPED_TRACE(m);
            EXPECT_EQ(bootloaders->image(m, 6) == image, updated);
            EXPECT_EQ(modules->mode(m), PxmModule::Mode::Application);
        }
    }

    QStringList updateLog() const {
        QStringList lines;
        const QListWidget* list = updater::run()->window().lstMessageUpdater;
        for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
        return lines;
    }
    // The module waits in its bootloader, as a lost bus or a load cut short leaves it.
    void leaveInBootloader(int module) {
        modules->setMode(module, PxmModule::Mode::Bootloader);
        bootloaders->sync();
    }
    // Every module's flash holds the newest application already (but the one named, which
    // keeps what it has).
    void installNewest(int except = -1) {
        const QByteArray image = newApplication();
        bootloaders->invoke([&](QList<sim::ModuleBootloader*>& list) {
            sim::FlashModel installed;
            installed.seed(6, sim::infoblock::make(6, "KELB", 1, "Dec 01 2026", 0x30000, image), image);
            for (int m = 0; m < list.size(); ++m)
                if (m != except) list[m]->takeSection(6, installed);
        });
    }

    // Replaces the site's application load file by the S-records of another image.
    void writeApplicationFile(const QByteArray& image) {
        for (const simconfig::LoadFile& f : simconfig::loadFiles("PXM")) {
            if (f.section != 6) continue;
            QFile file(filePath(f.fileName));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(simconfig::sRecords(f.fileName, f.address, image));
        }
    }
    // Every module runs its application and holds the flash it had before the run.
    void expectModulesUntouched(const QList<QByteArray>& before) {
        for (int m = 0; m <= 3; ++m) {
            SCOPED_TRACE(m);
            EXPECT_EQ(modules->mode(m), PxmModule::Mode::Application);
            EXPECT_EQ(bootloaders->image(m, 6), before.value(m));
            EXPECT_TRUE(modules->loadedSections(m).isEmpty());
        }
    }
    QList<QByteArray> flashes() const {
        QList<QByteArray> out;
        for (int m = 0; m <= 3; ++m) out << bootloaders->image(m, 6);
        return out;
    }

    QStringList prompts;
};

}  // namespace e2e

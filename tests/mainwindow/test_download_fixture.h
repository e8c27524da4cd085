#pragma once
// The fixture of the download runs against the simulated modules: the process's private
// virtual bus, the modules of a profile with their bootloaders and flash, a configuration
// database with the symbols and user texts the download uses, the CAN master set up on the
// bus, and a main window wired with the program's own links. Everything runs in real time.
#include "cansim/simulatedmodules.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/updaterlink.h"
#include "services/errtrap.h"
#include "testsupport.h"

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace dltest {

// Waits in real time with the event loop running until pred() holds.
bool waitFor(const std::function<bool()>& pred, int timeoutMs = 5000);

// The update run's side of the download.
struct RecordingUpdater : UpdaterStub {
    QStringList userInfos;  // setUserInfo texts
    QStringList updated;    // addMessageUpdater texts
    int finished = 0;       // downloadFinished calls
    void downloadFinished() override { ++finished; }
    void addMessageUpdater(const QString& text, int) override { updated << text; }
    void setUserInfo(const QString& text, int, bool&, int, bool& shown) override {
        userInfos << text;
        shown = true;
    }
};

// A case of a test run on several profiles: its name names the test and stands for the
// whole case in the test's messages.
struct ProfileCase {
    const char* name;
    sim::Profile profile;
};
inline std::ostream& operator<<(std::ostream& os, const ProfileCase& c) { return os << c.name; }
// The test names INSTANTIATE_TEST_SUITE_P gives: the cases' own.
struct CaseName {
    template <class Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& info) const { return info.param.name; }
};

// Flash programming of the simulated bootloaders, kept short.
sim::BootOptions fastBoot();
// fastBoot, with the fault in the bootloaders of that module alone.
sim::BootOptions faultyBoot(bool sim::BootFaults::*fault, int module);
// A byte pattern of the given size that differs from the factory contents.
QByteArray pattern(int size, int seed);

class DownloadBusTest : public ::testing::Test, protected cansim::SimulatedModules {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the modules of the profile and sets the master up on their bus (S-Bus, or the
    // M-Bus for that profile); returns once the window shows every module running its
    // application. Manual mode unless updateMode.
    void start(sim::Profile profile, int cylinders, bool updateMode = false, const sim::BootOptions& boot = fastBoot(),
               quint16 retryMask = 0);
    // Writes the image as an S-record file at the address and binds it to the section row.
    void bindFile(int pos, const QByteArray& image, qint32 address, const QString& name);
    void select(std::initializer_list<int> modules);
    // The image as the Application row's file, that row and the modules selected.
    void chooseApplication(const QByteArray& image, qint32 address, const QString& name, std::initializer_list<int> modules);
    void selectRow(int pos);
    // The module's bootloader question (user text 7), answered Continue or Abort.
    void answerBootloaderQuestion(bool proceed);
    QStringList log() const;
    bool logHas(const QString& line) const { return log().contains(line); }
    int count(const QString& line) const { return int(log().count(line)); }
    bool lampGreen(int module) const;
    bool lampRed(int module) const;

    QTemporaryDir dir;
    std::unique_ptr<testsupport::ScriptedAnswerer> answers;
    std::vector<ErrPtnr::ErrorInfo> errors;
    RecordingUpdater updater;
    std::unique_ptr<frmMain> w;
    sim::ProfileOptions profile;
};

}  // namespace dltest

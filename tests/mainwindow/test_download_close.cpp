// A close request that reaches the main window while a download runs: ignored, the
// download goes on to its end and starts the modules again; the window stays.
#include "test_download_fixture.h"

#include "can/frmcanopen.h"
#include "desktop/dialogs.h"
#include "lib/pxmbootloaders.h"
#include "lib/pxmmodules.h"

#include <QAbstractItemModel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

using namespace dltest;
using sim::PxmModule;

TEST_F(DownloadBusTest, AClosingDuringTheDownloadIsIgnoredAndTheDownloadGoesOn) {
    start(sim::Profile::SBus, 1);
    const QByteArray image = pattern(3000, 61);
    chooseApplication(image, 0x100000, QStringLiteral("APPL.S19"), {0, 1});
    answerBootloaderQuestion(true);
    answers->push(Dialogs::vbYes);  // "Restart application?"
    w->show();

    // Sent from the download's own wait, once the section of module 0 is under way.
    int requests = 0;
    bool closed = true;
    QObject::connect(w->lstMessage->model(), &QAbstractItemModel::rowsInserted, w.get(), [&] {
        if (requests > 0 || !logHas(QStringLiteral("   Download Application"))) return;
        ++requests;
        QTimer::singleShot(0, w.get(), [&] { closed = w->close(); });
    });

    w->cmdDownload_Click();

    ASSERT_EQ(requests, 1);
    EXPECT_FALSE(closed);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->m_exiting);
    const std::string text = log().join('\n').toStdString();
    EXPECT_TRUE(logHas(QStringLiteral("      PXM 0: ok"))) << text;
    EXPECT_TRUE(logHas(QStringLiteral("      PXM 1: ok"))) << text;
    EXPECT_EQ(bootloaders->image(0, 6), image);
    EXPECT_EQ(bootloaders->image(1, 6), image);
    EXPECT_TRUE(waitFor([&] {
        return modules->mode(0) == PxmModule::Mode::Application && modules->mode(1) == PxmModule::Mode::Application;
    })) << text;
    EXPECT_TRUE(lampGreen(0));
    EXPECT_TRUE(lampGreen(1));
    EXPECT_TRUE(w->cmdExit->isEnabled());
}

// End to end: the program started for a QTM site on its folder downloads the site's
// application into the spare module and uploads it again; the uploaded S-record file
// holds what the load file holds, byte for byte, and another program's reader accepts it.
#include "sitefixture.h"

#include "config/loadfiles.h"
#include "desktop/dialogs.h"
#include "mainwindow/vbcheckbox.h"
#include "mainwindow/vbcontrols.h"
#include "services/frmmessage2.h"
#include "services/modglobal.h"
#include "services/srecord.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>

using namespace e2e;

TEST_F(SiteTest, QtmApplicationDownloadedThenUploadedFromTheSpareIsTheSame) {
    startSite("qtm", 0);
    formLoad("/QTM /develop");
    ASSERT_TRUE(errors.empty()) << errors.front().description.toStdString();
    ASSERT_TRUE(waitFor([&] { return vbCheck::value(w->chkApplicationRunning[0]) == vbCheck::vbChecked; }, 5000));

    // The application row (section 2 in a QTM installation) into the spare.
    vbCheck::setValue(w->chkProgram[0], vbCheck::vbChecked);
    vbCheck::setValue(w->chkLoadSection[0], vbCheck::vbChecked);
    answers->push(Dialogs::vbYes);  // "Restart application?"
    w->cmdDownload->click();
    ASSERT_TRUE(vbControls::backColor(w->lblDownloadOk[0]) == vbControls::vbGreen) << logLines().join('\n').toStdString();
    ASSERT_TRUE(waitFor([&] { return vbCheck::value(w->chkApplicationRunning[0]) == vbCheck::vbChecked; }, 8000));

    w->mnuUploadFromSpare->trigger();

    const QString uploaded = QDir(modGlobal::g_uploadDir).filePath(QStringLiteral("QTM_application.s19"));
    EXPECT_EQ(modGlobal::g_uploadDir, filePath(QStringLiteral("Upload")));
    QByteArray loaded, back;
    qint32 loadedStart = 0, backStart = 0;
    ASSERT_TRUE(modDownload::g_sRecToBin(filePath(QStringLiteral("QTM_application.s19")), loaded, loadedStart));
    ASSERT_TRUE(modDownload::g_sRecToBin(uploaded, back, backStart)) << logLines().join('\n').toStdString();
    EXPECT_EQ(back, loaded);
    EXPECT_EQ(backStart, loadedStart);

    const QString bin = filePath(QStringLiteral("independent.bin"));
    const QString command = QStringLiteral("srec_cat '%1' -Motorola -offset -0x%2 -o '%3' -binary")
                                .arg(uploaded, QString::number(backStart, 16), bin);
    ASSERT_EQ(std::system(command.toLocal8Bit().constData()), 0) << command.toStdString();
    EXPECT_EQ(testsupport::readFile(bin), loaded);

    EXPECT_TRUE(vbControls::backColor(w->lblDownloadOk[0]) == vbControls::vbGreen && !w->lblDownloadOk[0]->isHidden());
    EXPECT_TRUE(logLines().contains(QStringLiteral("   Upload finished ")));
    EXPECT_TRUE(waitFor([&] { return vbCheck::value(w->chkApplicationRunning[0]) == vbCheck::vbChecked; }, 8000));
    EXPECT_TRUE(errors.empty());
}

// The module overview and the info-block details on tables made for the case: the
// reference module, the hidden fields, the equality marks and colours, the log, and the
// click that shows one field for every module.
#include "mainwindow/frminfoblockdetails.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/frmmoduleoverview.h"
#include "mainwindow/toolwindowlinks.h"
#include "mainwindow/vbcontrols.h"

#include "cansim/cansim.h"
#include "services/errtrap.h"
#include "testsupport.h"
#include "toolwindowgrab.h"

#include <QHeaderView>
#include <QListWidget>
#include <QTableWidget>
#include <gtest/gtest.h>
#include <memory>

namespace {

using vbControls::vbApplicationWorkspace;
using vbControls::vbButtonFace;
using vbControls::vbRed;

const char* const kSections[6] = {"Application", "Data Container", "FPGA", "Bootloader 2", "Bootloader 1", "Hardware"};
constexpr int rowAppl = 0, rowBl1 = 4, rowHw = 5;
constexpr int colCodeCrc = 7, colBlockCrc = 8, colSerial = 9, colRam = 10;

// Every module holds the same values, as the simulated modules do; the block CRC and the
// serial number differ by nature.
ModuleInfoTable sameSoftware() {
    ModuleInfoTable t{};
    for (int m = 0; m < moduleProtocol::moduleCount; ++m) {
        for (int r = 0; r < 6; ++r) {
            ModuleInfoRow& row = t[m][r];
            row[0] = QString::fromLatin1(kSections[r]);
            row[1] = r == rowHw ? QStringLiteral("312") : QStringLiteral("44");
            row[2] = QStringLiteral("ID%1").arg(r);
            row[3] = r >= 3 ? QStringLiteral("3.10") : QStringLiteral("---");
            row[4] = QStringLiteral("Jan 15 2024");
            row[5] = QStringLiteral("0x00100000");
            row[6] = QStringLiteral("1024");
            row[7] = QStringLiteral("0x1234567%1").arg(r);
            row[8] = QStringLiteral("0xABCDEF%1").arg(m, 2, 10, QLatin1Char('0'));
            row[9] = r == rowHw ? QString::number(10000 + m) : QStringLiteral("---");
            row[10] = r == rowHw ? QStringLiteral("&H0800") : QStringLiteral("---");
            row[11] = r == rowHw ? QStringLiteral("&H1000") : QStringLiteral("---");
        }
    }
    return t;
}

moduleProtocol::Selection presentModules(std::initializer_list<int> modules) {
    moduleProtocol::Selection p{};
    for (int m : modules) p[m] = true;
    return p;
}

class ModuleOverviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        cansim::recordErrors(errors);
        w = std::make_unique<frmMain>();
        frmMain::setInstance(w.get());
    }
    void TearDown() override {
        frmModuleOverview::instance().cmdExit_Click();
        frmInfoBlockDetails::instance().cmdExit_Click();
        frmMain::setInstance(nullptr);
        w.reset();
        ErrPtnr::errorHandlerLink::install(nullptr);
    }
    QStringList log() const {
        QStringList lines;
        for (int i = 0; i < w->lstMessage->count(); ++i) lines << w->lstMessage->item(i)->text();
        return lines;
    }
    static frmModuleOverview& overview() { return frmModuleOverview::instance(); }
    static QColor cellColor(int r, int c) { return overview().tdbModuleInfo->item(r, c)->background().color(); }

    testsupport::ScriptedAnswerer answers;
    std::vector<ErrPtnr::ErrorInfo> errors;
    std::unique_ptr<frmMain> w;
};

TEST_F(ModuleOverviewTest, ThreeModulesWithOneDifferingCodeCrc) {
    ModuleInfoTable t = sameSoftware();
    t[5][rowAppl][colCodeCrc] = QStringLiteral("0x99999999");
    t[0][rowAppl][2] = QStringLiteral("OLD");  // the spare is never compared
    overview().g_show(presentModules({0, 2, 5}), t);

    EXPECT_EQ(overview().referenceModule(), 2);
    EXPECT_EQ(overview().connectedCount(), 3);
    EXPECT_TRUE(overview().isVisible());
    EXPECT_EQ(overview().windowTitle(), QStringLiteral("Module Overview"));
    // The reference's value, marked as differing and red.
    EXPECT_EQ(overview().gridValue(rowAppl, colCodeCrc), QStringLiteral("0x12345670"));
    EXPECT_FALSE(overview().equalityMark(rowAppl, colCodeCrc));
    EXPECT_EQ(overview().tdbModuleInfo_FetchCellStyle(rowAppl, colCodeCrc), vbRed);
    EXPECT_EQ(cellColor(rowAppl, colCodeCrc), vbControls::toQColor(vbRed));
    EXPECT_EQ(overview().tdbModuleInfo->item(rowAppl, colCodeCrc)->text(), QStringLiteral("0x12345670"));
    EXPECT_TRUE(overview().equalityMark(rowAppl, 2));
    EXPECT_EQ(overview().gridValue(rowAppl, 2), QStringLiteral("ID0"));
    // Fields that differ by nature are hidden, in the face colour.
    for (int r = 0; r < 6; ++r) {
        SCOPED_TRACE(r);
        EXPECT_EQ(overview().gridValue(r, colBlockCrc), QStringLiteral("***"));
        EXPECT_EQ(overview().tdbModuleInfo_FetchCellStyle(r, colBlockCrc), vbButtonFace);
        EXPECT_EQ(overview().gridValue(r, colSerial), r == rowHw ? QStringLiteral("***") : QStringLiteral("---"));
    }
    EXPECT_EQ(overview().gridValue(rowHw, colRam), QStringLiteral("***"));
    EXPECT_EQ(overview().gridValue(rowHw, 1), QStringLiteral("312"));

    const QStringList lines = log();
    ASSERT_EQ(lines.size(), 11);
    EXPECT_TRUE(lines[0].startsWith(QString(82, '-') + ' '));
    EXPECT_EQ(lines[1], QStringLiteral("Infoblock values:"));
    EXPECT_EQ(lines[2], QStringLiteral("      * = value is not equal on all Modules"));
    // No gap for the date, which is not logged.
    EXPECT_EQ(lines[3], QStringLiteral("   Section         Size  Name      Version   Code start    Code Length   "
                                       "Code CRC      InfoBlock CRC Serial      RAM     Flash   "));
    EXPECT_EQ(lines[4], QStringLiteral("   Application     44    ID0       ---       0x00100000    1024          "
                                       "0x12345670*   ***           ---         ---     ---     "));
    EXPECT_EQ(lines[9], QStringLiteral("   Hardware        312   ID5       3.10      0x00100000    1024          "
                                       "0x12345675    ***           ***         ***     ***     "));
    EXPECT_EQ(lines[10], lines[0]);
    EXPECT_TRUE(errors.empty());
    toolWindowGrab::save(&overview(), "overview");
    // On a service laptop's screen the whole table is in view, inside the work area.
    EXPECT_TRUE(testsupport::workArea().contains(overview().frameGeometry()));
    QTableWidget* grid = overview().tdbModuleInfo;
    EXPECT_GE(grid->viewport()->width(), grid->horizontalHeader()->length());
    EXPECT_GE(grid->viewport()->height(), grid->verticalHeader()->length());
    EXPECT_TRUE(testsupport::keepGrab(&overview(), QStringLiteral("overview-1280x800")));
}

TEST_F(ModuleOverviewTest, CellColoursFollowTheMarksAndTheRow) {
    struct Case {
        const char* what;
        int row, col;
        QString value;  // module 3's value; module 2 is the reference
        quint32 colour;
        bool logMark;
    };
    const Case cases[] = {
        {"same value", rowAppl, 5, QStringLiteral("0x00100000"), vbButtonFace, false},
        {"differing in the application row", rowAppl, 6, QStringLiteral("2048"), vbRed, true},
        {"differing in the FPGA row", 2, 2, QStringLiteral("FPGA9"), vbRed, true},
        {"differing in the bootloader 1 row", rowBl1, 3, QStringLiteral("3.12"), vbApplicationWorkspace, true},
        {"differing in the hardware row", rowHw, 2, QStringLiteral("HW2"), vbApplicationWorkspace, true},
        {"section column", rowAppl, 0, QStringLiteral("Application"), vbButtonFace, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        w->lstMessage->clear();
        ModuleInfoTable t = sameSoftware();
        t[3][c.row][c.col] = c.value;
        overview().g_show(presentModules({2, 3}), t);
        EXPECT_EQ(overview().tdbModuleInfo_FetchCellStyle(c.row, c.col), c.colour);
        EXPECT_EQ(overview().equalityMark(c.row, c.col), !c.logMark || c.col == 0);
        const QString shown = overview().gridValue(c.row, c.col);
        EXPECT_EQ(log()[4 + c.row].contains(shown + '*'), c.logMark);
    }
    // A value that could not be read is grey whatever the other modules hold.
    ModuleInfoTable t = sameSoftware();
    t[2][rowAppl][5] = QStringLiteral("---");
    overview().g_show(presentModules({2, 3}), t);
    EXPECT_EQ(overview().tdbModuleInfo_FetchCellStyle(rowAppl, 5), vbApplicationWorkspace);
    EXPECT_FALSE(overview().equalityMark(rowAppl, 5));
}

TEST_F(ModuleOverviewTest, ReferenceAndHiddenFieldsByTheModulesConnected) {
    struct Case {
        const char* what;
        moduleProtocol::Selection present;
        int reference;
        bool hidden;
    };
    const Case cases[] = {
        {"only the spare", presentModules({0}), 0, false},
        {"spare and module 3", presentModules({0, 3}), 3, true},
        {"one cylinder module", presentModules({7}), 7, false},
        {"modules 14 and 9", presentModules({14, 9}), 9, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ModuleInfoTable t = sameSoftware();
        // The spare differs everywhere, and so does every absent module: neither marks anything.
        for (int r = 0; r < 6; ++r)
            for (int col = 1; col < 12; ++col) {
                t[0][r][col] += QStringLiteral("x");
                t[c.reference == 1 ? 2 : 1][r][col] += QStringLiteral("y");
            }
        overview().g_show(c.present, t);
        EXPECT_EQ(overview().referenceModule(), c.reference);
        for (int r = 0; r < 6; ++r)
            for (int col = 0; col < 12; ++col) {
                const bool hide = c.hidden && (col == colBlockCrc || (col >= colSerial && r == rowHw));
                EXPECT_EQ(overview().gridValue(r, col), hide ? QStringLiteral("***") : t[c.reference][r][col]);
                // The block CRCs of modules 9 and 14 differ: hidden, so no red.
                EXPECT_NE(overview().tdbModuleInfo_FetchCellStyle(r, col), vbRed) << r << "," << col;
            }
    }
    const QStringList lines = log();
    EXPECT_TRUE(std::none_of(lines.begin(), lines.end(), [](const QString& l) { return l.contains("x*") || l.contains("y*"); }));
}

TEST_F(ModuleOverviewTest, AClickOnAFieldShowsItForEveryModule) {
    ModuleInfoTable t = sameSoftware();
    t[5][rowAppl][colCodeCrc] = QStringLiteral("0x99999999");
    t[2][rowAppl][colCodeCrc] = QStringLiteral("---");
    overview().g_show(presentModules({0, 2, 5, 12}), t);
    w->lstMessage->clear();

    std::vector<std::vector<QString>> shown;
    std::vector<quint32> colours;
    QString caption;
    answers.pushForm([&](QDialog* d) {
        auto* details = qobject_cast<frmInfoBlockDetails*>(d);
        EXPECT_NE(details, nullptr);
        for (int m = 0; m < moduleProtocol::moduleCount; ++m) {
            shown.push_back({details->gridValue(m, 0), details->gridValue(m, 1)});
            colours.push_back(details->tdbDetailInfo_FetchCellStyle(m));
        }
        caption = details->tdbDetailInfo->horizontalHeaderItem(1)->text();
        EXPECT_EQ(details->tdbDetailInfo->rowCount(), moduleProtocol::moduleCount);
        EXPECT_EQ(details->tdbDetailInfo->item(5, 1)->text(), QStringLiteral("0x99999999"));
        toolWindowGrab::save(details, "details");
        return 0;
    });
    overview().tdbModuleInfo->setCurrentCell(rowAppl, colCodeCrc);

    ASSERT_EQ(answers.shown().size(), 1u);
    EXPECT_EQ(answers.shown()[0].title, QStringLiteral("All Modules"));
    EXPECT_EQ(caption, QStringLiteral("Application : Code CRC"));
    ASSERT_EQ(shown.size(), size_t(moduleProtocol::moduleCount));
    for (int m = 0; m < moduleProtocol::moduleCount; ++m) {
        SCOPED_TRACE(m);
        EXPECT_EQ(shown[m][0], QString::number(m));
        const bool present = m == 0 || m == 2 || m == 5 || m == 12;
        // The colour follows presence, not the value: module 2's "---" is on the face colour.
        EXPECT_EQ(colours[m], present ? vbButtonFace : vbApplicationWorkspace);
        if (!present) {
            EXPECT_EQ(shown[m][1], QStringLiteral("---"));
        }
    }
    EXPECT_EQ(shown[0][1], QStringLiteral("0x12345670"));
    EXPECT_EQ(shown[2][1], QStringLiteral("---"));
    EXPECT_EQ(shown[5][1], QStringLiteral("0x99999999"));

    const QStringList lines = log();
    ASSERT_EQ(lines.size(), 19);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("INFO BLOCK ") + QString(71, '-') + ' '));
    EXPECT_EQ(lines[0].size(), lines[18].size());
    EXPECT_EQ(lines[1], QStringLiteral("Info Block Details:"));
    EXPECT_EQ(lines[2], QStringLiteral("   Module     Application : Code CRC"));
    EXPECT_EQ(lines[3], QStringLiteral("      0       0x12345670"));
    EXPECT_EQ(lines[4], QStringLiteral("      1       ---"));
    EXPECT_EQ(lines[8], QStringLiteral("      5       0x99999999"));
    EXPECT_EQ(lines[15], QStringLiteral("     12       0x12345670"));
    EXPECT_TRUE(lines[18].startsWith(QString(82, '-') + ' '));
    // Back on the first cell, so the same cell opens again.
    EXPECT_EQ(overview().tdbModuleInfo->currentRow(), 0);
    EXPECT_EQ(overview().tdbModuleInfo->currentColumn(), 0);
    overview().tdbModuleInfo->setCurrentCell(rowAppl, colCodeCrc);
    EXPECT_EQ(answers.shown().size(), 2u);
    // The section column opens nothing.
    overview().tdbModuleInfo->setCurrentCell(rowHw, 0);
    EXPECT_EQ(answers.shown().size(), 2u);
    EXPECT_TRUE(errors.empty());
}

TEST_F(ModuleOverviewTest, TheExitProcedureClosesTheToolWindows) {
    // The program's own answer: the slot's default.
    frmModuleOverviewLink::install(nullptr);
    overview().g_show(presentModules({1}), sameSoftware());
    EXPECT_TRUE(frmModuleOverviewLink::get().isLoaded());
    frmModuleOverviewLink::get().unload();
    EXPECT_FALSE(frmModuleOverviewLink::get().isLoaded());
    EXPECT_FALSE(overview().isVisible());
    // The close box does the same as Exit.
    overview().g_show(presentModules({1}), sameSoftware());
    overview().close();
    EXPECT_FALSE(frmModuleOverviewLink::get().isLoaded());
}

}  // namespace

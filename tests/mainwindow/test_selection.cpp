// Module and section selection: the "All" boxes and the rules that keep the section
// choice consistent, as the engineer's clicks and the commands' changes meet them.
#include "mainwindowfixture.h"

#include "mainwindow/vbcheckbox.h"

// Readable texts in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

using namespace mwtest;
using namespace vbCheck;

namespace {
struct SelectionTest : MainWindowTest {
    void TearDown() override {
        modGlobal::g_forceFPGAdownload = false;
        MainWindowTest::TearDown();
    }
    // Sets a box without running any handler.
    void quietly(QCheckBox* box, int v) {
        w->m_inSelectionUpdate = true;
        setValue(box, v);
        w->m_inSelectionUpdate = false;
    }
    QString rows() const {
        QString s;
        for (auto* row : w->chkLoadSection) s += QString::number(value(row)) + (enabled(row) ? "" : "x") + " ";
        return s.trimmed();
    }
};
}  // namespace

TEST_F(SelectionTest, TheModulesAllBoxFollowsModuleZeroAndGraysOnAnEnabledDifference) {
    const struct {
        const char* name;
        int module0;                              // every module's value first
        std::vector<std::pair<int, int>> others;  // then these modules' values
        std::vector<int> disabled;
        int all;
    } cases[] = {
        {"all clear", 0, {}, {}, 0},
        {"all checked", 1, {}, {}, 1},
        {"one enabled module differs", 1, {{5, 0}}, {}, 2},
        {"the differing module is disabled", 1, {{5, 0}}, {5}, 1},
        {"module 0 leads also when disabled", 1, {{0, 0}}, {0}, 2},
        {"last module differs", 0, {{14, 1}}, {}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        w = std::make_unique<frmMain>();
        for (int i = 0; i < frmMain::moduleCount; ++i) quietly(w->chkProgram[i], c.module0);
        for (auto [m, v] : c.others) quietly(w->chkProgram[m], v);
        for (int m : c.disabled) w->chkProgram[m]->setEnabled(false);
        // A click on a module box that leaves its value re-evaluates the whole column.
        w->chkProgram_Click(7);
        EXPECT_EQ(value(w->chkProgramAllModules), c.all);
        EXPECT_FALSE(w->m_inSelectionUpdate);
    }
}

TEST_F(SelectionTest, ClickingAModuleBoxUpdatesTheAllBox) {
    w->chkProgram[0]->click();
    EXPECT_EQ(value(w->chkProgramAllModules), vbGrayed);
    for (int i = 1; i < frmMain::moduleCount; ++i) w->chkProgram[i]->click();
    EXPECT_EQ(value(w->chkProgramAllModules), vbChecked);
}

TEST_F(SelectionTest, AllModulesSelectsTheAnsweringModulesAndLocksTheSilentOnesForGood) {
    for (int i : {0, 2}) setValue(w->chkApplicationRunning[i], vbChecked);
    setValue(w->chkBootLoaderRunning[3], vbChecked);
    w->chkProgram[9]->setChecked(true);  // a module that no longer answers

    w->chkProgramAllModules->click();
    for (int i = 0; i < frmMain::moduleCount; ++i) {
        SCOPED_TRACE(i);
        const bool answers = i == 0 || i == 2 || i == 3;
        EXPECT_EQ(value(w->chkProgram[i]), answers ? vbChecked : vbUnchecked);
        EXPECT_EQ(enabled(w->chkProgram[i]), answers);
    }
    EXPECT_EQ(value(w->chkProgramAllModules), vbChecked);

    w->chkProgramAllModules->click();
    for (int i : {0, 2, 3}) EXPECT_EQ(value(w->chkProgram[i]), vbUnchecked);
    EXPECT_FALSE(enabled(w->chkProgram[9]));
    EXPECT_EQ(value(w->chkProgramAllModules), vbUnchecked);
}

TEST_F(SelectionTest, AGrayedAllBoxBecomesCheckedWhenClicked) {
    setValue(w->chkApplicationRunning[0], vbChecked);
    setValue(w->chkApplicationRunning[1], vbChecked);
    w->chkProgram[0]->click();
    ASSERT_EQ(value(w->chkProgramAllModules), vbGrayed);
    w->chkProgramAllModules->click();
    EXPECT_EQ(value(w->chkProgram[1]), vbChecked);
    EXPECT_EQ(value(w->chkProgramAllModules), vbChecked);
}

TEST_F(SelectionTest, SectionRules) {
    // Rows: 0 Application, 1 Data Container, 2 FPGA, 3 Bootloader 2, 4 QTM application.
    // Expected: each row's value, "x" when disabled; then the sections' "All" box.
    const struct {
        const char* name;
        bool forceFpga;
        std::vector<int> clicks;  // rows clicked in order
        const char* rows;
        int all;
    } cases[] = {
        {"one row", false, {1}, "0 1 0 0 0", 2},
        {"Bootloader 2 clears and locks the three others", false, {0, 1, 2, 3}, "0x 0x 0x 1 0", 2},
        {"clearing Bootloader 2 unlocks them, still clear", false, {0, 3, 3}, "0 0 0 0 0", 0},
        {"FPGA follows the application", true, {0}, "1 0 1x 0 0", 2},
        {"FPGA stays locked after Bootloader 2", true, {3, 3}, "0 0 0x 0 0", 0},
        {"every row checked", false, {0, 1, 2, 4}, "1 1 1 0 1", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        w = std::make_unique<frmMain>();
        modGlobal::g_forceFPGAdownload = c.forceFpga;
        if (c.forceFpga) w->chkLoadSection[2]->setEnabled(false);  // as the load-file look-up leaves it
        for (int pos : c.clicks) w->chkLoadSection[pos]->click();
        EXPECT_EQ(rows(), c.rows);
        EXPECT_EQ(value(w->chkProgramAllSections), c.all);
    }
}

TEST_F(SelectionTest, ACommandCheckingBootloader2LocksTheOthersAsAClickWould) {
    setValue(w->chkLoadSection[0], vbChecked);
    setValue(w->chkLoadSection[3], vbChecked);
    EXPECT_EQ(rows(), "0x 0x 0x 1 0");
}

TEST_F(SelectionTest, AllSectionsChecksEveryShownEnabledRowWithoutTheRules) {
    w->chkLoadSection[4]->hide();  // a row that offers no section
    w->chkLoadSection[1]->setEnabled(false);
    w->chkProgramAllSections->click();
    EXPECT_EQ(rows(), "1 0x 1 1 0");
    EXPECT_EQ(value(w->chkProgramAllSections), vbChecked);
    w->chkProgramAllSections->click();
    EXPECT_EQ(rows(), "0 0x 0 0 0");
}

TEST_F(SelectionTest, AHiddenRowThatDiffersDoesNotGrayTheSectionsAllBox) {
    w->chkLoadSection[4]->hide();
    for (int pos : {0, 1, 2}) w->chkLoadSection[pos]->click();
    EXPECT_EQ(value(w->chkProgramAllSections), vbGrayed);  // Bootloader 2 is shown and clear
    w->chkLoadSection[3]->hide();
    w->chkLoadSection_Click(0);
    EXPECT_EQ(value(w->chkProgramAllSections), vbChecked);
}

TEST_F(SelectionTest, AbortRaisesTheFlag) {
    w->cmdAbort->setEnabled(true);
    w->cmdAbort->click();
    EXPECT_TRUE(w->m_abort);
    w->cmdAbort->click();
    EXPECT_TRUE(w->m_abort);
}

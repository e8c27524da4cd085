// The editor window on a real database under the offscreen platform: the record source of
// each view, edits written through, refused entries, sorting, the column views, and a
// large table.
#include "dcdatabase/dcgridmodel.h"
#include "dcdatabase/frmeditdc.h"
#include "editorfixture.h"

#include <QApplication>
#include <QStyle>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableView>

namespace {

struct EditorTest : ::testing::Test {
    testsupport::ScriptedAnswerer answers;
    EditorDb data;
    frmEditDC& form = frmEditDC::instance();
    std::optional<testsupport::VirtualClockScope> clock;

    void SetUp() override {
        clock.emplace();
        modGlobal::g_applicationType = 0;
        form.chkNewLine->setChecked(false);
    }
    void TearDown() override {
        modGlobal::g_applicationType = 0;
        clock.reset();
    }

    // Opens the editor; the callback works the window while it is up.
    bool open(const QString& kind, const std::function<void()>& work = {}) {
        answers.pushForm([&](QDialog*) {
            form.show();
            if (work) work();
            return 0;
        });
        return form.g_showForm(data.path, kind);
    }

    QTableView* grid() const { return form.visibleGrid(); }
    int column(const QString& caption) const {
        auto* m = grid()->model();
        for (int c = 0; c < m->columnCount(); ++c)
            if (m->headerData(c, Qt::Horizontal).toString() == caption) return c;
        return -1;
    }
    QString cell(int row, const QString& caption) const {
        return grid()->model()->index(row, column(caption)).data().toString();
    }
    QLineEdit* openEditor() const {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const auto eds = grid()->viewport()->findChildren<QLineEdit*>();
        return eds.isEmpty() ? nullptr : eds.last();
    }
    // Types the text into the cell's in-place editor and presses Enter; returns the editor
    // when it stayed open.
    QLineEdit* type(int row, const QString& caption, const QString& text) {
        const QModelIndex idx = grid()->model()->index(row, column(caption));
        grid()->setCurrentIndex(idx);
        grid()->edit(idx);
        QLineEdit* ed = openEditor();
        EXPECT_NE(ed, nullptr) << caption.toStdString();
        if (!ed) return nullptr;
        ed->setText(text);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(ed, &enter);
        // The view commits and closes the editor queued; the move to the next row follows.
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        return openEditor();
    }
    bool shown(const QString& caption) const { return !grid()->isColumnHidden(column(caption)); }
};

}  // namespace

TEST_F(EditorTest, ParameterViewOpensOnAdjustAndFiltersByItsGroup) {
    data.addSymbol("PAR_A", 10, "PARAMETER", "130.1", 3);
    data.addSymbol("PAR_B", 11, "PARAMETER", "130.2", 1);
    data.addSymbol("GLB_C", 2050, "VARIABLE", "130.3", 0);
    EXPECT_FALSE(open("PARAMETER", [&] {
        EXPECT_EQ(form.cboCrcGroup->currentText(), "ADJUST");
        EXPECT_EQ(form.cboCrcGroup->itemText(form.cboCrcGroup->count() - 1), "--ALL--");
        EXPECT_EQ(form.recordSource(), "SELECT * FROM dcEnums WHERE class=? AND crcGroup=? ORDER BY \"id\" ASC, id");
        EXPECT_EQ(form.recordSourceParams(), (QVariantList{"PARAMETER", 3}));
        EXPECT_EQ(grid()->model()->rowCount(), 1);
        EXPECT_FALSE(shown("CRC-Grp"));
        EXPECT_FALSE(shown("Group"));
        EXPECT_EQ(grid()->columnWidth(column("Name")), 296);
        // "--ALL--" shows the CRC group column and narrows the name by its width.
        form.cboCrcGroup->setCurrentIndex(form.cboCrcGroup->count() - 1);
        form.cboCrcGroup_Click();
        EXPECT_EQ(grid()->model()->rowCount(), 2);
        EXPECT_TRUE(shown("CRC-Grp"));
        EXPECT_EQ(grid()->columnWidth(column("Name")), 296 - grid()->columnWidth(column("CRC-Grp")));
        EXPECT_EQ(cell(0, "CRC-Grp"), "Adjust");
        EXPECT_EQ(cell(0, "Min"), "---");
    }));
}

TEST_F(EditorTest, TheGridsTipsFloatUpAfter200Ms) {
    data.addSymbol("PAR_A", 10, "PARAMETER", "130.1", 3);
    const int asleepBefore = QApplication::style()->styleHint(QStyle::SH_ToolTip_FallAsleepDelay);
    EXPECT_FALSE(open("PARAMETER", [&] {
        EXPECT_EQ(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 200);
        // Only the delay changes: the other hints stay.
        EXPECT_EQ(QApplication::style()->styleHint(QStyle::SH_ToolTip_FallAsleepDelay), asleepBefore);
    }));
}

TEST_F(EditorTest, DarvoOpensOnNormal) {
    modGlobal::g_applicationType = 2;
    open("PARAMETER", [&] {
        EXPECT_EQ(form.cboCrcGroup->currentText(), "NORMAL");
        EXPECT_EQ(form.recordSourceParams(), (QVariantList{"PARAMETER", 2}));
        EXPECT_EQ(form.cboCrcGroup->count(), 5);
    });
}

TEST_F(EditorTest, VariableViewListsFunctionGroupsAndFiltersByPrefixAsData) {
    data.addSymbol("GLB_A", 2048, "VARIABLE", "130.1", 0);
    data.addSymbol("GLB_B", 2049, "VARIABLE", "1300.5", 0);
    data.addSymbol("GLB_C", 2050, "VARIABLE", "131.2", 0);
    data.addSymbol("GLB_D", 2051, "VARIABLE", "77", 0);
    data.addSymbol("GLB_E", 2052, "VARIABLE", "9'9.1", 0);
    data.addSymbol("GLB_LOW", 100, "VARIABLE", "555.1", 0);
    open("VARIABLE", [&] {
        QStringList items;
        for (int i = 0; i < form.cboCrcGroup->count(); ++i) items << form.cboCrcGroup->itemText(i);
        EXPECT_EQ(items, (QStringList{"130: COM/CYL-General", "131: COM-General", "77: Unknown", "9'9: Unknown",
                                      "--ALL--"}));
        EXPECT_EQ(form.cboCrcGroup->currentText(), "--ALL--");
        EXPECT_TRUE(shown("Group"));
        EXPECT_FALSE(shown("CRC-Grp"));
        EXPECT_EQ(grid()->model()->rowCount(), 6);
        EXPECT_FALSE(grid()->model()->flags(grid()->model()->index(0, column("Value"))) & Qt::ItemIsEditable);

        form.cboCrcGroup->setCurrentIndex(0);
        form.cboCrcGroup_Click();
        EXPECT_EQ(form.recordSourceParams(), (QVariantList{"VARIABLE", 3, "130"}));
        EXPECT_EQ(grid()->model()->rowCount(), 2);  // 130.1 and 1300.5
        EXPECT_FALSE(shown("Group"));

        // An apostrophe in a function-plan id is data, not SQL.
        form.cboCrcGroup->setCurrentIndex(3);
        form.cboCrcGroup_Click();
        EXPECT_EQ(grid()->model()->rowCount(), 1);
        EXPECT_EQ(cell(0, "Name"), "GLB_E");
        EXPECT_TRUE(answers.shown().size() == 1) << "no error box";
    });
}

TEST_F(EditorTest, ShowOnlyNewAlarms) {
    data.addAlarm("ALM_OLD", 1, 0, "", 1);
    data.addAlarm("ALM_NEW", 2, 0, "", 0);
    open("ALARM", [&] {
        form.chkNewLine->setChecked(true);
        form.chkNewLine_Click();
        EXPECT_EQ(form.recordSource(), "SELECT * FROM alarmEnums WHERE \"upDate\"=? ORDER BY \"id\" ASC, id");
        ASSERT_EQ(grid()->model()->rowCount(), 1);
        EXPECT_EQ(cell(0, "Name"), "ALM_NEW");
    });
}

TEST_F(EditorTest, AnAcceptedEditIsWrittenAtOnceAndMovesDown) {
    data.addSymbol("PAR_A", 10, "PARAMETER", "130.1", 3);
    data.addSymbol("PAR_B", 11, "PARAMETER", "130.2", 3);
    const bool changed = open("PARAMETER", [&] {
        form.optShowVarCol[2]->setChecked(true);
        EXPECT_EQ(type(0, "Modb.Addr", "30017"), nullptr);
        EXPECT_EQ(data.value("SELECT modbusAddr FROM dcEnums WHERE id=10").toInt(), 32785);
        EXPECT_EQ(cell(0, "Modb.Addr"), "30017");
        EXPECT_EQ(grid()->currentIndex().row(), 1);
        EXPECT_EQ(type(1, "Modb.Addr", "cyl+17"), nullptr);
        EXPECT_EQ(cell(1, "Modb.Addr"), "Cyl+30017");
        EXPECT_EQ(grid()->model()->index(1, column("0")).data(Qt::ToolTipRole).toString(), "Modul 0");
    });
    EXPECT_TRUE(changed);
}

TEST_F(EditorTest, ARefusedEntryKeepsTheEditorOpenWithTheTypedTextAndSaysWhy) {
    data.addSymbol("PAR_A", 10, "PARAMETER", "130.1", 3);
    const bool changed = open("PARAMETER", [&] {
        form.optShowVarCol[2]->setChecked(true);
        QLineEdit* ed = type(0, "Modb.Addr", "abc");
        ASSERT_NE(ed, nullptr);
        EXPECT_EQ(ed->text(), "abc");
        EXPECT_TRUE(form.lblEditInfo->text().contains("Cyl+")) << form.lblEditInfo->text().toStdString();
        EXPECT_EQ(data.value("SELECT modbusAddr FROM dcEnums WHERE id=10").toInt(), 0);
        EXPECT_EQ(grid()->currentIndex().row(), 0);
        // Leaving the cell gives up the refused entry without writing it.
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(ed, &esc);
        EXPECT_EQ(openEditor(), nullptr);
    });
    EXPECT_FALSE(changed);
}

TEST_F(EditorTest, ProducerBitsAndAlarmNames) {
    data.addAlarm("ALM_A", 1, 3, "GLB_SIG");
    data.addAlarm("ALM_B", 2, 3, "");
    open("ALARM", [&] {
        form.optShowLogCol[1]->setChecked(true);
        EXPECT_TRUE(shown("OR"));
        EXPECT_FALSE(shown("Comment"));
        EXPECT_FALSE(shown("Producer"));
        EXPECT_EQ(type(0, "2", "x"), nullptr);
        EXPECT_EQ(type(0, "OR", "X"), nullptr);
        EXPECT_EQ(data.value("SELECT producerMask FROM alarmEnums WHERE id=1").toInt(), 32768 + 4);
        EXPECT_EQ(cell(0, "2"), "X");
        EXPECT_NE(type(0, "3", "40000"), nullptr);

        // The Name of an alarm with an internal criterion and no signal is red.
        const QModelIndex nameB = grid()->model()->index(1, column("Name"));
        EXPECT_EQ(nameB.data(Qt::BackgroundRole).value<QBrush>().color(), QColor(255, 0, 0));

        form.optShowLogCol[2]->setChecked(true);
        EXPECT_TRUE(shown("Signal Name"));
        EXPECT_EQ(type(0, "Signal Name", "GLB_OTHER"), nullptr);
        EXPECT_EQ(data.value("SELECT signalIndex FROM alarmEnums WHERE id=1").toInt(), -1);
        EXPECT_EQ(data.value("SELECT signalIndexName FROM alarmEnums WHERE id=1").toString(), "GLB_OTHER");
    });
}

TEST_F(EditorTest, HeaderClicksSortAndKeepTheFilters) {
    data.addSymbol("PAR_B", 10, "PARAMETER", "130.1", 3);
    data.addSymbol("PAR_A", 11, "PARAMETER", "130.2", 3);
    data.addSymbol("PAR_C", 12, "PARAMETER", "130.2", 1);
    open("PARAMETER", [&] {
        const int name = column("Name");
        form.HeadClick(name);
        EXPECT_EQ(cell(0, "Name"), "PAR_A");
        form.HeadClick(name);
        EXPECT_EQ(form.sortOrder(), "DESC");
        EXPECT_EQ(cell(0, "Name"), "PAR_B");
        EXPECT_EQ(grid()->model()->rowCount(), 2);
        form.HeadClick(name);
        EXPECT_EQ(form.sortOrder(), "ASC");
        form.HeadClick(column("5"));
        EXPECT_TRUE(form.recordSource().contains("ORDER BY \"producerMask\" ASC"));
    });
}

TEST_F(EditorTest, OptionsSwitchColumnsWithoutRequerying) {
    data.addSymbol("GLB_A", 2048, "VARIABLE", "130.1", 0);
    data.addSymbol("GLB_B", 2049, "VARIABLE", "130.2", 0);
    open("VARIABLE", [&] {
        EXPECT_TRUE(shown("Write"));  // the preset of the variable view
        grid()->setCurrentIndex(grid()->model()->index(1, column("Name")));
        const QString source = form.recordSource();
        form.optShowVarCol[3]->setChecked(true);
        EXPECT_TRUE(shown("0") && shown("14") && shown("OR") && shown("Modb.Addr"));
        EXPECT_FALSE(shown("Comment"));
        EXPECT_TRUE(shown("Value"));
        form.optShowVarCol[0]->setChecked(true);
        EXPECT_FALSE(shown("0") || shown("OR"));
        EXPECT_TRUE(shown("Comment") && shown("Min") && shown("Value"));
        EXPECT_EQ(form.recordSource(), source);
        EXPECT_EQ(grid()->currentIndex().row(), 1);
    });
}

TEST_F(EditorTest, ALargeTableOpensAndScrolls) {
    data.db->Execute("BEGIN");
    for (int i = 0; i < 20000; ++i)
        data.addSymbol(QStringLiteral("GLB_V%1").arg(i, 5, 10, QLatin1Char('0')), 2048 + i, "VARIABLE",
                       QStringLiteral("%1.%2").arg(130 + i % 20).arg(i), 0);
    data.db->Execute("COMMIT");
    open("VARIABLE", [&] {
        form.resize(1000, 600);
        ASSERT_EQ(grid()->model()->rowCount(), 20000);
        grid()->scrollToBottom();
        grid()->grab();
        const QModelIndex bottom = grid()->indexAt(QPoint(10, grid()->viewport()->height() - 5));
        EXPECT_GT(bottom.row(), 19900);
        EXPECT_EQ(cell(19999, "Name"), "GLB_V19999");
        if (qEnvironmentVariableIsSet("KELB_GRAB_DIR")) form.grab().save(qEnvironmentVariable("KELB_GRAB_DIR") + "/frmEditDC.png");
    });
}

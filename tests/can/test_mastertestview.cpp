// The CAN master's test view "CANopen Test".
#include "can/frmcanopen.h"
#include "can/modconnectionstatus.h"
#include "can/modheartbeatcontrol.h"
#include "desktop/dialogs.h"
#include "desktop/timeservice.h"
#include "masterfixture.h"
#include "services/modglobal.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace mastertest;
using moduleProtocol::ModuleState;

namespace {
class TestView : public MasterTest {
protected:
    void SetUp() override {
        MasterTest::SetUp();
        bus(0);
    }
    // The S-Bus with module 1's application (node 0x21) as the target.
    sim::Node* target() {
        EXPECT_TRUE(initialise("S-Bus", 0));
        return addNode(0, 0x21);
    }
    void read(const QString& index, const QString& sub) {
        master().txtIndex->setText(index);
        master().txtSubindex->setText(sub);
        master().cmdReadSDO->click();
    }
};

QByteArray infoBlock() {
    QByteArray b(44, '\0');
    b[3] = 44;  // size, most significant byte first
    b.replace(4, 8, "APPLPXM1");
    b[15] = 1;
    b.replace(16, 11, "Mar 05 2024");
    for (int i = 0; i < 16; ++i) b[28 + i] = static_cast<char>(0x10 + i);
    return b;
}
}  // namespace

TEST_F(TestView, ShowingLoadsTheWindowWithItsDesignTexts) {
    master().g_show();
    frmCANopen& m = master();
    EXPECT_TRUE(m.isLoaded());
    EXPECT_TRUE(m.timHeartBeatControl->isActive()) << "the tick runs from the load";
    EXPECT_EQ(m.windowTitle(), "CANopen Test");
    EXPECT_EQ(m.fraCanOpen->title(), "CANopen");
    EXPECT_EQ(m.optTargetMode[0]->text(), "Application:");
    EXPECT_TRUE(m.optTargetMode[0]->isChecked());
    EXPECT_EQ(m.optTargetMode[1]->text(), "Bootloader:");
    EXPECT_EQ(m.txtCylNo->text(), "1");
    EXPECT_EQ(m.lblCylNo->text(), "Cyl.No.:");
    EXPECT_EQ(m.cmdStopStartNode->text(), "Stop && Start Node");
    EXPECT_EQ(m.fraReadSDO->title(), "Read SDO");
    EXPECT_EQ(m.txtIndex->text(), "1000");
    EXPECT_EQ(m.txtSubindex->text(), "0");
    EXPECT_EQ(m.lblIndex->text(), "Index (Hex):");
    EXPECT_EQ(m.lblSubIndex->text(), "Subindex:");
    EXPECT_EQ(m.cmdReadSDO->text(), "Read");
    EXPECT_EQ(m.lblResult->text(), "Result:");
    EXPECT_EQ(m.fraHeartBeat->title(), "Heart Beat");
    EXPECT_EQ(m.txtHeartBeatTime->text(), "0");
    EXPECT_EQ(m.lblHeartBeatTime->text(), "Time (ms):");
    EXPECT_EQ(m.cmdSetHeartBeat->text(), "Set Heart Beat");
    EXPECT_EQ(m.grpStatusQueue->title(), "Status Queue");
    EXPECT_EQ(m.cmdInitCOP->text(), "Init CANopen-Master");
    EXPECT_EQ(m.cmdResetCOP->text(), "Release CANopen-Master");
    EXPECT_EQ(m.Label1->text(), "Master State :");
    EXPECT_EQ(m.lblMasterState->text(), "not initialized");
    EXPECT_EQ(m.cboSDO->currentIndex(), 0);
    EXPECT_EQ(m.cboSDO->count(), 11);
    // On a service laptop's screen the view opens inside the work area.
    EXPECT_TRUE(testsupport::workArea().contains(m.frameGeometry()));
    EXPECT_TRUE(testsupport::keepGrab(&m, QStringLiteral("can-master-view-1280x800")));
}

TEST_F(TestView, ChoosingAnObjectFillsIndexAndSubIndex) {
    master().g_show();
    frmCANopen& m = master();
    const struct {
        int entry;
        const char* text;
        const char* index;
        const char* sub;
    } cases[] = {
        {0, "device type", "1000", "0"},     {3, "manufacturer name", "1008", "0"},
        {5, "software version", "100A", "0"}, {6, "producer heartbeat time", "1017", "0"},
        {10, "serial no", "1018", "4"},
    };
    for (const auto& c : cases) {
        m.cboSDO_GotFocus();
        EXPECT_FALSE(m.fraIndex->isVisibleTo(&m));
        m.cboSDO->setCurrentIndex(c.entry);
        m.cboSDO_Click();
        EXPECT_EQ(m.cboSDO->currentText(), c.text);
        EXPECT_EQ(m.txtIndex->text(), c.index);
        EXPECT_EQ(m.txtSubindex->text(), c.sub);
        EXPECT_TRUE(m.fraIndex->isVisibleTo(&m));
    }
}

TEST_F(TestView, ReadShowsTheObjectByIndex) {
    sim::Node* n = target();
    n->od().addDomain(0x2000, 0, bytes({0x01, 0x02, 0x03}));
    n->od().addDomain(0x1018, 1, infoBlock());
    n->od().addU8(0x1018, 0, 4);
    n->od().addU16(0x1017, 0, 1000);
    n->od().addU32(0x1000, 0, 0x00020191);
    const struct {
        const char* index;
        const char* sub;
        const char* name;
        const char* value;
    } cases[] = {
        {"1000", "0", "device type", "&H00020191"},
        {"1008", "0", "manufacturer name", "KELB-3817 PXM #00"},
        {"1009", "0", "hardware version", "7"},
        {"100A", "0", "software version", "3.10"},
        {"1017", "0", "producer heartbeat time", "&H03E8"},
        {"2000", "0", "-------", "&H030201"},
        {"1018", "0", "identity object / no of elements", "4"},
        {"1018", "1", "identity object / vendor id",
         "Size: 44\r\nID: APPLPXM1\r\nVersion: 1\r\nDate: Mar 05 2024\r\nCode Start: &H13121110\r\n"
         "Code Length: &H17161514\r\nCode Checksum: &H1B1A1918\r\nInfo Block Checksum: &H1F1E1D1C"},
    };
    for (const auto& c : cases) {
        read(c.index, c.sub);
        EXPECT_EQ(master().lblResult->text(), c.name) << c.index;
        EXPECT_EQ(master().txtResult->toPlainText().replace('\n', "\r\n"), QString::fromLatin1(c.value)) << c.index;
    }
    EXPECT_TRUE(answers.shown().empty());
}

TEST_F(TestView, AShortInfoBlockLeavesTheMissingValuesEmpty) {
    sim::Node* n = target();
    n->od().addDomain(0x1018, 4, infoBlock().left(14));
    read("1018", "4");
    EXPECT_EQ(master().lblResult->text(), "identity object / serial no");
    EXPECT_EQ(master().txtResult->toPlainText(),
              "Size: 44\nID: APPLPXM1\nVersion: 0\nDate: \nCode Start: \nCode Length: \nCode Checksum: \n"
              "Info Block Checksum: ");
    n->od().addDomain(0x1018, 7, QByteArray("x"));
    read("1018", "7");
    EXPECT_EQ(master().lblResult->text(), "identity object / -----");
}

TEST_F(TestView, AFailedReadShowsTheErrorAndItsCause) {
    target();
    ASSERT_TRUE(tickUntil([] { return modConnectionStatus::g_getModuleStatus(1) == ModuleState::application; }));
    master().optTargetMode[1]->setChecked(true);  // node 0x71: nobody there
    read("1008", "0");
    ASSERT_EQ(answers.shown().size(), 1u);
    EXPECT_EQ(answers.shown()[0].text, "Read SDO: Unknown failure\r\nNode: 113 Index: 0x1008  Sub-Index: 0x0\r\n"
                                       "SDO abort 0x05040000: no answer in time (SDO protocol timed out)\r\n"
                                       "PXM #1 runs its application: choose \"Application:\" to reach it.");
}

TEST_F(TestView, AReadOfAModuleInItsBootloaderNamesTheCause) {
    EXPECT_TRUE(initialise("S-Bus", 0));
    addNode(0, 0x71);  // module 1 runs its bootloader
    ASSERT_TRUE(tickUntil([] { return modConnectionStatus::g_getModuleStatus(1) == ModuleState::bootloader; }));
    read("1008", "0");
    ASSERT_EQ(answers.shown().size(), 1u);
    EXPECT_EQ(answers.shown()[0].text, "Read SDO: Unknown failure\r\nNode: 33 Index: 0x1008  Sub-Index: 0x0\r\n"
                                       "SDO abort 0x05040000: no answer in time (SDO protocol timed out)\r\n"
                                       "PXM #1 runs its bootloader: choose \"Bootloader:\" to reach it.");
    // The module refuses an object it does not have: its abort code is named.
    answers.clear();
    master().optTargetMode[1]->setChecked(true);
    read("2345", "0");
    ASSERT_EQ(answers.shown().size(), 1u);
    EXPECT_TRUE(answers.shown()[0].text.contains("SDO abort 0x06020000: the object does not exist in the node"))
        << answers.shown()[0].text.toStdString();
}

// A field the view cannot use is refused before anything goes out: the box names the field
// and what it takes, and the field is marked until it is taken.
TEST_F(TestView, AFieldThatCannotBeUsedIsRefusedNamingTheField) {
    sim::Node* n = target();
    n->od().addU16(0x1017, 0, 1000);
    frmCANopen& m = master();
    const QString cyl = "The field takes a module number from 0 to 14.";
    const QString index = "The field takes a hexadecimal number from 0 to FFFF.";
    const QString sub = "The field takes a hexadecimal number from 0 to FF.";
    const QString time = "The field takes a whole number of milliseconds from 0 to 65535.";
    const struct {
        QLineEdit* field;
        const char* text;
        bool heartBeat;      // the Set Heart Beat button, else Read
        const char* refusal; // the field's name in the box; empty: accepted
        QString takes;
    } cases[] = {
        {m.txtCylNo, "abc", false, "Cyl.No.", cyl},
        {m.txtCylNo, "", false, "Cyl.No.", cyl},
        {m.txtCylNo, "15", false, "Cyl.No.", cyl},
        {m.txtCylNo, "-1", false, "Cyl.No.", cyl},
        {m.txtCylNo, "1.5", true, "Cyl.No.", cyl},
        {m.txtCylNo, " 1 ", false, "", {}},
        {m.txtIndex, "xyz", false, "Index (Hex)", index},
        {m.txtIndex, "10000", false, "Index (Hex)", index},
        {m.txtIndex, "", false, "Index (Hex)", index},
        {m.txtIndex, "1017", false, "", {}},
        {m.txtSubindex, "100", false, "Subindex", sub},
        {m.txtSubindex, "g", false, "Subindex", sub},
        {m.txtSubindex, "0", false, "", {}},
        {m.txtHeartBeatTime, "abc", true, "Time (ms)", time},
        {m.txtHeartBeatTime, "70000", true, "Time (ms)", time},
        {m.txtHeartBeatTime, "-5", true, "Time (ms)", time},
        {m.txtHeartBeatTime, "250", true, "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " in " + c.field->objectName().toStdString());
        m.txtCylNo->setText("1");
        m.txtIndex->setText("1017");
        m.txtSubindex->setText("0");
        m.txtHeartBeatTime->setText("250");
        c.field->setText(c.text);
        m.txtResult->clear();
        answers.clear();
        (c.heartBeat ? m.cmdSetHeartBeat : m.cmdReadSDO)->click();
        const bool marked = c.field->palette().color(QPalette::Base) == QColor(255, 128, 128);
        if (*c.refusal) {
            ASSERT_EQ(answers.shown().size(), 1u);
            EXPECT_EQ(answers.shown()[0].text,
                      QString("%1: \"%2\" cannot be used. %3").arg(c.refusal, c.text, c.takes));
            EXPECT_EQ(answers.shown()[0].title, "CANopen Test");
            EXPECT_TRUE(marked);
            EXPECT_TRUE(m.txtResult->toPlainText().isEmpty()) << "nothing was read";
        } else {
            EXPECT_TRUE(answers.shown().empty());
            EXPECT_FALSE(marked) << "the mark goes once the field is taken";
            if (!c.heartBeat) {
                EXPECT_EQ(m.txtResult->toPlainText(), "&H03E8");
            }
        }
    }
    EXPECT_EQ(n->od().value(0x1017, 0), bytes({0xFA, 0x00})) << "only the good time was written";
    EXPECT_TRUE(errors.empty()) << "no run-time error reaches the failure window";
}

TEST_F(TestView, TheMasterStateTellsThatTheBusWorks) {
    master().g_show();
    EXPECT_EQ(master().lblMasterState->text(), "not initialized");
    target();
    EXPECT_EQ(master().lblMasterState->text(), "initialized");
    master().cmdResetCOP->click();
    EXPECT_EQ(master().lblMasterState->text(), "not initialized");
}

TEST_F(TestView, SetHeartBeatWritesTheTimeLowByteFirst) {
    sim::Node* n = target();
    master().txtHeartBeatTime->setText("1000");
    master().cmdSetHeartBeat->click();
    EXPECT_EQ(n->od().value(0x1017, 0), bytes({0xE8, 0x03}));
    master().txtHeartBeatTime->setText("");
    master().cmdSetHeartBeat->click();
    EXPECT_EQ(n->od().value(0x1017, 0), bytes({0x00, 0x00}));
    EXPECT_TRUE(answers.shown().empty());
}

TEST_F(TestView, InitButtonWhileNotInitialisedStillTriesTheNetStart) {
    master().g_show();
    master().cmdInitCOP->click();
    ASSERT_EQ(answers.shown().size(), 2u) << answers.texts().join(" / ").toStdString();
    EXPECT_EQ(answers.shown()[0].text, "this debug function has been disabled");
    EXPECT_EQ(answers.shown()[1].text, "Set operational: CAN-Interface General Error\r\nNode: 0");
    EXPECT_EQ(master().lblMasterState->text(), "not initialized");
    EXPECT_EQ(master().cmdInitCOP->text(), "Init CANInterface");
}

TEST_F(TestView, InitButtonWhileInitialisedShowsTheBoardInformation) {
    target();
    master().cmdInitCOP->click();
    ASSERT_EQ(answers.shown().size(), 1u);
    const QString text = answers.shown()[0].text;
    const QString firmware = QString::number(QT_VERSION_MAJOR, 16) + "." + QString::number(QT_VERSION_MINOR, 16);
    EXPECT_TRUE(text.startsWith("Information about used CAN board:\n\nHardware version:\t\t1.0\r\n"
                                "Firmware version:\t\t" + firmware + "\r\nCANopen API version:\t2.0\r\n"
                                "Board segment (hex):\t0\r\nInterrupt:\t\t0\r\nHardware name:\t\tvirtualcan " +
                                busUrl(0) + "\r\nSerial number:\t\t"))
        << text.toStdString();
    EXPECT_EQ(answers.shown()[0].title, "INFORMATION");
}

TEST_F(TestView, ReleaseButtonReleasesTheMaster) {
    target();
    master().cmdResetCOP->click();
    EXPECT_FALSE(master().isInitialised());
    EXPECT_EQ(master().cmdInitCOP->text(), "Init CANInterface");
    EXPECT_TRUE(errors.empty());
}

TEST_F(TestView, ClosingTheViewKeepsTheMasterRunning) {
    target();
    master().g_show();
    master().close();
    EXPECT_FALSE(master().isVisible());
    EXPECT_TRUE(master().isLoaded());
    EXPECT_TRUE(master().isInitialised());
    EXPECT_TRUE(master().timHeartBeatControl->isActive());
    EXPECT_TRUE(master().timPolyDeskHeartBeat->isActive());
}

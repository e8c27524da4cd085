// The CAN master's status texts, board types and error boxes.
#include "can/frmcanopen.h"
#include "masterfixture.h"

using namespace mastertest;

TEST(MasterTexts, StatusTexts) {
    const struct {
        qint32 status;
        const char* text;
    } cases[] = {
        {1, "Success"},
        {0, "VCI General Error"},
        {-1, "VCI Hardware / Software Error"},
        {-2, "Unknown failure"},
        {-3, "VCI Parameter Error"},
        {-4, "VCI Resource Error"},
        {-5, "VCI Que Overrun"},
        {-6, "VCI Transmission Error"},
        {-7, "transmit queue of the converter full"},
        {0x7000, "CAN Interface has already been started"},
        {0x7001, "Device is in passive mode"},
        {0x7002, "CAN-Interface General Error"},
        {0x7003, "Unknown failure"},
        {0x05040000, "Unknown failure"},
    };
    for (const auto& c : cases) EXPECT_EQ(frmCANopen::getErrorText(c.status), QString::fromLatin1(c.text)) << c.status;
}

TEST(MasterTexts, BoardTypes) {
    const struct {
        const char* name;
        qint32 type;
    } cases[] = {
        {"SELECT", -1},          {"IPCI165", 0x01010000},     {"IPCI320", 0x01010100},
        {"TINCAN", 0x01040300},  {"IPCI165_PCI", 0x01020600}, {"IPCI320_PCI", 0x01020700},
        {"USB2CAN", 0x01050A00}, {"USB2CANII", 0x01051300},   {"USBCompact", 0x01050F00},
        {"usbcompact", 0x01050F00}, {"USBCOMPACT ", 0},       {"PCAN", 0},
        {"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(frmCANopen::getBoardType(QString::fromLatin1(c.name)), c.type) << c.name;
}

class MasterErrorBox : public MasterTest {};

TEST_F(MasterErrorBox, BoxNamesWhatIsGiven) {
    const struct {
        qint32 node, index, sub;
        const char* box;
    } cases[] = {
        {5, 0x100A, 0, "Read SDO: VCI General Error\r\nNode: 5 Index: 0x100A  Sub-Index: 0x0"},
        {0x7F, 0x1F50, 6, "Read SDO: VCI General Error\r\nNode: 127 Index: 0x1F50  Sub-Index: 0x6"},
        {255, -1, 255, "Read SDO: VCI General Error"},
        {0, -1, 255, "Read SDO: VCI General Error\r\nNode: 0"},
        {255, 0x5FFF, 255, "Read SDO: VCI General Error Index: 0x5FFF "},
    };
    for (const auto& c : cases) {
        answers.clear();
        const QString text = master().canOpenError(0, "Read SDO", c.node, c.index, c.sub);
        EXPECT_EQ(text, "Read SDO: VCI General Error");
        ASSERT_EQ(answers.shown().size(), 1u);
        EXPECT_EQ(answers.shown()[0].text, QString::fromLatin1(c.box));
        EXPECT_EQ(answers.shown()[0].title, "CANopen ERROR");
    }
}

TEST_F(MasterErrorBox, QuietErrorOnlyGivesTheText) {
    EXPECT_EQ(master().canOpenError(-1, "Init board", 255, -1, 255, true), "Init board: VCI Hardware / Software Error");
    EXPECT_TRUE(answers.shown().empty());
}

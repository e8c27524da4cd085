// The editor's cell rules as tables: what an entry stores, what a stored value shows,
// the tips, and the header-click sort.
#include "dcdatabase/editcellrules.h"
#include "dcdatabase/editcolumns.h"

#include <gtest/gtest.h>

using namespace editCellRules;

namespace {

struct AddressCase {
    Grid grid;
    const char* text;
    qint64 stored;  // -1 = refused
};

const AddressCase addressCases[] = {
    {Grid::DcEnums, "30017", 32785},    {Grid::DcEnums, "17", 32785},        {Grid::DcEnums, "cyl+17", 17},
    {Grid::DcEnums, "CYL+30017", 17},   {Grid::DcEnums, "Cyl+", 0},          {Grid::DcEnums, "0", 0},
    {Grid::DcEnums, "", -1},            {Grid::DcEnums, "abc", -1},          {Grid::DcEnums, "30000", -1},
    {Grid::DcEnums, "29999", -1},       {Grid::DcEnums, "12000", -1},        {Grid::DcEnums, "-5", -1},
    {Grid::DcEnums, "17.5", -1},        {Grid::DcEnums, "62767", 65535},     {Grid::DcEnums, "62768", -1},
    {Grid::DcEnums, "Cyl+30000", -1},   {Grid::AlarmEnums, "", 0},           {Grid::AlarmEnums, "10005", 32773},
    {Grid::AlarmEnums, "5", 32773},     {Grid::AlarmEnums, "10000", -1},     {Grid::AlarmEnums, "Cyl+10003", 3},
};

}  // namespace

TEST(EditCellRules, ModbusAddressEntries) {
    for (const auto& c : addressCases) {
        const Entry e = modbusAddressEntry(c.grid, QString::fromLatin1(c.text));
        if (c.stored < 0) {
            EXPECT_FALSE(e.accepted()) << c.text;
            EXPECT_FALSE(e.reason.isEmpty()) << c.text;
        } else {
            ASSERT_TRUE(e.accepted()) << c.text << ": " << e.reason.toStdString();
            EXPECT_EQ(*e.stored, c.stored) << c.text;
        }
    }
}

TEST(EditCellRules, ModbusAddressDisplay) {
    EXPECT_EQ(modbusAddressText(Grid::DcEnums, 32785), "30017");
    EXPECT_EQ(modbusAddressText(Grid::DcEnums, 17), "Cyl+30017");
    EXPECT_EQ(modbusAddressText(Grid::DcEnums, 0), "---");
    EXPECT_EQ(modbusAddressText(Grid::DcEnums, QVariant()), "---");
    EXPECT_EQ(modbusAddressText(Grid::DcEnums, 32768), "30000");
    EXPECT_EQ(modbusAddressText(Grid::AlarmEnums, 5), "Cyl+10005");
    EXPECT_EQ(modbusAddressColumnTip(Grid::DcEnums), "30xxx or Cyl+30xxx");
    EXPECT_EQ(modbusAddressColumnTip(Grid::AlarmEnums), "10xxx or Cyl+10xxx");
}

TEST(EditCellRules, ProducerTips) {
    // Relative address 17, bits 1 and 2 set.
    EXPECT_EQ(producerTip(Grid::DcEnums, 1, 6, 17), "Modul 1: Modbus-Addr. = 30018");
    EXPECT_EQ(producerTip(Grid::DcEnums, 2, 6, 17), "Modul 2: Modbus-Addr. = 30019");
    EXPECT_EQ(producerTip(Grid::DcEnums, 3, 6, 17), "Modul 3");
    EXPECT_EQ(producerTip(Grid::DcEnums, 1, 6, 0), "Modul 1");
    // The OR bit gives every alarm producer the address of module 15.
    EXPECT_EQ(producerTip(Grid::AlarmEnums, 1, 32768 | 6, 17), "Modul 1: Modbus-Addr. = 10032");
    EXPECT_EQ(producerTip(Grid::AlarmEnums, 2, 6, 17), "Modul 2: Modbus-Addr. = 10019");
    // Stored 32768 is the absolute address at the base in the display; the tip agrees.
    EXPECT_EQ(producerTip(Grid::DcEnums, 4, 16, 32768), "Modul 4: Modbus-Addr. = 30000");
    EXPECT_EQ(producerTip(Grid::DcEnums, 4, 16, 32785), "Modul 4: Modbus-Addr. = 30017");
    EXPECT_EQ(producerTip(Grid::AlarmEnums, 15, 0, 0), "If set all producers are combined with an or-function");
    EXPECT_EQ(producerTip(Grid::DcEnums, 15, 0, 0), "");
}

TEST(EditCellRules, ProducerEntriesOnMaskSix) {
    const struct {
        int bit;
        const char* text;
        qint64 stored;  // -1 = refused
    } cases[] = {{0, "x", 7},     {1, "", 4},      {15, "X", 32774}, {3, "504", 504}, {5, "-3", 0},
                 {2, "0", 2},     {0, "1", 7},     {4, "2.5", 2},    {4, "3.5", 4},   {4, "40000", -1},
                 {4, "y", -1},    {4, "32768", -1}};
    for (const auto& c : cases) {
        const Entry e = producerEntry(c.bit, 6, QString::fromLatin1(c.text));
        if (c.stored < 0)
            EXPECT_FALSE(e.accepted()) << c.text;
        else
            EXPECT_EQ(e.stored.value_or(-99), c.stored) << c.bit << " " << c.text;
    }
    EXPECT_EQ(producerText(15, 32774), "X");
    EXPECT_EQ(producerText(0, 32774), "");
    EXPECT_EQ(producerText(1, 32774), "X");
}

TEST(EditCellRules, HeaderClicksToggleOnlyTheSameColumn) {
    EXPECT_EQ(sortOrderAfterClick(3, -1, "ASC"), "ASC");
    EXPECT_EQ(sortOrderAfterClick(3, 3, "ASC"), "DESC");
    EXPECT_EQ(sortOrderAfterClick(3, 3, "DESC"), "ASC");
    EXPECT_EQ(sortOrderAfterClick(4, 3, "DESC"), "ASC");
}

TEST(EditCellRules, AlarmWarningAndIdResets) {
    EXPECT_TRUE(alarmNameWarning(QString(), 3));
    EXPECT_FALSE(alarmNameWarning(QString(), 0));
    EXPECT_FALSE(alarmNameWarning(QStringLiteral("PAR_X"), 3));
    EXPECT_EQ(alarmNameIdReset("signalIndexName")->idField, "signalIndex");
    EXPECT_EQ(alarmNameIdReset("onOffDelayIdName")->value, 255);
    EXPECT_EQ(alarmNameIdReset("offDelayIndexName")->value, -1);
    EXPECT_FALSE(alarmNameIdReset("comment").has_value());
}

TEST(EditColumns, ValueListsShowWordsAndUnknownNumbers) {
    const auto dc = editColumns::dcEnumsColumns();
    const auto al = editColumns::alarmEnumsColumns();
    auto find = [](const std::vector<editColumns::Column>& cols, const char* caption) {
        for (const auto& c : cols)
            if (c.caption == QLatin1String(caption)) return c;
        return editColumns::Column{};
    };
    EXPECT_EQ(editColumns::listText(find(dc, "Min"), -2147483648LL), "---");
    EXPECT_EQ(editColumns::listText(find(dc, "Max"), 2147483647LL), "---");
    EXPECT_EQ(find(al, "Min").display, editColumns::Display::Number);
    EXPECT_EQ(editColumns::listText(find(al, "Criterion"), 6), "6");
    EXPECT_EQ(editColumns::listText(find(dc, "SyncCmd"), 7), "7");
    EXPECT_EQ(editColumns::listText(find(dc, "SyncCmd"), 8), "8");
    EXPECT_EQ(editColumns::listText(find(dc, "SyncCmd"), -1), "Not visible");
    EXPECT_EQ(editColumns::listEntry(find(dc, "CRC-Grp"), "adjust"), "3");
    int producer = 0;
    for (const auto& c : dc) producer += c.display == editColumns::Display::ProducerBit;
    EXPECT_EQ(producer, 16);
}

TEST(EditColumns, GroupNameTablesEndAtTheirMarker) {
    EXPECT_EQ(editColumns::crcGroupName(2, false), "ADJUST");
    EXPECT_EQ(editColumns::crcGroupName(1, true), "NORMAL");
    EXPECT_EQ(editColumns::crcGroupName(6, false), "");
    EXPECT_THROW(editColumns::crcGroupName(5, true), std::out_of_range);
    QString name;
    EXPECT_EQ(editColumns::varGroup(12, name, false), "LUB");
    EXPECT_EQ(name, "Lubrication");
    EXPECT_EQ(editColumns::varGroup(5, name, true), "DVQDBG");
    EXPECT_EQ(editColumns::functionGroupLabel("070"), ": HALOR");
    EXPECT_EQ(editColumns::functionGroupLabel("4711"), ": Unknown");
}

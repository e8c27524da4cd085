#include "dcdatabase/editcolumns.h"

#include <QVariant>
#include <stdexcept>

namespace editColumns {
namespace {

Column text(const QString& caption, const QString& field, bool locked = true) {
    Column c;
    c.caption = caption;
    c.field = field;
    c.locked = locked;
    return c;
}

Column num(const QString& caption, const QString& field, bool locked = false) {
    Column c = text(caption, field, locked);
    c.display = Display::Number;
    c.maxLength = 11;
    return c;
}

Column list(const char* caption, const char* field, std::vector<std::pair<qint64, QString>> values) {
    Column c = num(caption, field);
    c.display = Display::ValueList;
    c.valueList = std::move(values);
    return c;
}

Column hidden(const char* caption, const char* field) {
    Column c = text(caption, field);
    c.shownAtStart = false;
    c.neverShown = true;
    return c;
}

void addProducerBlock(std::vector<Column>& cols) {
    for (int bit = 0; bit <= 15; ++bit) {
        Column c = num(bit == 15 ? "OR" : "", "producerMask");
        if (bit < 15) c.caption = QString::number(bit);
        c.display = Display::ProducerBit;
        c.bit = bit;
        c.maxLength = 11;
        cols.push_back(c);
    }
}

Column modbus() {
    Column c = num("Modb.Addr", "modbusAddr");
    c.display = Display::ModbusAddress;
    return c;
}

}  // namespace

std::vector<Column> dcEnumsColumns() {
    std::vector<Column> c;
    c.push_back(text("Name", "name"));
    c.push_back(text("Group", "varGroup"));
    c.push_back(list("CRC-Grp", "crcGroup",
                     {{0, "None"}, {1, "Basic"}, {2, "User"}, {3, "Adjust"}, {4, "IMO"}, {5, "Global"},
                      {6, "Commis"}, {7, "Lubrication"}}));
    c.push_back(num("ID", "id", true));
    c.push_back(text("FUP", "fupId"));
    c.push_back(num("Value", "value"));
    c.push_back(text("Comment", "comment"));
    c.push_back(hidden("class", "class"));
    c.push_back(hidden("group", "group"));
    c.push_back(hidden("module", "module"));
    c.push_back(hidden("index", "index"));
    addProducerBlock(c);
    c.push_back(list("Min", "minValue", {{-2147483648LL, "---"}}));
    c.push_back(list("Max", "maxValue", {{2147483647LL, "---"}}));
    c.push_back(num("Write", "writeAccessLevel"));
    c.push_back(num("Read", "readAccessLevel"));
    c.push_back(hidden("deadBand", "deadBand"));
    c.push_back(modbus());
    c.push_back(num("Modb.Scale", "modbusScale"));
    c.push_back(hidden("upDate", "upDate"));
    c.push_back(hidden("oldId", "oldConstant"));
    c.push_back(list("SyncCmd", "syncCmd",
                     {{-1, "Not visible"}, {0, "No"}, {1, "Yes"}, {2, "Never"}, {3, "Always"},
                      {4, "No / Yes if NewBuild"}, {5, "Yes / No if NewBuild"}, {6, "Never / Always if NewBuild"},
                      {7, "7"}}));
    return c;
}

std::vector<Column> alarmEnumsColumns() {
    std::vector<Column> c;
    c.push_back(text("Name", "name"));
    c.push_back(num("ID", "id", true));
    c.push_back(text("FUP", "fupId"));
    c.push_back(text("Comment", "comment"));
    Column producer = list("Producer", "producerMask",
                           {{1, "Spare"}, {6, "Cyl. 1 & 2"}, {24, "Cyl. 3 & 4"}, {30, "Cyl. 1 - 4"}, {32, "Cyl. 5"},
                            {504, "Cyl. 3 - 8"}, {32766, "All Cyl."}, {32767, "All Mod."}});
    producer.shownAtStart = false;
    producer.neverShown = true;
    c.push_back(producer);
    addProducerBlock(c);
    c.push_back(num("Min", "minValue"));
    c.push_back(num("Max", "maxValue"));
    c.push_back(hidden("hysteresis", "hysteresis"));
    c.push_back(list("Criterion", "criterion",
                     {{0, "External"}, {1, "Equal"}, {2, "Not Equal"}, {3, "Greater"}, {4, "Lower"}, {5, "Outside"},
                      {6, "6"}}));
    c.push_back(num("Inhibit", "inhibit"));
    c.push_back(modbus());
    // Each reference as its id and the name the id stands for.
    const std::pair<QString, QString> references[] = {
        {"Signal", "signalIndex"}, {"OnDelay", "onDelayIndex"}, {"OffDelay", "offDelayIndex"}, {"OnOffDelay", "onOffDelayId"}};
    for (const auto& [ref, field] : references) {
        c.push_back(num(ref + " ID", field, true));
        c.push_back(text(ref + " Name", field + "Name", false));
    }
    c.push_back(hidden("type", "type"));
    c.push_back(hidden("groupX", "groupX"));
    c.push_back(hidden("scanInternal", "scanInternal"));
    c.push_back(hidden("upDate", "upDate"));
    c.push_back(hidden("oldConstant", "oldId"));
    return c;
}

QString listText(const Column& column, const QVariant& stored) {
    if (stored.isNull()) return QString();
    bool ok = false;
    const qint64 v = stored.toLongLong(&ok);
    if (ok && stored.toDouble() == double(v))
        for (const auto& [n, word] : column.valueList)
            if (n == v) return word;
    return stored.toString();
}

QString listEntry(const Column& column, const QString& text) {
    for (const auto& [n, word] : column.valueList)
        if (word.compare(text.trimmed(), Qt::CaseInsensitive) == 0) return QString::number(n);
    return text;
}

ColumnSet varColumnSet(int index) {
    ColumnSet s;
    s.show = {"comment", "value"};
    s.hide = {"minValue", "maxValue", "writeAccessLevel", "readAccessLevel", "modbusAddr", "modbusScale", "syncCmd",
              "producer"};
    switch (index) {
    case 0: s.show << "minValue" << "maxValue"; break;
    case 1: s.show << "writeAccessLevel" << "readAccessLevel"; break;
    case 2: s.show << "modbusAddr" << "modbusScale"; break;
    case 3:
        s.show.removeAll("comment");
        s.hide << "comment";
        s.show << "modbusAddr" << "producer";
        break;
    case 4: s.show << "syncCmd"; break;
    default: break;
    }
    return s;
}

ColumnSet logColumnSet(int index) {
    ColumnSet s;
    s.show = {"comment"};
    s.hide = {"minValue", "maxValue", "criterion", "inhibit", "modbusAddr", "signalIndex", "signalIndexName",
              "onDelayIndex", "onDelayIndexName", "offDelayIndex", "offDelayIndexName", "onOffDelayId",
              "onOffDelayIdName", "producer"};
    switch (index) {
    case 0: s.show << "minValue" << "maxValue" << "criterion" << "inhibit" << "modbusAddr"; break;
    case 1:
        s.show.removeAll("comment");
        s.hide << "comment";
        s.show << "producer" << "modbusAddr";
        break;
    case 2: s.show << "signalIndex" << "signalIndexName"; break;
    case 3: s.show << "onDelayIndex" << "onDelayIndexName"; break;
    case 4: s.show << "offDelayIndex" << "offDelayIndexName"; break;
    case 5: s.show << "onOffDelayId" << "onOffDelayIdName"; break;
    default: break;
    }
    return s;
}

QString crcGroupName(int index, bool darvo) {
    static const char* const darvoNames[] = {"BASIC", "NORMAL", "USER", "IMO", ""};
    static const char* const names[] = {"BASIC", "USER", "ADJUST", "IMO", "GLOBAL", "COMMIS", ""};
    const int n = darvo ? 5 : 7;
    if (index < 0 || index >= n) throw std::out_of_range("Subscript out of range");
    return QLatin1String(darvo ? darvoNames[index] : names[index]);
}


QString varGroup(int index, QString& name, bool darvo) {
    struct G {
        const char* code;
        const char* name;
    };
    static const G groups[] = {{"MAS", "Master Standby"}, {"COM", "Common Miscellaneous"},
                               {"COS", "Control Oil System"}, {"SOS", "Servo Oil System"},
                               {"FOS", "Fuel Oil System"}, {"CYM", "Cylinder Miscellaneous"},
                               {"CA", "Crank Angle"}, {"SV", "Start Valve"}, {"EXV", "Exhaust Valve"},
                               {"FI", "Fuel Injection"}, {"DBG", "Debug"}, {"TRA", "Trans. Rec"},
                               {"LUB", "Lubrication"}, {"CAN", "CANopen"}, {"FI2", "Fuel Inject. 2"},
                               {"P15", "Group 15"}, {"", ""}};
    static const G darvoGroups[] = {{"INP", "Input"}, {"OUT", "Output"}, {"RDO", "Read Output"},
                                    {"DVQ", "Darvo"}, {"DBG", "Debug"}, {"DVQDBG", "Darvo Debug"}, {"", ""}};
    const int n = darvo ? 7 : 17;
    if (index < 0 || index >= n) throw std::out_of_range("Subscript out of range");
    const G& g = darvo ? darvoGroups[index] : groups[index];
    name = QLatin1String(g.name);
    return QLatin1String(g.code);
}

QString functionGroupLabel(const QString& prefix) {
    static const struct {
        const char* prefix;
        const char* label;
    } labels[] = {{"70", ": HALOR"}, {"070", ": HALOR"}, {"100", ": General"}, {"119", ": Additional Signals"},
                  {"130", ": COM/CYL-General"}, {"131", ": COM-General"}, {"133", ": COM-Miscellaneous"},
                  {"135", ": COM-Ctrl Oil System"}, {"136", ": COM-Servo Oil System"},
                  {"137", ": COM-Fuel Oil System"}, {"138", ": COM-Water Injection"},
                  {"139", ": COM-Cyl Lubrication"}, {"141", ": CYL-General"}, {"143", ": CYL-Miscellaneous"},
                  {"144", ": CYL-CA & Speed"}, {"145", ": CYL-Start Valves"}, {"146", ": CYL-Exh. Valves"},
                  {"147", ": CYL-Fuel Injection"}, {"148", ": CYL-Water Injection"},
                  {"209", ": CYL-Cyl Lubrication"}};
    for (const auto& l : labels)
        if (prefix == QLatin1String(l.prefix)) return QLatin1String(l.label);
    return QStringLiteral(": Unknown");
}

}  // namespace editColumns

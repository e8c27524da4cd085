// Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/, each made by the
// program's own writers (or, for the SDO client, from the server's answers of a good
// transfer), so that the fuzzers start from valid inputs. Usage: fuzz_makeseeds CORPUSDIR
#include "can/infoblock.h"
#include "dcbuilder/imagewalk.h"
#include "fuzzsupport.h"
#include "services/srecord.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <xlsxwriter.h>

namespace {

QString g_root;

QString seedPath(const QString& target, const QString& name) {
    QDir().mkpath(g_root + QLatin1Char('/') + target);
    return g_root + QLatin1Char('/') + target + QLatin1Char('/') + name;
}

void writeSeed(const QString& target, const QString& name, const QByteArray& bytes) {
    QFile f(seedPath(target, name));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

QByteArray hex(const char* text) { return QByteArray::fromHex(QByteArray(text).replace(' ', "")); }

void srecordSeeds() {
    QByteArray image;
    for (int i = 0; i < 100; ++i) image.append(char(i * 3));
    modDownload::g_binToSRec(image, 0x1000, QStringLiteral("S19"), seedPath("srecord", "small.s19"));
    modDownload::g_binToSRec(image, 0x100000, QStringLiteral("S28"), seedPath("srecord", "big.s28"));
    modDownload::g_binToSRec(image.left(20), 0x80000000, QStringLiteral("S37"), seedPath("srecord", "high.s37"));
}

void infoBlockSeeds() {
    const QString file = seedPath("infoblock", "PXM_application.s19.tmp");
    QByteArray image(300, '\x5A');
    modDownload::g_binToSRec(image, 0x100000, QStringLiteral("S28"), file);
    for (qint32 section : {1, 2, 3, 4, 6, 7}) {
        QByteArray block = modDownload::buildInfoBlock(section, file, image, 0x100000);
        if (section == 3) {  // bootloader 2 as major.minor
            block[12] = 2;
            block[13] = 5;
        }
        writeSeed("infoblock", QStringLiteral("section%1").arg(section), QByteArray(1, char(section)) + block);
    }
    QFile::remove(file);
}

void sdoSeeds() {
    // Byte 0: kind (0 download, 1 block download, 2 upload, 3 block upload); bytes 1-2: length.
    // Then per server frame a selector byte 0 and the 8 frame bytes.
    writeSeed("sdoclient", "expedited-download", hex("00 04 00  00 60 50 1F 06 00 00 00 00"));
    writeSeed("sdoclient", "segmented-download",
              hex("00 0A 00  00 60 50 1F 06 00 00 00 00  00 20 00 00 00 00 00 00 00  00 30 00 00 00 00 00 00 00"));
    writeSeed("sdoclient", "expedited-upload", hex("02 00 00  00 43 50 1F 06 01 02 03 04"));
    writeSeed("sdoclient", "segmented-upload",
              hex("02 00 00  00 41 50 1F 06 0A 00 00 00  00 00 01 02 03 04 05 06 07  00 19 08 09 0A 0B 0C 0D 0E"));
    writeSeed("sdoclient", "block-download",
              hex("01 10 00  00 A4 50 1F 06 7F 00 00 00  00 A2 03 7F 00 00 00 00 00  00 A1 00 00 00 00 00 00 00"));
    writeSeed("sdoclient", "block-upload",
              hex("03 00 00  00 C6 50 1F 06 0A 00 00 00  00 01 01 02 03 04 05 06 07  00 82 08 09 0A 00 00 00 00"
                  "  00 C9 00 00 00 00 00 00 00"));
    writeSeed("sdoclient", "abort", hex("02 00 00  00 80 50 1F 06 00 00 02 06"));
    writeSeed("sdoclient", "timeout", hex("00 04 00  F0 00 00 00 00 00 00 00 00"));
}

void workbookSeeds(const QString& xlsFixture) {
    const QByteArray path = QFile::encodeName(seedPath("xlsx", "signal-list.xlsx"));
    lxw_workbook* wb = workbook_new(path.constData());
    lxw_worksheet* dc = workbook_add_worksheet(wb, "dcEnums");
    worksheet_write_string(dc, 0, 0, "name", nullptr);
    worksheet_write_string(dc, 0, 1, "minValue", nullptr);
    worksheet_write_string(dc, 1, 0, "PAR_SPEED", nullptr);
    worksheet_write_number(dc, 1, 1, 12.5, nullptr);
    worksheet_write_formula_num(dc, 2, 1, "=1+2", nullptr, 3);
    worksheet_write_boolean(dc, 3, 1, 1, nullptr);
    lxw_worksheet* al = workbook_add_worksheet(wb, "alarmEnums");
    worksheet_write_string(al, 0, 0, "name", nullptr);
    worksheet_hide(al);
    workbook_close(wb);
    // Date cells: a built-in date format and a custom one, which the styles part names.
    lxw_workbook* dates = workbook_new(QFile::encodeName(seedPath("xlsx", "dates.xlsx")).constData());
    lxw_worksheet* ds = workbook_add_worksheet(dates, "dcEnums");
    lxw_format* builtin = workbook_add_format(dates);
    format_set_num_format_index(builtin, 14);
    lxw_format* custom = workbook_add_format(dates);
    format_set_num_format(custom, "yyyy-mm-dd hh:mm");
    worksheet_write_string(ds, 0, 0, "name", nullptr);
    worksheet_write_number(ds, 1, 1, 45366, builtin);
    worksheet_write_number(ds, 2, 1, 45366.5, custom);
    workbook_close(dates);
    QFile::remove(seedPath("xls", "signal_list.xls"));
    QFile::copy(xlsFixture, seedPath("xls", "signal_list.xls"));
}

void headerSeeds() {
    writeSeed("header", "types.h",
              "// scanStart: global types\r\n"
              "typedef enum\r\n{\r\n  PAR_A = 0x10, // 131.2; first\r\n  PAR_B = PAR_A << 2,\r\n"
              "  GLB_C = (PAR_B + 3) * 2u, /* 141.7 * n */\r\n  NUM_X\r\n} tSymbols;\r\n"
              "// scanEnd\r\n");
    writeSeed("header", "constants.h",
              "// scanStart: global constants\n#define FIRST_ALARM 4096\n#define LAST_ALARM (FIRST_ALARM + 0x7F)\n"
              "#define APPL_DEVELOPER_NO 1042\n#define LONG_ONE 1 + \\\n   2\n#define CAST ((u16)-1)\n"
              "#define PICK (CAST > 3 ? 010 : ~0)\n// scanEnd\n");
}

void imageSeeds() {
    // The walker's own write mode makes the image that its read mode is fuzzed on.
    dcImage::Tables t;
    t.enumTable = QStringLiteral("alarmEnums");
    t.steps = {{1, "value", "DC_BUILD", 4, "", 0, "", ""}, {2, "value", "DC_NUM", 2, "", 0, "", ""},
               {3, "value", "DC_TEXT", 8, "", 0, "", ""},  {4, "value", "COUNT", 2, "", 0, "", ""},
               {5, "value", "TABLE", 1, "", 0, "ALARM", ""}, {6, "extra", "TABLE_", 4, "COUNT", 5, "ALARM", ""},
               {7, "name", "TABLE", 12, "", 0, "ALARM", ""}, {8, "value", "-1", 2, "", 0, "", ""}};
    for (int i = 0; i < 40; ++i) {
        dcImage::EnumRecord r;
        r.columns = {{"name", QStringLiteral("ALM_%1").arg(i)}, {"class", "ALARM"}, {"value", i}, {"extra", i * 3},
                     {"vargroup", QString()}};
        t.records.push_back(r);
    }
    t.constants = {{QStringLiteral("COUNT"), 30}};
    dcImage::SpecialEntries special{
        [](const QString& a) -> std::optional<QString> {
            if (a == QLatin1String("DC_TEXT")) return QStringLiteral("SITE 17");
            return std::nullopt;
        },
        [](const QString& a) -> std::optional<QString> {
            if (a == QLatin1String("DC_BUILD")) return QStringLiteral("4711");
            if (a == QLatin1String("DC_NUM")) return QStringLiteral("12");
            return std::nullopt;
        }};
    QByteArray image;
    qint64 position = 0;
    const auto r = dcImage::walk(dcImage::Direction::Write, t, special, image, position);
    if (!r.ok) fprintf(stderr, "makeseeds: image: %s\n", qPrintable(r.error));
    writeSeed("imagewalk", "image.bin", image);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    fuzzsupport::init();
    if (argc < 3) {
        fprintf(stderr, "usage: fuzz_makeseeds CORPUSDIR XLSFIXTURE\n");
        return 2;
    }
    g_root = QString::fromLocal8Bit(argv[1]);
    srecordSeeds();
    infoBlockSeeds();
    sdoSeeds();
    headerSeeds();
    imageSeeds();
    workbookSeeds(QString::fromLocal8Bit(argv[2]));
    return 0;
}

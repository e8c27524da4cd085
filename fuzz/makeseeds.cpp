// Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/, each made by the
// program's own writers (or, for the SDO client, from the server's answers of a good
// transfer), so that the fuzzers start from valid inputs. Usage: fuzz_makeseeds CORPUSDIR
#include "can/infoblock.h"
#include "can/srecord.h"
#include "fuzzsupport.h"

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
    QFile::remove(seedPath("xls", "signal_list.xls"));
    QFile::copy(xlsFixture, seedPath("xls", "signal_list.xls"));
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
    workbookSeeds(QString::fromLocal8Bit(argv[2]));
    return 0;
}

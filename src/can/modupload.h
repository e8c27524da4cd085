#pragma once
// Section info blocks read back from a module's bootloader (object 0x5FFE; layout in
// can/infoblock.h) and turned into display texts and numbers: the table of all sections
// for the module overview, one section's start address and version text for the download
// checks, and big-endian numbers for the upload from the spare module.
//
// A read that brings fewer than 44 bytes counts as failed; a hardware info block shorter
// than its 312 bytes fills the cells whose bytes it holds. No decoder reads past the
// bytes received.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace modUpload {

// Rows are the display rows (getDisplayIndex), each of 12 text cells:
//  0 empty               1 size               2 identification    3 version text or "---"
//  4 date (section 1: production week " / " year)                 5 code start "0x" + 8 digits
//  6 code length         7 code CRC "0x" + 8  8 block CRC "0x" + 8
//  9 serial number, 10 RAM size "&H" + 4, 11 flash size "&H" + 4: section 1 only, else "---"
using InfoTable = QList<QStringList>;
constexpr int infoTableRows = 6;
constexpr int infoTableColumns = 12;

// True when the six blocks (sections 1 to 7 but 5) were read; the table is filled. On the
// first failure the table is a single empty cell and no further section is read.
bool g_uploadInfoBlocks(qint16 module, InfoTable& table);

// The start address in a section's block (the top bit set gives a negative number); 0 when
// the block cannot be read.
qint32 g_uploadStartAdr(qint16 module, qint32 section);

// The version text of a section's block; empty when the block cannot be read.
QString g_uploadVersionInfo(qint16 module, qint32 section);

// The version at offset 12 as text: bootloader 1 (section 2) as its hexadecimal digits with
// a "." before the last two (0x310 "3.10", 0x5 ".05"); bootloader 2 (section 3) as
// "major.minor" from bytes 12 and 13 when byte 12 is not 0; otherwise the number in decimal.
QString buildVersionStr(qint32 section, const QByteArray& block);

// The display row of a section: 6 → 0, 4 → 1, 7 → 2, 3 → 3, 2 → 4, 1 → 5, any other → 0.
qint16 getDisplayIndex(qint32 section);

// The four bytes from offset as a big-endian signed number; 0 when they are not all there.
qint32 g_byteArrayToLong(const QByteArray& bytes, int offset);

// The 12 cells of a section's table row decoded from its block.
QStringList infoBlockRow(qint32 section, const QByteArray& block);

}  // namespace modUpload

#pragma once
// The section info block that a module's bootloader receives before a section's data
// (object 0x5FFE, sub-index = section number), the start-address check that comes before
// it, and the loading status with which the bootloader answers (object 0x5FFF).
//
// Layout and numbers in can/moduleprotocol.h.
#include "can/moduleprotocol.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace modDownload {

// The bootloader node that answers for a module's info blocks and loading status: on the
// M-Bus the cylinder modules 1 to 14 answer on the second bootloader base. A node id
// beyond a byte is run-time error 6.
quint8 bootloaderNodeId(qint16 module);

// The block that writeInfoBlock sends. Its identification: "QTM20APP" for the module type
// QTM; for section 6 the application type's "KELB", "VEDR" or "DRVO" (none for any other
// type); for any other section 8 characters of the file's bare name from its fifth on.
// The date is the file's last-modified date with English month names, so that a block
// stored on a module reads the same on every PC. An empty image is run-time error 9.
QByteArray buildInfoBlock(qint32 section, const QString& fileName, const QByteArray& image, qint32 startAddress);

// Builds the block and writes it quietly to module + the bootloader base (2000 ms SDO
// time-out for QTM and BZM). True when the write succeeded.
bool writeInfoBlock(qint16 module, qint32 section, const QString& fileName, const QByteArray& image,
                    qint32 startAddress);

// Whether a section may be programmed at the start address: nothing below the first
// bootloader's end, and only bootloader 2 (section 3) below the second's. A refusal shows
// its error box.
bool checkInfoBlock(qint32 section, qint32 startAddress);

// The loading status byte 0 to 255 (sub-index 3; 0 for QTM and BZM), or -1 when it could
// not be read. quiet keeps the SDO layer's failure box away.
qint16 g_getLoadingStatus(qint16 module, bool quiet);

}  // namespace modDownload

#pragma once
// Conversions between S-record files (S1/S2/S3 records) and binary images, and the read
// of a plain binary file. An image is a byte array indexed from 0 plus the 32-bit address
// of its first byte: byte i lies at start address + i in the module's memory.
#include <QByteArray>
#include <QString>

namespace modDownload {

// The largest image the reader builds, gap fill included.
inline constexpr qint64 maxSRecImageSize = 16 * 1024 * 1024;

// Reads an S-record file into one contiguous image; gaps are filled with 0x00. Each record
// lands at its own address, in any order. Every line is checked whole: after the checksum
// only blanks may follow before the line end (CR LF or LF), a count record (S5, S6) must
// give the number of data records before it, count and end records carry no data, only
// blank lines may follow the end record, and a Ctrl-Z may end the file. All data records
// are of one type and the end record matches it (S1 with S9, S2 with S8, S3 with S7);
// headers (S0) with the address 0 before the first data record are checked and skipped;
// an S4 record is refused. A record that
// writes a byte a second time, an image beyond maxSRecImageSize, a bad checksum, bad
// hexadecimal, a line without "S", a missing end record or a file without data bytes
// gives False. On False the image and the start address (-1 before the first data record)
// hold what was placed so far, and error names the file, the line and the reason.
bool g_sRecToBin(const QString& fileName, QByteArray& image, qint32& startAddress, QString& error);
// The same, for callers that do not show the reason.
bool g_sRecToBin(const QString& fileName, QByteArray& image, qint32& startAddress);

// Writes the image as S-records of 16 data bytes a line, upper-case hex, CR LF, ended by
// S9, S8 or S7 for the formats "S19", "S28" and "S37". The start address is taken as an
// unsigned 32-bit address. False, with an existing file untouched, when the format is
// unknown, an address of the image does not fit the format's address field, or the file
// cannot be written; error then says why (for a file that cannot be written, the system's
// reason, such as "No space left on device").
bool g_binToSRec(const QByteArray& image, qint32 startAddress, const QString& format, const QString& fileName,
                 QString& error);
// The same, for callers that do not show the reason.
bool g_binToSRec(const QByteArray& image, qint32 startAddress, const QString& format, const QString& fileName);

// The whole file as bytes 0 to length - 1. A missing or empty file is a run-time error for
// the error handler and leaves the array empty; a missing file is not created.
void g_readBinFile(const QString& fileName, QByteArray& bytes);

}  // namespace modDownload

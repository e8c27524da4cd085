#pragma once
// The bytes of the SDO protocol (CiA 301) as the client writes and reads them: command
// specifiers, sub-commands, the flags of byte 0, the abort codes and the layout of a frame.
// Every frame is 8 bytes; byte 0 is the command, bytes 1-2 the index (little-endian) and
// byte 3 the sub-index where the command carries them, and bytes 4-7 a 32-bit value.
#include "bytes/bytes.h"

#include <QByteArray>
#include <QtGlobal>

namespace Sdo {

constexpr int FrameSize = 8;
constexpr int SegmentBytes = 7;  // data bytes of a segment, and of a block segment
constexpr int MaxBlockSize = 127;  // segments of a sub-block

// Command specifiers (the top three bits of byte 0): what the client sends...
constexpr quint8 CcsDownloadSegment = 0;
constexpr quint8 CcsInitiateDownload = 1;
constexpr quint8 CcsInitiateUpload = 2;
constexpr quint8 CcsUploadSegment = 3;
constexpr quint8 CcsBlockUpload = 5;
constexpr quint8 CcsBlockDownload = 6;
// ...what the server answers...
constexpr quint8 ScsUploadSegment = 0;
constexpr quint8 ScsDownloadSegment = 1;
constexpr quint8 ScsInitiateUpload = 2;
constexpr quint8 ScsInitiateDownload = 3;
constexpr quint8 ScsBlockDownload = 5;
constexpr quint8 ScsBlockUpload = 6;
// ...and the abort, the same both ways.
constexpr quint8 CsAbort = 4;

// Sub-commands of the block transfers (the low bits of byte 0).
constexpr quint8 SubInitiate = 0;
constexpr quint8 SubEnd = 1;
constexpr quint8 SubAck = 2;
constexpr quint8 SubStart = 3;

// Flags of byte 0.
constexpr quint8 FlagSizeIndicated = 0x01;   // initiate: bytes 4-7 hold the size
constexpr quint8 FlagExpedited = 0x02;       // initiate: the data is in bytes 4-7
constexpr quint8 FlagBlockSize = 0x02;       // block initiate: bytes 4-7 hold the size
constexpr quint8 FlagBlockEndReserved = 0x02;  // block upload end: always 0
constexpr quint8 FlagCrc = 0x04;             // block initiate: this side uses the block CRC
constexpr quint8 FlagToggle = 0x10;          // segments
constexpr quint8 FlagLastSegment = 0x01;     // segments: no more to come
constexpr quint8 FlagLastBlockSegment = 0x80;  // block segments: no more to come
constexpr quint8 SequenceMask = 0x7F;        // block segments: the sequence number

// Byte 0 from a command specifier and its flags.
constexpr quint8 command(quint8 specifier, quint8 flags = 0) { return quint8(specifier << 5 | flags); }
// Bits of byte 0 that count the bytes of a frame that carry no data.
constexpr quint8 expeditedUnused(int n) { return quint8(n << 2); }   // initiate, bits 2-3
constexpr quint8 segmentUnused(int n) { return quint8(n << 1); }     // segments, bits 1-3
constexpr quint8 blockEndUnused(int n) { return quint8(n << 2); }    // block end, bits 2-4

// Reading byte 0 of a received frame (not empty).
inline quint8 cmd(const QByteArray& f) { return static_cast<quint8>(f[0]); }
inline quint8 scs(const QByteArray& f) { return cmd(f) >> 5; }
inline bool has(const QByteArray& f, quint8 flag) { return (cmd(f) & flag) != 0; }
// The server's block sub-command: two bits for the block download, one for the block upload
// (whose bit 1 is the size flag).
inline quint8 sub(const QByteArray& f) { return cmd(f) & (scs(f) == ScsBlockUpload ? 0x01 : 0x03); }
inline quint8 toggle(const QByteArray& f) { return (cmd(f) >> 4) & 1; }
inline int expeditedUnused(const QByteArray& f) { return (cmd(f) >> 2) & 3; }
inline int segmentUnused(const QByteArray& f) { return (cmd(f) >> 1) & 7; }
inline int blockEndUnused(const QByteArray& f) { return (cmd(f) >> 2) & 7; }

// Fields of a frame, little-endian.
inline void putIndex(QByteArray& f, quint16 index, quint8 subIndex) {
    bytes::put(f, 1, index, 2, bytes::Order::LittleEndian);
    f[3] = static_cast<char>(subIndex);
}
inline quint16 index(const QByteArray& f) {
    return static_cast<quint16>(bytes::getUnsigned(f, 1, 2, bytes::Order::LittleEndian).value_or(0));
}
inline void putU16(QByteArray& f, int at, quint16 v) { bytes::put(f, at, v, 2, bytes::Order::LittleEndian); }
inline quint16 u16(const QByteArray& f, int at) {
    return static_cast<quint16>(bytes::getUnsigned(f, at, 2, bytes::Order::LittleEndian).value_or(0));
}
inline void putU32(QByteArray& f, int at, quint32 v) { bytes::put(f, at, v, 4, bytes::Order::LittleEndian); }
inline quint32 u32(const QByteArray& f, int at) {
    return static_cast<quint32>(bytes::getUnsigned(f, at, 4, bytes::Order::LittleEndian).value_or(0));
}

}  // namespace Sdo

// Abort codes that the client sends or reports.
namespace SdoAbort {
enum : quint32 {
    ToggleBit = 0x05030000,
    TimedOut = 0x05040000,
    UnknownCommand = 0x05040001,  // also a frame too short for its command
    InvalidBlockSize = 0x05040002,
    InvalidSequence = 0x05040003,
    CrcError = 0x05040004,
    OutOfMemory = 0x05040005,
    LengthTooHigh = 0x06070012,
    LengthTooLow = 0x06070013,
    General = 0x08000000,
};
}  // namespace SdoAbort

#pragma once
// The kind of application a module runs and a load file carries, so that no file of one
// kind is loaded into modules that run another.
#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace modApplicationMode {

// Application types (the codes of modGlobal::g_applicationType).
constexpr qint32 appKELB = 0;
constexpr qint32 appVEDR = 1;
constexpr qint32 appDARVO = 2;
constexpr qint32 appNone = 3;          // only the bootloader answered, with an unknown identification
constexpr qint32 appNotDetermined = 4; // no module answered, or no CAN
constexpr qint32 appMismatch = 5;      // set by the bus set-up's type check
constexpr qint32 appQTM = 6;
constexpr qint32 appBZM = 7;

// The type of the modules on the bus: device name (0x1008) of the first module that answers
// from its application, else the identification in its application's info block read from
// the bootloader. On the M-Bus only module 0 is asked, and its module id is checked.
qint32 g_checkAppConnectionType();

// The type of an S-record application file, from the first marker found in its image.
qint32 g_checkAppFileType(const QString& fileName);

// The 24-bit address of the S2 record on the file's second line; 0 when the file cannot be
// opened. A missing or non-hexadecimal second line is a run-time error.
qint32 g_getApplStartAddr(const QString& fileName);

// The type a marker text names ("KELB-3817"/"KELB" 0, "VEDR" 1, "DRVO" 2), or `otherwise`
// when the text begins with none of them.
qint32 classifyName(const QString& name, qint32 otherwise);

// The short name of a type as the type check's messages show it ("KELB", "VEDR", "DRVO",
// "NONE", "QTM", "BZM"); empty for a type without one.
QString typeName(qint32 type);

// The type of a binary image: the first marker found at an even offset, compared two bytes
// at a time; 0 when none is found.
qint32 classifyImage(const QByteArray& image);

}  // namespace modApplicationMode

#pragma once
// The check the read pass of a data-container image can make of the values it read: the
// group CRCs the image carries against the CRCs of the groups' values as read. A group is
// checked only when the image gives every value of it whole (a 4-byte item each), since
// the CRC covers the 32-bit values; a narrower item or a value the image does not carry
// leaves the group unchecked rather than refuse a good image.
#include "dcbuilder/imagewalk.h"

#include <QString>
#include <functional>

namespace groupCrc {

// The CRC can stand in the image twice: as the DC_ number item of its alias (packed BCD,
// of which a 2-byte item keeps the last four digits), and as the value of the group's CRC
// entry row (symbolOf gives its name; asked only for groups that can be checked). Empty
// when every CRC the image carries agrees; otherwise the first disagreement.
QString verifyRead(const dcImage::Tables& dcTables, const dcImage::WalkResult& read,
                   const std::function<QString(int group)>& symbolOf);

}  // namespace groupCrc

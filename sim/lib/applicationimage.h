#pragma once
// The application the simulated PXM modules leave the factory with, and the CRC values the
// module software publishes of the application it holds: a CRC-16 (XMODEM) over the whole
// image and one over its IMO part, the first kImoLength bytes. The tool's configuration
// for a simulated site names builds by these CRCs.
#include <QByteArray>

namespace sim {

inline constexpr int kImoLength = 512;

// The factory application of every module; foreign: one of a build the site's
// configuration does not know.
QByteArray factoryApplication(bool foreign = false);

quint16 applicationCrc(const QByteArray& image);
quint32 imoLength(const QByteArray& image);
quint16 imoCrc(const QByteArray& image);

}  // namespace sim

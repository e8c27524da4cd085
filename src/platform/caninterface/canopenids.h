#pragma once
// The COB-IDs of CANopen (CiA 301) that the CAN layer sends and receives. A node's own
// identifier is a function's base plus its node id, 1 to 127.
#include <QtGlobal>

namespace CanOpen {

constexpr quint32 NmtId = 0x000;
constexpr quint32 SdoResponseBase = 0x580;  // server -> client
constexpr quint32 SdoRequestBase = 0x600;   // client -> server
constexpr quint32 HeartbeatBase = 0x700;    // heartbeat and boot-up: [state]
constexpr quint32 MaxId = 0x7FF;            // 11-bit identifiers
constexpr quint8 MaxNodeId = 127;

// NMT command byte 0; byte 1 is the node, 0 for all.
constexpr quint8 NmtStartRemoteNode = 0x01;

// Heartbeat states.
constexpr quint8 StateBootUp = 0x00;
constexpr quint8 StateOperational = 0x05;

constexpr quint32 sdoRequestId(quint8 node) { return SdoRequestBase + node; }
constexpr quint32 sdoResponseId(quint8 node) { return SdoResponseBase + node; }
constexpr quint32 heartbeatId(quint8 node) { return HeartbeatBase + node; }

// The SDO requests and responses of the nodes: 0x581 to 0x67F.
constexpr bool isSdoId(quint32 cobId) { return cobId > SdoResponseBase && cobId <= SdoRequestBase + MaxNodeId; }
// The heartbeat page as the receiver takes it, 0x700 to 0x7FF: the node is the low byte.
constexpr bool isHeartbeatId(qint64 cobId) { return cobId >= HeartbeatBase && cobId <= MaxId; }
constexpr qint32 heartbeatNode(qint32 cobId) { return cobId - qint32(HeartbeatBase); }

}  // namespace CanOpen

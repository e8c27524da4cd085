#pragma once
// Switches of a node's SDO server: the faults the tool's client must survive, and the
// server's block-transfer abilities. The defaults are a well-behaved server.

namespace sim {

struct Faults {
    // Falls silent after sending this many frames of a transfer (0 = never answers the
    // initiate); the next initiate starts a new transfer. -1 = off.
    int stopAfterFrames = -1;
    // Every segment response carries the toggle bit inverted.
    bool wrongToggle = false;
    // The CRC in a block upload's end frame is wrong.
    bool corruptBlockCrc = false;
    // Segmented and block uploads announce one byte less than they then send.
    bool longSegment = false;
    // SDO responses go out with only this many data bytes (1-7). 0 = off.
    int shortFrames = 0;
    // Every SDO response leaves this many milliseconds late.
    int delayMs = 0;
    // Uploads use the forms without size indication (0x42, 0x40, block without s).
    bool noSizeIndication = false;

    // Abilities: block transfer refused with "command specifier not valid" when off, the
    // server's CRC support (sc), and the block size it offers in downloads (1-127).
    bool blockTransfer = true;
    bool blockCrc = true;
    int blockSize = 127;
};

}  // namespace sim

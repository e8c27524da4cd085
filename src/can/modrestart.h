#pragma once
// The one ending of every command that stops modules for its work (downloads, upload from
// the spare, module state): what it stopped runs its application again, module 0 first on
// the M-Bus and the cylinders through it only once it runs, and each is checked to answer
// in its application. A module left with a section written in part stays in its bootloader,
// and every module left there is named.
#include "can/modmodechange.h"

namespace modRestart {

// What a command did to the modules, kept from its start to its ending.
struct Record {
    moduleProtocol::Selection stopped{};      // ran their application when the command put them into the bootloader
    moduleProtocol::Selection written{};      // received a section completely
    moduleProtocol::Selection halfWritten{};  // a section was begun and not finished: its program may not start
    moduleProtocol::Selection removed{};      // the bootloader download took their application away

    void clear() { *this = Record{}; }
    void sectionBegun(int module) { halfWritten[module] = true; }
    void sectionEnded(int module) {
        halfWritten[module] = false;
        written[module] = true;
    }
};

// Starts again what the record stopped or filled; returns the modules left in their bootloader.
moduleProtocol::Selection g_restart(const Record& record);
// The engineer declined the restart: the log names the modules left in their bootloader,
// and of QTM and BZM those loaded, whose flash is not proven before their program runs.
moduleProtocol::Selection g_nameLeft(const Record& record);
// The modules of the record that run their application now.
moduleProtocol::Selection g_running(const Record& record);
// "PXM 0, PXM 2": the modules of the selection, for a log line.
QString g_names(const moduleProtocol::Selection& modules);

}  // namespace modRestart

#include "config/updatetexts.h"

#include "config/loadfiles.h"
#include "lib/applicationimage.h"

namespace simconfig {

namespace {
// "0x" and four upper-case hexadecimal digits, as the update run writes a CRC.
QString crcItem(quint16 crc) { return QStringLiteral("0x") + QStringLiteral("%1").arg(crc, 4, 16, QLatin1Char('0')).toUpper(); }

// The eight values of the site, as the run fills them in.
const char* const kSiteValues =
    "hull {*}, engine {*} with {*} cylinders, build {*} (application CRC {*}, length {*}; IMO CRC {*}, length {*})";
}  // namespace

QList<QPair<QString, QString>> buildItems(const LoadFile& application) {
    const QString build = QString::fromLatin1(kBuildName);
    return {{crcItem(sim::applicationCrc(sim::factoryApplication())), build},
            {crcItem(sim::applicationCrc(image(application))), QStringLiteral("new") + build},
            {QStringLiteral("appl_") + build, application.fileName}};
}

QList<UserText> updateTexts() {
    const QString values = QString::fromLatin1(kSiteValues);
    return {
        {10, QStringLiteral("Connecting to the KELB-3817 control system ...")},
        {11, QStringLiteral("The USB-to-CAN converter could not be initialised. Check the converter and its cable, "
                            "then start the tool again.")},
        {12, QStringLiteral("The PC is connected through PXM #{00}, not through the spare module. Connect it to the "
                            "M-Bus at the spare module (PXM #00) and start the tool again.")},
        {13, QStringLiteral("No PXM module answered. Check the CAN cable and the power supply of the control system, "
                            "then start the tool again.")},
        {14, QStringLiteral("The spare module runs its bootloader. Restart the control system and start the tool again.")},
        {20, QStringLiteral("Reading the system information from the modules ...")},
        {21, QStringLiteral("The system information could not be read from the modules. Restart the control system "
                            "and start the tool again.")},
        {30, QStringLiteral("Evaluating the installed build ...")},
        {31, QStringLiteral("The newest application of this build is already installed. No update is necessary.")},
        {32, QStringLiteral("The installed application belongs to a build this tool does not know. The update is not "
                            "possible; contact the service department.")},
        {40, QStringLiteral("Detecting the PXM modules ...")},
        {41, QStringLiteral("Auto-download is not activated. The tool activates it now ...")},
        {42, QStringLiteral("Auto-download has been activated. Restart the control system and start the tool again.")},
        {43, QStringLiteral("Not all PXM modules were detected. Missing: {*}. Check the modules and start the tool again.")},
        {44, QStringLiteral("The application load file of this build cannot be used: {*} No module was changed. "
                            "Contact the service department.")},
        {61, QStringLiteral("Ready to update ") + values +
                 QStringLiteral(". Press Update to install the new application on all modules, or Finish to leave."),
         true},
        {63, QStringLiteral("The update of ") + values +
                 QStringLiteral(" is installed, but these modules wait in their bootloader: {*}. Press Update to load "
                                "them, or Finish to leave."),
         true},
        {70, QStringLiteral("Downloading the application update. Do not switch off the control system!")},
        {71, QStringLiteral("The spare module (PXM #00) could not be updated. Start the tool again; if the update fails "
                            "again, contact the service department.")},
        {72, QStringLiteral("These modules could not be updated: {*}. Follow the instruction (Open Instruction) before "
                            "you start the tool again.")},
        {80, QStringLiteral("Starting the updated application ...")},
        {81, QStringLiteral("Not all modules started their application. Restart the control system and check the "
                            "modules.")},
        {90, QStringLiteral("Writing the application CRC ...")},
        {91, QStringLiteral("The modules did not confirm the new application CRC. Press OK to go on."), true},
        {100, QStringLiteral("Checking the update ...")},
        {101, QStringLiteral("The modules could not be checked after the update. Press OK to go on."), true},
        {110, QStringLiteral("Update finished.")},
        {102, QStringLiteral("The modules do not run the application of this build after the update (application CRC "
                             "{*}, expected {*}). Contact the service department.")},
        {111, QStringLiteral("The KELB-3817 software is updated: ") + values + QLatin1Char('.')},
        {112, QStringLiteral("The update was canceled and the applications run again. The software is not updated.")},
    };
}

}  // namespace simconfig

#pragma once
// Registers the CAN side's implementations behind the main window's interfaces, and the
// main window's up-calls that the CAN side makes.
namespace canLinks {
void install();
}

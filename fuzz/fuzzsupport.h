#pragma once
// What every fuzz target shares: the program's seams set so that nothing waits for a
// person (boxes get their cautious answer, run-time errors go on), and a file to hand the
// input to readers that take a path.
#include <QByteArray>
#include <QString>

namespace fuzzsupport {

// Once per process: the dialog seam and the error handler answer by themselves.
void init();
// Writes the bytes to a file of this process with that suffix and returns its path.
QString writeInput(const uint8_t* data, size_t size, const QString& suffix);

}  // namespace fuzzsupport

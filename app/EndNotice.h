#pragma once

#include <QString>

#include "ArchiveRecorder.h"

// What the person is told when the program ends before the archive took
// every inspection: only what is true of each (in the journal, written to
// another folder, or lost), in a box in front of every other window that
// closes itself, so the program still ends.
namespace EndNotice {

// Empty when every inspection reached the archive.
QString text(const ArchiveRecorder::Finish &finish);
void show(const ArchiveRecorder::Finish &finish);

} // namespace EndNotice

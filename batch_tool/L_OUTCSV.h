#pragma once
// CSV like the input: its delimiter, line ends, "sep=" line and a byte order mark, the
// input's columns and the program's after them, one record a row (with --all one a hit).
#include "batch_tool/L_OUTPUT.h"

namespace L_OUTCSV {

extern const L_OUTPUT::Writer Format;

// A cell the program adds, as a spreadsheet may see it: one that begins with "=", "+",
// "-", "@", tab or CR and is no plain number gets a leading apostrophe, so that it is never
// read as a formula ("-13,97" stays a number).
QString SafeCell(const QString &text);

} // namespace L_OUTCSV

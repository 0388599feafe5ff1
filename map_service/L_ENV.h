#pragma once
// Whole numbers the environment sets: the timeouts, pauses and waits of the tests and of
// one's own servers.
#include <QtGlobal>

namespace L_ENV {

// The variable's value when it is a whole number from `lowest` to `highest`; else (unset,
// empty, not a number, out of range) `otherwise`.
qint64 Integer(const char *name, qint64 lowest, qint64 highest, qint64 otherwise);

} // namespace L_ENV

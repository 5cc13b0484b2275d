#pragma once
// Freed memory that keeps no copy of what it held. Qt and the C++ library
// free the strings of contacts and passwords without wiping them; the
// process's allocator does it for them when it is told to fill every block it
// frees and to keep no block back in a per-thread cache (which it would not
// fill). It reads those settings only when a process starts, so the program
// starts itself once more with them, before anything else has run.
//
// What stays unfilled is the allocator's own bookkeeping in a freed block:
// its first 16 to 32 bytes (list links) and, in a small block, its last 8.

#include <QByteArray>

namespace FreedMemory {

// The allocator settings `GLIBC_TUNABLES` takes, merged into the ones the
// user set: the user's other settings are kept, ours replace theirs.
QByteArray tunables(const QByteArray& userTunables);

// Runs the program afresh in this process (with `argv`, which ends with a
// null) under the settings above, unless they are in force already, the
// build has a sanitizer's allocator of its own, or this process is such a
// restart. Returns only when no restart took place; then the program goes
// on as it is. Once restarted, the environment is given back as the user
// set it, so that the programs started from here do not inherit it.
void restartWiping(char** argv);

// Whether the allocator of this process fills what it frees: it then also
// fills what it hands out, with the complement, which is what is looked at.
bool wiping();

} // namespace FreedMemory

#pragma once

// What a program around the engine does so that no secret outlives it: no
// core dump holding pass phrases, keys or clear text, and no half-written
// temporary file left behind when a signal ends it.

namespace vkcrypto {

// Turns core dumps off for the rest of the process (core size limit 0, and
// not dumpable, which also keeps other processes of the user from reading
// its memory). Returns false when either could not be set.
bool DisableCoreDumps() noexcept;

// Removes the named temporary files of file operations under way. Only file
// systems without unnamed temporary files have any. Safe to call from a
// signal handler: a handler for SIGINT, SIGTERM and SIGHUP calls it before
// the process ends.
void RemoveUnfinishedFiles() noexcept;

}  // namespace vkcrypto

#pragma once

// The thread's message queue as a host sees it. A control does its network
// work on the thread that created it: socket notifications wait in that
// thread's queue and become the control's events when the queue is served.
// A blocking network call serves the queue itself while it waits, so events
// and re-entrant calls can run inside it. Between calls (or when a call
// returns at once, with a negative Timeout) the host serves the queue with
// PumpMessages. A host with an event loop of its own installs a hook, so
// that its events are served during the control's waits too:
//
//   rssvane::SetHostEventHook([](void*) { QCoreApplication::processEvents(); return true; }, nullptr);

namespace rssvane {

// Serves the calling thread's queue for up to ms milliseconds (0: only what
// is waiting now). Returns false when it met a quit message, which it takes
// off the queue, storing its exit code in *exitCode when given.
bool PumpMessages(int ms, int* exitCode = nullptr);

// Posts a quit message to the calling thread's queue: every wait on the
// thread ends (the waiting call fails with 301 "Interrupted.") until a pump
// takes the message.
void PostQuitMessage(int exitCode);

// Called on every pass of a wait or pump of the thread (at least every 20
// ms); it serves the host's pending events without blocking. Returning false
// says the host is closing: the current wait ends as interrupted. A null hook
// removes it.
using HostEventHook = bool (*)(void* context);
void SetHostEventHook(HostEventHook hook, void* context);

}  // namespace rssvane

// thread.h -- what the platform offers a thread that must never be late (the mixing thread)
#pragma once

namespace platform {

// Raises the calling thread to the highest priority the platform grants it: time-critical on
// Windows, realtime first-in-first-out (SCHED_FIFO) where POSIX allows it; the mixing thread
// sleeps between passes, so it never keeps a core from others of its priority for long.
// Where it is refused (no privileges) the thread runs on at its normal priority; nothing is
// reported.
void thread_raise_priority();

}  // namespace platform

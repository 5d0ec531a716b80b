// thread.h -- what the platform offers a thread that must never be late (the mixing thread)
#pragma once

namespace platform {

// Raises the calling thread to the highest priority the platform grants it: time-critical on
// Windows, realtime round-robin where POSIX allows it. Where it is refused (no privileges)
// the thread runs on at its normal priority; nothing is reported.
void thread_raise_priority();

}  // namespace platform

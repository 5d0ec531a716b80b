// thread.cpp -- POSIX thread priority
#include <pthread.h>
#include <sched.h>

#include "platform/thread.h"

namespace platform {

void thread_raise_priority()
{
    // Realtime scheduling needs privileges most users lack; playing on at normal priority is
    // the best that is left then.
    sched_param parameters{};
    parameters.sched_priority = sched_get_priority_max(SCHED_FIFO);
    (void)pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameters);
}

}  // namespace platform

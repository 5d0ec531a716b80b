// thread.cpp -- Windows thread priority
#include <windows.h>

#include "platform/thread.h"

namespace platform {

void thread_raise_priority()
{
    (void)SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
}

}  // namespace platform

// thread.cpp -- the browser: no mixing thread runs there, so there is no priority to raise
#include "platform/thread.h"

namespace platform {

void thread_raise_priority() {}

}  // namespace platform

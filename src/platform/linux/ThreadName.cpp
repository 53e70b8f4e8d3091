#include "platform/ThreadName.h"

#include <pthread.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace vorta::platform {

void NameThisThread(const char* name) {
    const std::string cut(name, std::min<std::size_t>(std::strlen(name), 15));
    pthread_setname_np(pthread_self(), cut.c_str());
}

}  // namespace vorta::platform

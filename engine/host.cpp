#include "host.h"

#include <chrono>

namespace {
DefaultEngineHost defaultHost;
EngineHost* currentHost = &defaultHost;
}  // namespace

i64 DefaultEngineHost::TickMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SetEngineHost(EngineHost* host) { currentHost = host ? host : &defaultHost; }

EngineHost& Host() { return *currentHost; }

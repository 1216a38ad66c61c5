#include "ComObject.h"

namespace {
std::atomic<long> serverLocks{0};
}

void ServerLock::Lock() { ++serverLocks; }
void ServerLock::Unlock() { --serverLocks; }
bool ServerLock::Idle() { return serverLocks == 0; }

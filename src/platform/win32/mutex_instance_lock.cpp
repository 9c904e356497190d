#include "platform/win32/mutex_instance_lock.h"

#include <windows.h>

namespace qv {

MutexInstanceLock::~MutexInstanceLock() {
    if (mutex_ != nullptr) {
        ReleaseMutex(mutex_);
        CloseHandle(mutex_);
    }
}

InstanceLock::Result MutexInstanceLock::take() {
    if (mutex_ != nullptr) return Result::Taken;
    for (const std::string& name : names_) {
        HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
        if (mutex == nullptr) continue;  // the namespace is refused: the next name
        const DWORD wait = WaitForSingleObject(mutex, 0);
        // WAIT_ABANDONED: its owner ended without releasing it; it is ours now.
        if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
            mutex_ = mutex;
            where_ = name;
            return Result::Taken;
        }
        CloseHandle(mutex);
        if (wait == WAIT_TIMEOUT) {
            where_ = name;
            return Result::HeldByAnother;
        }
    }
    return Result::Unavailable;
}

} // namespace qv

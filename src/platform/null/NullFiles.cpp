// A system that is neither POSIX nor Windows: no lock can be held (the
// program then runs without one) and files have no identity beyond their
// name, size and times.
#include "platform.h"

namespace platform {

InstanceLockAttempt takeInstanceLock(const std::string &path) {
    return {InstanceLockAttempt::State::Unusable, nullptr, path + ": no lock on this system"};
}

FileIdentity fileIdentity(const std::string &) {
    return {};
}

} // namespace platform

// The single-instance lock and a file's identity on POSIX systems. The lock
// is flock(2) on the lock file: the kernel drops it when the last descriptor
// closes, that is when the holder ends, however it ends. So neither a process
// id written into the file nor a PID namespace (where every copy may be
// process 1) can make a dead copy look alive.
#include "platform.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

class FlockLock final : public InstanceLock {
  public:
    FlockLock(int fd, std::string path, dev_t device, ino_t inode)
        : m_fd(fd), m_path(std::move(path)), m_device(device), m_inode(inode) {}
    ~FlockLock() override {
        // Removed while still locked, and only when the name still is our
        // file: a copy that opened it meanwhile finds it gone once it gets
        // the lock and starts over on a new file.
        struct stat now {};
        if (::stat(m_path.c_str(), &now) == 0 && now.st_dev == m_device && now.st_ino == m_inode)
            ::unlink(m_path.c_str());
        ::close(m_fd);
    }

  private:
    int m_fd;
    std::string m_path;
    dev_t m_device;
    ino_t m_inode;
};

InstanceLockAttempt unusable(const std::string &path, const std::string &why) {
    InstanceLockAttempt attempt;
    attempt.state = InstanceLockAttempt::State::Unusable;
    attempt.error = path + ": " + why;
    return attempt;
}

} // namespace

InstanceLockAttempt takeInstanceLock(const std::string &path) {
    // A holder that ends removes the file while we wait for nothing: a few
    // rounds settle on the file that stays.
    for (int round = 0; round < 8; ++round) {
        // No link is followed and no FIFO waited on; the file is the user's alone.
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        if (fd < 0)
            return unusable(path, std::strerror(errno));
        struct stat held {};
        if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
            ::close(fd);
            return unusable(path, "not a plain file");
        }
        if (held.st_uid != ::geteuid()) {
            ::close(fd);
            return unusable(path, "belongs to another user");
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK)
                return {InstanceLockAttempt::State::HeldByAnother, nullptr, {}};
            return unusable(path, std::strerror(error)); // a file system without locks
        }
        struct stat named {};
        if (::stat(path.c_str(), &named) != 0 || named.st_dev != held.st_dev || named.st_ino != held.st_ino) {
            ::close(fd);
            continue;
        }
        // The holder's process id, for a person who looks; nothing reads it.
        const std::string pid = std::to_string(::getpid()) + "\n";
        if (::ftruncate(fd, 0) == 0) {
            [[maybe_unused]] const auto written = ::pwrite(fd, pid.data(), pid.size(), 0);
        }
        return {InstanceLockAttempt::State::Taken,
                std::make_unique<FlockLock>(fd, path, held.st_dev, held.st_ino),
                {}};
    }
    return unusable(path, "the lock file keeps being replaced");
}

FileIdentity fileIdentity(const std::string &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return {};
    return {std::uint64_t(st.st_dev), std::uint64_t(st.st_ino),
            std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
}

} // namespace platform

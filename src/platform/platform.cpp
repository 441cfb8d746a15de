#include "platform.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <cstdio>
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

#if defined(_WIN32)
std::unique_ptr<Platform> createWin32();
#elif defined(VEMO_HAVE_X11)
std::unique_ptr<Platform> createX11(); // null when no display answers
#endif

namespace {
std::unique_ptr<Platform> &slot() {
    static std::unique_ptr<Platform> backend;
    return backend;
}
} // namespace

std::unique_ptr<Platform> createDefault() {
#if defined(_WIN32)
    return createWin32();
#elif defined(VEMO_HAVE_X11)
    if (auto x11 = createX11())
        return x11;
    return createNull();
#else
    return createNull();
#endif
}

Platform &current() {
    auto &backend = slot();
    if (!backend)
        backend = createDefault();
    return *backend;
}

std::unique_ptr<Platform> install(std::unique_ptr<Platform> backend) {
    auto previous = std::move(slot());
    slot() = std::move(backend);
    return previous;
}

#if defined(_WIN32)
int terminationFd() {
    return -1;
}

void useParentConsole() {
    const auto leadsSomewhere = [](DWORD which) {
        const HANDLE handle = GetStdHandle(which);
        return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
    };
    const bool out = leadsSomewhere(STD_OUTPUT_HANDLE), err = leadsSomewhere(STD_ERROR_HANDLE);
    if ((out && err) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!out)
        std::freopen("CONOUT$", "w", stdout);
    if (!err)
        std::freopen("CONOUT$", "w", stderr);
}
#else
namespace {
int terminationPipe[2] = {-1, -1};

extern "C" void onTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(terminationPipe[1], &byte, 1);
}
} // namespace

void useParentConsole() {}

int terminationFd() {
    if (terminationPipe[0] >= 0)
        return terminationPipe[0];
    if (::pipe(terminationPipe) != 0)
        return -1;
    for (int fd : terminationPipe) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGHUP, SIGINT})
        ::sigaction(sig, &action, nullptr);
    return terminationPipe[0];
}
#endif

#if defined(_WIN32)
bool passesForeignLink(const std::string &) {
    return false;
}
#else
bool passesForeignLink(const std::string &absolutePath) {
    const uid_t user = ::geteuid();
    // Each name along the path, looked at without following it.
    for (size_t end = absolutePath.find('/', 1);; end = absolutePath.find('/', end + 1)) {
        const std::string name = absolutePath.substr(0, end);
        const size_t slash = name.rfind('/');
        const std::string folder = slash == 0 ? std::string("/") : name.substr(0, slash);
        struct stat link = {}, parent = {};
        if (!name.empty() && ::lstat(name.c_str(), &link) == 0 && S_ISLNK(link.st_mode) &&
            ::stat(folder.c_str(), &parent) == 0 && (parent.st_mode & S_ISVTX) &&
            (parent.st_mode & S_IWOTH) && link.st_uid != user && link.st_uid != parent.st_uid)
            return true;
        if (end == std::string::npos)
            return false;
    }
}
#endif

} // namespace platform

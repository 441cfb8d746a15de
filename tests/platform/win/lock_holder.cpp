// The other program of the single-instance test: takes the lock file named
// on its command line and holds it until it is ended.
#include "platform.h"

#include <windows.h>

#include <shellapi.h>
#include <string>

int main() {
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 2)
        return 2;
    const std::wstring path = argv[1];
    std::string utf8(size_t(WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr)),
                     '\0');
    WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, utf8.data(), int(utf8.size()), nullptr, nullptr);
    utf8.pop_back(); // the terminating zero
    const auto attempt = platform::takeInstanceLock(utf8);
    if (attempt.state != platform::InstanceLockAttempt::State::Taken)
        return 1;
    Sleep(INFINITE);
}

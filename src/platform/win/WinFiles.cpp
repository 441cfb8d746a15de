// The single-instance lock and a file's identity on Windows. The lock is the
// lock file kept open without write or delete sharing: a second open fails
// with a sharing violation while the holder lives, and the system closes
// the handle when the holder ends, however it ends (also when Wine's server
// goes down with the session). No process id is involved, so ids handed out
// again after a restart never make a dead copy look alive.
#include "win/WinPlatform.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace platform {

namespace {

class HandleLock final : public InstanceLock {
  public:
    HandleLock(HANDLE handle, std::wstring path) : m_handle(handle), m_path(std::move(path)) {}
    ~HandleLock() override {
        CloseHandle(m_handle);
        // Fails harmlessly when another copy opened the file in between.
        DeleteFileW(m_path.c_str());
    }

  private:
    HANDLE m_handle;
    std::wstring m_path;
};

} // namespace

InstanceLockAttempt takeInstanceLock(const std::string &path) {
    const std::wstring name = win::widen(path);
    const HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
            return {InstanceLockAttempt::State::HeldByAnother, nullptr, {}};
        return {InstanceLockAttempt::State::Unusable, nullptr, path + ": " + win::systemMessage(error)};
    }
    // The holder's process id, for a person who looks; nothing reads it.
    const std::string pid = std::to_string(GetCurrentProcessId()) + "\r\n";
    DWORD written = 0;
    if (SetEndOfFile(handle))
        WriteFile(handle, pid.data(), DWORD(pid.size()), &written, nullptr);
    return {InstanceLockAttempt::State::Taken, std::make_unique<HandleLock>(handle, name), {}};
}

FileIdentity fileIdentity(const std::string &path) {
    const HANDLE handle = CreateFileW(win::widen(path).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return {};
    FileIdentity identity;
    BY_HANDLE_FILE_INFORMATION info = {};
    if (GetFileInformationByHandle(handle, &info)) {
        identity.volume = info.dwVolumeSerialNumber;
        identity.index = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    }
    FILE_BASIC_INFO basic = {};
    if (GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof(basic)))
        identity.changeTimeNs = std::int64_t(basic.ChangeTime.QuadPart) * 100;
    CloseHandle(handle);
    return identity;
}

} // namespace platform

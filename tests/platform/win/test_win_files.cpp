// The single-instance lock and a file's identity on Windows: a lock file
// whatever it names is taken over, a living holder (another handle, another
// process) refuses, a holder that was killed does not; a file swapped in
// under the same name, or rewritten with the old times, has another identity.
#include "WinTest.h"

using platform::InstanceLockAttempt;
using State = platform::InstanceLockAttempt::State;

namespace {

std::wstring folder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring dir = std::wstring(temp) + L"vemo-files-test-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

bool writeFile(const std::wstring &path, const std::string &bytes) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
    CloseHandle(file);
    return ok;
}

std::string utf8(const std::wstring &path) {
    return platform::win::narrow(path);
}

// The holder program beside this one, started on the lock file.
PROCESS_INFORMATION startHolder(const std::wstring &lockFile) {
    wchar_t self[MAX_PATH];
    std::wstring command(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    command = L"\"" + command.substr(0, command.find_last_of(L'\\')) + L"\\win_lock_holder.exe\" \"" +
              lockFile + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    return process;
}

} // namespace

WIN_TEST(lockFilesNobodyHolds) {
    const std::wstring dir = folder();
    const std::wstring lockFile = dir + L"\\Vemo文本收集器.lock";
    // Left by a copy that ended uncleanly, naming this very process.
    REQUIRE(writeFile(lockFile, std::to_string(GetCurrentProcessId()) + "\r\n"));
    InstanceLockAttempt first = platform::takeInstanceLock(utf8(lockFile));
    CHECK(first.state == State::Taken, first.error);
    CHECK(platform::takeInstanceLock(utf8(lockFile)).state == State::HeldByAnother);
    first.lock.reset();
    CHECK(GetFileAttributesW(lockFile.c_str()) == INVALID_FILE_ATTRIBUTES,
          "the lock file stays after release");
    CHECK(platform::takeInstanceLock(utf8(lockFile)).state == State::Taken);
    // A folder where the lock file is a folder, or a folder that is missing.
    REQUIRE(CreateDirectoryW(lockFile.c_str(), nullptr));
    CHECK(platform::takeInstanceLock(utf8(lockFile)).state == State::Unusable);
    RemoveDirectoryW(lockFile.c_str());
    CHECK(platform::takeInstanceLock(utf8(dir + L"\\missing\\Vemo文本收集器.lock")).state == State::Unusable);
    RemoveDirectoryW(dir.c_str());
}

WIN_TEST(aKilledHolderHoldsNobodyBack) {
    const std::wstring dir = folder();
    const std::wstring lockFile = dir + L"\\Vemo文本收集器.lock";
    PROCESS_INFORMATION holder = startHolder(lockFile);
    REQUIRE(holder.hProcess != nullptr);
    CHECK(
        wintest::pumpUntil(
            [&] { return platform::takeInstanceLock(utf8(lockFile)).state == State::HeldByAnother; }, 20000),
        "the other process never held the lock");
    TerminateProcess(holder.hProcess, 9);
    WaitForSingleObject(holder.hProcess, 10000);
    CloseHandle(holder.hProcess);
    CloseHandle(holder.hThread);
    InstanceLockAttempt next = platform::takeInstanceLock(utf8(lockFile));
    CHECK(next.state == State::Taken, next.error);
    next.lock.reset();
    RemoveDirectoryW(dir.c_str());
}

WIN_TEST(identityTellsSwappedFilesApart) {
    const std::wstring dir = folder();
    const std::wstring library = dir + L"\\VBCode.mdb", other = dir + L"\\other.mdb";
    REQUIRE(writeFile(library, "aaaa") && writeFile(other, "bbbb"));
    const platform::FileIdentity before = platform::fileIdentity(utf8(library));
    CHECK(before.index != 0 && before == platform::fileIdentity(utf8(library)));
    CHECK(platform::fileIdentity(utf8(dir + L"\\missing.mdb")) == platform::FileIdentity{});

    // Renamed over it: another file index.
    REQUIRE(MoveFileExW(other.c_str(), library.c_str(), MOVEFILE_REPLACE_EXISTING));
    const platform::FileIdentity renamed = platform::fileIdentity(utf8(library));
    CHECK(renamed.index != before.index);

    // Rewritten in place with its old write time put back: another change time.
    FILETIME created, accessed, written;
    HANDLE file = CreateFileW(library.c_str(), GENERIC_READ | FILE_WRITE_ATTRIBUTES, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    REQUIRE(file != INVALID_HANDLE_VALUE);
    GetFileTime(file, &created, &accessed, &written);
    CloseHandle(file);
    Sleep(20);
    REQUIRE(writeFile(library, "cccc"));
    file = CreateFileW(library.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(file, &created, &accessed, &written);
    CloseHandle(file);
    const platform::FileIdentity rewritten = platform::fileIdentity(utf8(library));
    CHECK(rewritten.index == renamed.index);
    CHECK(rewritten.changeTimeNs != renamed.changeTimeNs, "the change time stayed");
    DeleteFileW(library.c_str());
    RemoveDirectoryW(dir.c_str());
}

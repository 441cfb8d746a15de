// Start with the system and the shell links, read back through the registry
// and shell APIs; a fake registry plays the user without administrator rights.
#include "WinTest.h"

#include <algorithm>
#include <objbase.h>
#include <optional>
#include <shlobj.h>

using namespace platform::win;

namespace {

// The Run value's data, or nothing when it is not there.
std::optional<std::wstring> readRunValue(HKEY root, const std::string &name) {
    wchar_t data[1024];
    DWORD size = sizeof(data);
    if (RegGetValueW(root, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", widen(name).c_str(),
                     RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(data);
}

struct FakeRunKeys final : RunKeyWriter {
    long write(RunScope scope, const std::wstring &name, const std::wstring &data) override {
        if (denied.count(scope))
            return ERROR_ACCESS_DENIED;
        values[scope][name] = data;
        return ERROR_SUCCESS;
    }
    long remove(RunScope scope, const std::wstring &name) override {
        if (!values[scope].count(name))
            return ERROR_FILE_NOT_FOUND;
        return denied.count(scope) ? ERROR_ACCESS_DENIED : (values[scope].erase(name), ERROR_SUCCESS);
    }
    std::map<RunScope, std::map<std::wstring, std::wstring>> values;
    std::map<RunScope, bool> denied;
};

// The target and the icon of a shell link, or nothing when it cannot be read.
std::optional<std::pair<std::wstring, std::wstring>> readLink(const std::wstring &path) {
    IShellLinkW *link = nullptr;
    IPersistFile *file = nullptr;
    std::optional<std::pair<std::wstring, std::wstring>> found;
    CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void **)&link);
    if (link && SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file)) &&
        SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
        wchar_t target[MAX_PATH] = {}, icon[MAX_PATH] = {};
        int index = -1;
        // The item list holds the target in Unicode; the plain path may have
        // gone through the ANSI code page (Wine reads it back that way).
        PIDLIST_ABSOLUTE items = nullptr;
        if (FAILED(link->GetIDList(&items)) || !items || !SHGetPathFromIDListW(items, target))
            link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
        CoTaskMemFree(items);
        link->GetIconLocation(icon, MAX_PATH, &index);
        found.emplace(target, index == 0 ? icon : L"wrong icon index");
    }
    if (file)
        file->Release();
    if (link)
        link->Release();
    return found;
}

std::wstring knownFolder(const KNOWNFOLDERID &id) {
    wchar_t *path = nullptr;
    SHGetKnownFolderPath(id, 0, nullptr, &path);
    std::wstring folder = path ? path : L"";
    CoTaskMemFree(path);
    return folder;
}

} // namespace

WIN_TEST(runValueIsWrittenAndRemovedInTheRegistry) {
    auto backend = wintest::backend();
    const std::string name = "VemoBootTest" + std::to_string(GetCurrentProcessId());
    // Shell metacharacters in the folder are data, never commands.
    auto added = backend->addBootStart(name, "C:\\Tools & \"more\"^x\\" + name + ".exe");
    CHECK(added.ok, added.error);
    // Wine runs everything as administrator, so the machine-wide key takes it.
    CHECK(readRunValue(HKEY_LOCAL_MACHINE, name) == L"\"C:\\Tools & \"more\"^x\\" + widen(name) + L"\"");
    CHECK(!readRunValue(HKEY_CURRENT_USER, name));

    // Forward slashes (as Qt writes paths) become backslashes; Chinese survives.
    const std::string chinese = name + "文本收集器";
    CHECK(backend->addBootStart(chinese, "D:/软件/Vemo/" + chinese + ".exe").ok);
    CHECK(readRunValue(HKEY_LOCAL_MACHINE, chinese) == L"\"D:\\软件\\Vemo\\" + widen(chinese) + L"\"");

    CHECK(backend->removeBootStart(name).ok && backend->removeBootStart(chinese).ok);
    CHECK(!readRunValue(HKEY_LOCAL_MACHINE, name) && !readRunValue(HKEY_LOCAL_MACHINE, chinese));
    auto again = backend->removeBootStart(name); // nothing there any more: no error
    CHECK(again.ok, again.error);
    // A path without a folder or a missing name writes nothing.
    CHECK(!backend->addBootStart(name, "abc.exe").ok && !backend->addBootStart("", "C:\\Tools\\abc.exe").ok);
    CHECK(!readRunValue(HKEY_LOCAL_MACHINE, name) && !readRunValue(HKEY_LOCAL_MACHINE, ""));
}

WIN_TEST(userWithoutAdministratorRightsGetsTheUserRunKey) {
    auto fake = std::make_unique<FakeRunKeys>();
    auto &machine = fake->values[RunScope::Machine], &user = fake->values[RunScope::User];
    auto &denied = fake->denied;
    auto backend = createWin32(std::move(fake));
    // With the rights, the machine-wide key alone.
    CHECK(backend->addBootStart("abc", "C:\\Tools\\abc.exe").ok);
    CHECK(machine[L"abc"] == L"\"C:\\Tools\\abc\"" && user.empty());
    CHECK(backend->removeBootStart("abc").ok && machine.empty());

    denied[RunScope::Machine] = true;
    auto added = backend->addBootStart("abc", "C:\\Tools\\abc.exe");
    CHECK(added.ok, added.error);
    CHECK(user[L"abc"] == L"\"C:\\Tools\\abc\"" && machine.empty());
    auto removed = backend->removeBootStart("abc");
    CHECK(removed.ok && user.empty(), removed.error);

    // A machine-wide value this user may not delete is reported, and the
    // user's own value goes all the same.
    machine[L"abc"] = user[L"abc"] = L"\"C:\\Tools\\abc\"";
    auto refused = backend->removeBootStart("abc");
    CHECK(!refused.ok && refused.error == systemMessage(ERROR_ACCESS_DENIED) && user.empty());
    // No key may be written at all: a failure, with the system's words.
    denied[RunScope::User] = true;
    auto failed = backend->addBootStart("xyz", "C:\\Tools\\xyz.exe");
    CHECK(!failed.ok && failed.error == systemMessage(ERROR_ACCESS_DENIED));
}

WIN_TEST(shortcutsOnDesktopAndInProgramsReadBack) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    auto backend = wintest::backend();
    const std::string name = "Vemo文本收集器测试" + std::to_string(GetCurrentProcessId());
    // A real program in a Chinese folder, given with Qt's slashes.
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = temp + widen(name);
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring program = folder + L"\\vemo.exe";
    CloseHandle(CreateFileW(program.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    std::string slashed = narrow(folder);
    std::replace(slashed.begin(), slashed.end(), '\\', '/');

    auto made = backend->makeShortcut(name, slashed + "/vemo.exe", slashed + "/Vemo文本收集器.ico");
    CHECK(made.ok, made.error);
    for (const KNOWNFOLDERID *place : {&FOLDERID_Desktop, &FOLDERID_Programs}) {
        const std::wstring path = knownFolder(*place) + L"\\" + widen(name) + L".lnk";
        const auto link = readLink(path);
        REQUIRE(link);
        CHECK(lstrcmpiW(link->first.c_str(), program.c_str()) == 0, narrow(link->first));
        CHECK(link->second == folder + L"\\Vemo文本收集器.ico", narrow(link->second));
        DeleteFileW(path.c_str());
    }
    DeleteFileW(program.c_str());
    RemoveDirectoryW(folder.c_str());

    // A name that would leave the folder is refused before anything is written.
    auto escaped = backend->makeShortcut("..\\" + name, "C:\\Tools\\vemo.exe", "C:\\Tools\\v.ico");
    CHECK(!escaped.ok && !escaped.error.empty());
    CHECK(GetFileAttributesW((knownFolder(FOLDERID_Desktop) + L"\\..\\" + widen(name) + L".lnk").c_str()) ==
          INVALID_FILE_ATTRIBUTES);
    CHECK(!backend->makeShortcut("", "C:\\Tools\\vemo.exe", "C:\\Tools\\v.ico").ok);
    CoUninitialize();
}

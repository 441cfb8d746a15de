// Start with the system and the shell links, read back through the registry
// and shell APIs; a fake registry plays the user without administrator rights.
#include "WinTest.h"

#include "platform.h"
#include "win/WinPlatform.h"

#include <map>
#include <objbase.h>
#include <optional>
#include <shlobj.h>
#include <shobjidl.h>
#include <string>

using platform::win::RunKeyWriter;
using platform::win::RunScope;

namespace {

const wchar_t *const RunKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// The value's data, or nothing when it is not there.
std::optional<std::wstring> readRunValue(HKEY root, const std::wstring &name) {
    wchar_t data[1024];
    DWORD size = sizeof(data);
    if (RegGetValueW(root, RunKey, name.c_str(), RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(data);
}

std::string uniqueName(const char *stem) {
    return stem + std::to_string(GetCurrentProcessId());
}

class FakeRunKeys final : public RunKeyWriter {
  public:
    long write(RunScope scope, const std::wstring &name, const std::wstring &data) override {
        if (denied.count(scope))
            return ERROR_ACCESS_DENIED;
        values[scope][name] = data;
        return ERROR_SUCCESS;
    }
    long remove(RunScope scope, const std::wstring &name) override {
        if (!values[scope].count(name))
            return ERROR_FILE_NOT_FOUND;
        if (denied.count(scope))
            return ERROR_ACCESS_DENIED;
        values[scope].erase(name);
        return ERROR_SUCCESS;
    }
    std::map<RunScope, std::map<std::wstring, std::wstring>> values;
    std::map<RunScope, bool> denied;
};

struct LinkInfo {
    std::wstring target;
    std::wstring icon;
    int iconIndex = -1;
};

std::optional<LinkInfo> readLink(const std::wstring &path) {
    IShellLinkW *link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void **>(&link))))
        return std::nullopt;
    IPersistFile *file = nullptr;
    std::optional<LinkInfo> info;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file))) &&
        SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
        wchar_t target[MAX_PATH] = {};
        wchar_t icon[MAX_PATH] = {};
        int index = -1;
        // The item list holds the target in Unicode; the plain path may have
        // gone through the ANSI code page (Wine reads it back that way).
        PIDLIST_ABSOLUTE items = nullptr;
        if (FAILED(link->GetIDList(&items)) || !items || !SHGetPathFromIDListW(items, target))
            link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
        CoTaskMemFree(items);
        link->GetIconLocation(icon, MAX_PATH, &index);
        info = LinkInfo{target, icon, index};
    }
    if (file)
        file->Release();
    link->Release();
    return info;
}

std::wstring knownFolder(const KNOWNFOLDERID &id) {
    wchar_t *path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)))
        folder = path;
    CoTaskMemFree(path);
    return folder;
}

bool fileExists(const std::wstring &path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

WIN_TEST(textConversionAndSystemMessages) {
    using namespace platform::win;
    const std::string chinese = "Vemo文本收集器 – 𠀀";
    CHECK(widen(chinese) == L"Vemo文本收集器 – \U00020000");
    CHECK(narrow(widen(chinese)) == chinese);
    CHECK(widen("").empty() && narrow(L"").empty());

    const std::string denied = systemMessage(ERROR_ACCESS_DENIED);
    CHECK_NOTE(!denied.empty() && denied.back() != '\n' && denied.back() != '\r', denied);
    CHECK(systemMessage(static_cast<unsigned long>(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED))) == denied);
    CHECK(!systemMessage(0x2badbeefu).empty()); // a code without a description still says something
}

WIN_TEST(runValueIsWrittenAndRemovedInTheRegistry) {
    auto backend = platform::win::createWin32(platform::win::createRegistryRunKeyWriter());
    const std::string name = uniqueName("VemoBootTest");
    const std::wstring wname = platform::win::widen(name);

    // Shell metacharacters in the folder are data, never commands.
    auto added = backend->addBootStart(name, "C:\\Tools & \"more\"^x\\" + name + ".exe");
    CHECK_NOTE(added.ok, added.error);
    auto machine = readRunValue(HKEY_LOCAL_MACHINE, wname);
    auto user = readRunValue(HKEY_CURRENT_USER, wname);
    // Wine runs everything as administrator, so the machine-wide key takes it.
    REQUIRE(machine.has_value());
    CHECK(!user.has_value());
    CHECK(*machine == L"\"C:\\Tools & \"more\"^x\\" + wname + L"\"");

    // Forward slashes (as Qt writes paths) become backslashes; Chinese survives.
    const std::string chineseName = name + "文本收集器";
    CHECK(backend->addBootStart(chineseName, "D:/软件/Vemo/" + chineseName + ".exe").ok);
    CHECK(readRunValue(HKEY_LOCAL_MACHINE, platform::win::widen(chineseName)) ==
          L"\"D:\\软件\\Vemo\\" + platform::win::widen(chineseName) + L"\"");

    CHECK(backend->removeBootStart(name).ok);
    CHECK(backend->removeBootStart(chineseName).ok);
    CHECK(!readRunValue(HKEY_LOCAL_MACHINE, wname).has_value());
    CHECK(!readRunValue(HKEY_LOCAL_MACHINE, platform::win::widen(chineseName)).has_value());
    // Nothing there any more: removing again is no error.
    auto again = backend->removeBootStart(name);
    CHECK_NOTE(again.ok, again.error);

    // A path without a folder or a missing name writes nothing.
    CHECK(!backend->addBootStart(name, "abc.exe").ok);
    CHECK(!backend->addBootStart("", "C:\\Tools\\abc.exe").ok);
    CHECK(!readRunValue(HKEY_LOCAL_MACHINE, wname).has_value());
    CHECK(!readRunValue(HKEY_LOCAL_MACHINE, L"").has_value());
}

WIN_TEST(userWithoutAdministratorRightsGetsTheUserRunKey) {
    auto fake = std::make_unique<FakeRunKeys>();
    FakeRunKeys &keys = *fake;
    auto backend = platform::win::createWin32(std::move(fake));

    // With the rights, the machine-wide key alone.
    CHECK(backend->addBootStart("abc", "C:\\Tools\\abc.exe").ok);
    CHECK(keys.values[RunScope::Machine][L"abc"] == L"\"C:\\Tools\\abc\"");
    CHECK(keys.values[RunScope::User].empty());
    CHECK(backend->removeBootStart("abc").ok);
    CHECK(keys.values[RunScope::Machine].empty());

    keys.denied[RunScope::Machine] = true;
    auto added = backend->addBootStart("abc", "C:\\Tools\\abc.exe");
    CHECK_NOTE(added.ok, added.error);
    CHECK(keys.values[RunScope::User][L"abc"] == L"\"C:\\Tools\\abc\"");
    CHECK(keys.values[RunScope::Machine].empty());
    auto removed = backend->removeBootStart("abc");
    CHECK_NOTE(removed.ok, removed.error);
    CHECK(keys.values[RunScope::User].empty());

    // A machine-wide value this user may not delete is reported, and the
    // user's own value goes all the same.
    keys.values[RunScope::Machine][L"abc"] = L"\"C:\\Tools\\abc\"";
    keys.values[RunScope::User][L"abc"] = L"\"C:\\Tools\\abc\"";
    auto refused = backend->removeBootStart("abc");
    CHECK(!refused.ok);
    CHECK(refused.error == platform::win::systemMessage(ERROR_ACCESS_DENIED));
    CHECK(keys.values[RunScope::User].empty());

    // No key may be written at all: a failure, with the system's words.
    keys.denied[RunScope::User] = true;
    auto failed = backend->addBootStart("xyz", "C:\\Tools\\xyz.exe");
    CHECK(!failed.ok);
    CHECK(failed.error == platform::win::systemMessage(ERROR_ACCESS_DENIED));
}

WIN_TEST(shortcutsOnDesktopAndInProgramsReadBack) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    auto backend = platform::win::createWin32(platform::win::createRegistryRunKeyWriter());
    const std::string name = uniqueName("Vemo文本收集器测试");
    const std::wstring file = L"\\" + platform::win::widen(name) + L".lnk";
    const std::wstring desktop = knownFolder(FOLDERID_Desktop) + file;
    const std::wstring programs = knownFolder(FOLDERID_Programs) + file;

    auto made = backend->makeShortcut(name, "C:\\Tools\\vemo.exe", "C:\\Tools\\Vemo文本收集器.ico");
    CHECK_NOTE(made.ok, made.error);
    for (const auto &path : {desktop, programs}) {
        auto link = readLink(path);
        REQUIRE(link.has_value());
        CHECK_NOTE(link->target == L"C:\\Tools\\vemo.exe", platform::win::narrow(link->target));
        CHECK_NOTE(link->icon == L"C:\\Tools\\Vemo文本收集器.ico", platform::win::narrow(link->icon));
        CHECK(link->iconIndex == 0);
    }

    // Made again for the program in its new folder: the same two files, now
    // pointing there (a real file in a Chinese folder, given with Qt's slashes).
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = temp + platform::win::widen(uniqueName("新文件夹"));
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring program = folder + L"\\vemo.exe";
    CloseHandle(CreateFileW(program.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    std::string slashed = platform::win::narrow(folder);
    for (auto &c : slashed)
        if (c == '\\')
            c = '/';
    CHECK(backend->makeShortcut(name, slashed + "/vemo.exe", slashed + "/Vemo文本收集器.ico").ok);
    for (const auto &path : {desktop, programs}) {
        auto link = readLink(path);
        REQUIRE(link.has_value());
        CHECK_NOTE(lstrcmpiW(link->target.c_str(), program.c_str()) == 0,
                   platform::win::narrow(link->target));
        CHECK(link->icon == folder + L"\\Vemo文本收集器.ico");
    }
    DeleteFileW(program.c_str());
    RemoveDirectoryW(folder.c_str());
    DeleteFileW(desktop.c_str());
    DeleteFileW(programs.c_str());

    // A name that would leave the folder is refused before anything is written.
    auto escaped = backend->makeShortcut("..\\" + name, "C:\\Tools\\vemo.exe", "C:\\Tools\\v.ico");
    CHECK(!escaped.ok);
    CHECK(!escaped.error.empty());
    CHECK(!fileExists(knownFolder(FOLDERID_Desktop) + L"\\..\\" + platform::win::widen(name) + L".lnk"));
    CHECK(!backend->makeShortcut("", "C:\\Tools\\vemo.exe", "C:\\Tools\\v.ico").ok);
    CoUninitialize();
}

// Start with the system (a value in a Run key) and the two shell links.
#include "win/WinPlatform.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace platform::win {
namespace {

constexpr const wchar_t *RunKeyPath = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

HKEY rootOf(RunScope scope) {
    return scope == RunScope::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

class RegistryRunKeyWriter final : public RunKeyWriter {
  public:
    long write(RunScope scope, const std::wstring &name, const std::wstring &data) override {
        HKEY key = nullptr;
        LSTATUS rc = RegCreateKeyExW(rootOf(scope), RunKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE, nullptr, &key, nullptr);
        if (rc != ERROR_SUCCESS)
            return rc;
        rc = RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(data.c_str()),
                            static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
        return rc;
    }

    long remove(RunScope scope, const std::wstring &name) override {
        HKEY key = nullptr;
        LSTATUS rc = RegOpenKeyExW(rootOf(scope), RunKeyPath, 0, KEY_SET_VALUE | KEY_QUERY_VALUE, &key);
        if (rc == ERROR_ACCESS_DENIED) {
            // Without the right to change the key, a value that is not there
            // is still "nothing to remove", not a failure.
            if (RegOpenKeyExW(rootOf(scope), RunKeyPath, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
                const LSTATUS query = RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, nullptr);
                RegCloseKey(key);
                if (query == ERROR_FILE_NOT_FOUND)
                    return ERROR_FILE_NOT_FOUND;
            }
            return ERROR_ACCESS_DENIED;
        }
        if (rc != ERROR_SUCCESS)
            return rc;
        rc = RegDeleteValueW(key, name.c_str());
        RegCloseKey(key);
        return rc;
    }
};

std::wstring nativeSeparators(std::wstring path) {
    for (auto &c : path)
        if (c == L'/')
            c = L'\\';
    return path;
}

// Balanced COM set-up for one call; a thread that already runs COM in the
// other model (Qt's user-interface thread does) is used as it is.
class ComScope {
  public:
    ComScope() : m_hr(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComScope() {
        if (SUCCEEDED(m_hr))
            CoUninitialize();
    }
    bool usable() const { return SUCCEEDED(m_hr) || m_hr == RPC_E_CHANGED_MODE; }
    HRESULT result() const { return m_hr; }

  private:
    HRESULT m_hr;
};

template <class T> class ComPtr {
  public:
    ~ComPtr() {
        if (p)
            p->Release();
    }
    T *p = nullptr;
};

HRESULT saveLink(const std::wstring &linkPath, const std::wstring &target, const std::wstring &icon) {
    ComPtr<IShellLinkW> link;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void **>(&link.p));
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = link.p->SetPath(target.c_str())))
        return hr;
    if (FAILED(hr = link.p->SetIconLocation(icon.c_str(), 0)))
        return hr;
    ComPtr<IPersistFile> file;
    if (FAILED(hr = link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file.p))))
        return hr;
    return file.p->Save(linkPath.c_str(), TRUE);
}

bool validFileName(const std::wstring &name) {
    if (name.empty() || name == L"." || name == L"..")
        return false;
    for (wchar_t c : name)
        if (c < 32 || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos)
            return false;
    return true;
}

} // namespace

std::unique_ptr<RunKeyWriter> createRegistryRunKeyWriter() {
    return std::make_unique<RegistryRunKeyWriter>();
}

std::wstring runCommand(const std::string &programName, const std::string &programPath) {
    const std::wstring path = nativeSeparators(widen(programPath));
    const auto slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash == 0)
        return {};
    // No extension: Windows completes it when it starts the entry.
    return L"\"" + path.substr(0, slash) + L"\\" + widen(programName) + L"\"";
}

Result addRunEntry(RunKeyWriter &writer, const std::string &programName, const std::string &programPath) {
    if (programName.empty())
        return {false, "开机启动项缺少程序名称"};
    const std::wstring data = runCommand(programName, programPath);
    if (data.empty())
        return {false, "不是完整的程序路径：" + programPath};
    const std::wstring name = widen(programName);
    long rc = writer.write(RunScope::Machine, name, data);
    // A user without administrator rights gets the entry in their own Run key.
    if (rc == ERROR_ACCESS_DENIED)
        rc = writer.write(RunScope::User, name, data);
    if (rc != ERROR_SUCCESS)
        return {false, systemMessage(static_cast<unsigned long>(rc))};
    return {true, {}};
}

Result removeRunEntry(RunKeyWriter &writer, const std::string &programName) {
    if (programName.empty())
        return {false, "开机启动项缺少程序名称"};
    const std::wstring name = widen(programName);
    Result result{true, {}};
    for (RunScope scope : {RunScope::Machine, RunScope::User}) {
        const long rc = writer.remove(scope, name);
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND && result.ok)
            result = {false, systemMessage(static_cast<unsigned long>(rc))};
    }
    return result;
}

Result createShortcuts(const std::string &displayName, const std::string &targetPath,
                       const std::string &iconPath) {
    const std::wstring name = widen(displayName);
    if (!validFileName(name))
        return {false, "快捷方式名称无效：" + displayName};
    ComScope com;
    if (!com.usable())
        return {false, systemMessage(static_cast<unsigned long>(com.result()))};

    const std::wstring target = nativeSeparators(widen(targetPath));
    const std::wstring icon = nativeSeparators(widen(iconPath));
    Result result{true, {}};
    // A failure in one folder does not keep the other shortcut from being made.
    for (const KNOWNFOLDERID *folder : {&FOLDERID_Desktop, &FOLDERID_Programs}) {
        wchar_t *folderPath = nullptr;
        HRESULT hr = SHGetKnownFolderPath(*folder, KF_FLAG_CREATE, nullptr, &folderPath);
        std::wstring linkPath;
        if (SUCCEEDED(hr)) {
            linkPath = std::wstring(folderPath) + L"\\" + name + L".lnk";
            hr = saveLink(linkPath, target, icon);
        }
        CoTaskMemFree(folderPath);
        if (FAILED(hr) && result.ok) {
            const std::string where = linkPath.empty() ? std::string("系统文件夹") : narrow(linkPath);
            result = {false, where + ": " + systemMessage(static_cast<unsigned long>(hr))};
        }
    }
    return result;
}

} // namespace platform::win

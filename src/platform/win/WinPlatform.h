// The Win32 backend: its pieces that tests reach directly. windows.h stays in
// the .cpp files; this header uses the standard library alone.
#pragma once

#include "platform.h"

#include <memory>
#include <string>
#include <string_view>

namespace platform::win {

// UTF-8 at the interface, UTF-16 at the Win32 calls.
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);
// The system's own description of a Win32 error or HRESULT, in UTF-8, without
// the trailing line break; "系统错误 <n>" when the system has none.
std::string systemMessage(unsigned long code);

// The two Run keys a start-up entry can live in: the machine-wide one, and
// the current user's for a user without administrator rights.
enum class RunScope { Machine, User };

// Writes and deletes values of a Run key and answers with a Win32 error code
// (0 on success). The registry stands behind it; tests put a fake in its place
// to play a user without administrator rights.
class RunKeyWriter {
  public:
    virtual ~RunKeyWriter() = default;
    virtual long write(RunScope scope, const std::wstring &name, const std::wstring &data) = 0;
    // ERROR_FILE_NOT_FOUND (2) when the value is not there.
    virtual long remove(RunScope scope, const std::wstring &name) = 0;
};
std::unique_ptr<RunKeyWriter> createRegistryRunKeyWriter();

// The Run value's data for a program: a double quote, the program's folder, a
// backslash, the program name, a double quote. Empty when the path names no
// folder.
std::wstring runCommand(const std::string &programName, const std::string &programPath);

Result addRunEntry(RunKeyWriter &writer, const std::string &programName, const std::string &programPath);
Result removeRunEntry(RunKeyWriter &writer, const std::string &programName);
// "<displayName>.lnk" on the desktop and in the Start menu's Programs folder.
Result createShortcuts(const std::string &displayName, const std::string &targetPath,
                       const std::string &iconPath);

std::unique_ptr<Platform> createWin32(std::unique_ptr<RunKeyWriter> runKeys);

} // namespace platform::win

#include "x11/XdgEntries.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform::xdg {
namespace {

std::string env(const char *name) {
    const char *value = std::getenv(name);
    return value ? value : "";
}

bool isAbsolute(const std::string &path) {
    return !path.empty() && path[0] == '/';
}

std::string home() {
    std::string dir = env("HOME");
    if (dir.empty())
        if (const passwd *entry = getpwuid(getuid()))
            dir = entry->pw_dir ? entry->pw_dir : "";
    return dir;
}

bool validUtf8(const std::string &text) {
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        int more = 0;
        unsigned min = 0, code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            more = 1, min = 0x80, code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            more = 2, min = 0x800, code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            more = 3, min = 0x10000, code = c & 0x07;
        } else {
            return false;
        }
        if (i + more >= text.size())
            return false;
        for (int k = 1; k <= more; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += more + 1;
    }
    return true;
}

bool hasControlCharacter(const std::string &text) {
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F)
            return true;
    return false;
}

// The general escaping of a string value in a desktop entry.
std::string escapeValue(const std::string &text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\')
            out += "\\\\";
        else if (c == ' ' && i == 0)
            out += "\\s";
        else
            out += c;
    }
    return out;
}

// Refuses what a desktop entry cannot hold; what names a file must also be
// one plain file name.
Result checkText(const std::string &text, const char *what, bool isFileName) {
    if (text.empty())
        return {false, std::string(what) + "为空"};
    if (!validUtf8(text))
        return {false, std::string(what) + "不是有效的 UTF-8 文本"};
    if (hasControlCharacter(text))
        return {false, std::string(what) + "含有换行或其他控制字符，无法写入启动项"};
    if (isFileName && (text.find('/') != std::string::npos || text == "." || text == ".."))
        return {false, std::string(what) + "“" + text + "”不能用作文件名"};
    return {true, {}};
}

std::string systemError() {
    return std::strerror(errno);
}

// Temp file beside the target, then rename: a reader sees the old entry or
// the new one, never half of one.
Result writeAtomically(const std::string &dir, const std::string &fileName, const std::string &content,
                       mode_t mode) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error)
        return {false, "无法创建文件夹 " + dir + "：" + error.message()};
    const std::string target = dir + "/" + fileName;
    std::string pattern = dir + "/." + fileName + ".XXXXXX";
    std::vector<char> temp(pattern.begin(), pattern.end());
    temp.push_back('\0');
    const int fd = mkstemp(temp.data());
    if (fd < 0)
        return {false, "无法写入文件 " + target + "：" + systemError()};
    size_t written = 0;
    bool ok = true;
    while (ok && written < content.size()) {
        const ssize_t n = write(fd, content.data() + written, content.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            written += static_cast<size_t>(n);
    }
    ok = ok && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    std::string reason = ok ? "" : systemError();
    if (close(fd) != 0 && ok) {
        ok = false;
        reason = systemError();
    }
    if (ok && rename(temp.data(), target.c_str()) != 0) {
        ok = false;
        reason = systemError();
    }
    if (!ok) {
        unlink(temp.data());
        return {false, "无法写入文件 " + target + "：" + reason};
    }
    return {true, {}};
}

std::string entryText(const std::string &name, const std::string &programPath, const std::string &iconPath,
                      bool launcher) {
    std::string text = "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Version=1.0\n";
    text += "Name=" + escapeValue(name) + "\n";
    text += "Exec=" + execValue(programPath) + "\n";
    if (!iconPath.empty())
        text += "Icon=" + escapeValue(iconPath) + "\n";
    text += "Terminal=false\n";
    if (launcher)
        text += "Categories=Utility;\n";
    return text;
}

std::string autostartDir() {
    return configHome() + "/autostart";
}

// The value of XDG_DESKTOP_DIR in user-dirs.dirs: "$HOME/yyy" or "/yyy",
// shell-escaped inside the double quotes.
std::string desktopDirFromUserDirs() {
    std::ifstream file(configHome() + "/user-dirs.dirs");
    std::string line;
    const std::string key = "XDG_DESKTOP_DIR=";
    std::string result;
    while (std::getline(file, line)) {
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, key.size(), key) != 0)
            continue;
        size_t i = start + key.size();
        if (i >= line.size() || line[i] != '"')
            continue;
        std::string value;
        bool closed = false;
        for (++i; i < line.size(); ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                value += line[++i];
            } else if (line[i] == '"') {
                closed = true;
                break;
            } else {
                value += line[i];
            }
        }
        if (!closed)
            continue;
        const std::string homeVar = "$HOME";
        if (value.compare(0, homeVar.size(), homeVar) == 0 &&
            (value.size() == homeVar.size() || value[homeVar.size()] == '/'))
            result = home() + value.substr(homeVar.size());
        else if (isAbsolute(value))
            result = value;
    }
    return result;
}

} // namespace

std::string configHome() {
    const std::string dir = env("XDG_CONFIG_HOME");
    return isAbsolute(dir) ? dir : home() + "/.config";
}

std::string dataHome() {
    const std::string dir = env("XDG_DATA_HOME");
    return isAbsolute(dir) ? dir : home() + "/.local/share";
}

std::string desktopDir() {
    std::string dir = env("XDG_DESKTOP_DIR");
    if (isAbsolute(dir))
        return dir;
    dir = desktopDirFromUserDirs();
    return dir.empty() ? home() + "/Desktop" : dir;
}

std::string execValue(const std::string &path) {
    if (path.empty() || !validUtf8(path) || hasControlCharacter(path))
        return {};
    // Quoting rules of the Exec key: inside double quotes, " ` $ \ take a
    // backslash; % is doubled so it is no field code. The general string
    // escaping of the file then doubles every backslash.
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        if (c == '%')
            quoted += '%';
        quoted += c;
    }
    quoted += '"';
    return escapeValue(quoted);
}

Result addAutostart(const std::string &programName, const std::string &programPath) {
    Result check = checkText(programName, "程序名", true);
    if (check.ok)
        check = checkText(programPath, "程序路径", false);
    if (!check.ok)
        return check;
    return writeAtomically(autostartDir(), programName + ".desktop",
                           entryText(programName, programPath, "", false), 0644);
}

Result removeAutostart(const std::string &programName) {
    Result check = checkText(programName, "程序名", true);
    if (!check.ok)
        return check;
    const std::string path = autostartDir() + "/" + programName + ".desktop";
    if (unlink(path.c_str()) != 0 && errno != ENOENT)
        return {false, "无法删除文件 " + path + "：" + systemError()};
    return {true, {}};
}

Result makeLaunchers(const std::string &displayName, const std::string &targetPath,
                     const std::string &iconPath) {
    Result check = checkText(displayName, "快捷方式名称", true);
    if (check.ok)
        check = checkText(targetPath, "程序路径", false);
    if (check.ok && !iconPath.empty())
        check = checkText(iconPath, "图标路径", false);
    if (!check.ok)
        return check;
    const std::string text = entryText(displayName, targetPath, iconPath, true);
    const std::string fileName = displayName + ".desktop";
    // Both places are tried; one failing does not keep the other from being written.
    Result desktop = writeAtomically(desktopDir(), fileName, text, 0755);
    Result menu = writeAtomically(dataHome() + "/applications", fileName, text, 0755);
    if (desktop.ok && menu.ok)
        return {true, {}};
    std::string error = desktop.error;
    if (!menu.ok)
        error += (error.empty() ? "" : "\n") + menu.error;
    return {false, error};
}

} // namespace platform::xdg

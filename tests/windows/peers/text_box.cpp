// The other Windows program of the end-to-end tests.
//
//   vemo_text_box box <file>    a window with a multi-line text box that takes
//                               the keyboard when activated; after every change
//                               its whole text goes to <file> in UTF-8
//   vemo_text_box clip <file>   puts the UTF-8 text of <file> on the clipboard
//
// The window ends when closed, or after five minutes should a test forget it.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string utf8(const std::wstring &text) {
    if (text.empty())
        return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring wide(const std::string &text) {
    if (text.empty())
        return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring out(size_t(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), out.data(), size);
    return out;
}

// Written under another name and renamed, so a reader never sees half a text.
void writeFile(const std::wstring &path, const std::string &bytes) {
    const std::wstring partial = path + L".part";
    FILE *file = _wfopen(partial.c_str(), L"wb");
    if (!file)
        return;
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
    MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::wstring outputPath;
HWND edit = nullptr;

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                               WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_WANTRETURN |
                                   ES_AUTOVSCROLL,
                               0, 0, 0, 0, hwnd, nullptr, GetModuleHandleW(nullptr), nullptr);
        SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
        return edit ? 0 : -1;
    case WM_SIZE:
        MoveWindow(edit, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_SETFOCUS:
        SetFocus(edit);
        return 0;
    case WM_COMMAND:
        if (HWND(lParam) == edit && HIWORD(wParam) == EN_CHANGE) {
            const int length = GetWindowTextLengthW(edit);
            std::wstring text(size_t(length) + 1, L'\0');
            text.resize(size_t(GetWindowTextW(edit, text.data(), length + 1)));
            writeFile(outputPath, utf8(text));
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

int textBox() {
    writeFile(outputPath, {});
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = HBRUSH(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"VemoTestTextBox";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, L"VemoTestTextBox", L"vemo-text-box", WS_OVERLAPPEDWINDOW, 300, 200, 600,
                                  400, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window)
        return 1;
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    SetTimer(nullptr, 0, 5 * 60 * 1000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0 && !(msg.message == WM_TIMER && !msg.hwnd)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

int putOnClipboard(const std::wstring &path) {
    FILE *file = _wfopen(path.c_str(), L"rb");
    if (!file)
        return 1;
    std::string bytes;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.append(buffer, n);
    fclose(file);
    const std::wstring text = wide(bytes);
    for (int attempt = 0; !OpenClipboard(nullptr); ++attempt) {
        if (attempt == 50)
            return 1;
        Sleep(100);
    }
    EmptyClipboard();
    const size_t size = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    memcpy(GlobalLock(memory), text.c_str(), size);
    GlobalUnlock(memory);
    const bool ok = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    return ok ? 0 : 1;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc != 3)
        return 2;
    outputPath = argv[2];
    if (std::wstring(argv[1]) == L"box")
        return textBox();
    if (std::wstring(argv[1]) == L"clip")
        return putOnClipboard(argv[2]);
    return 2;
}

// A stand-in for "another program": a top-level window with an edit control
// that takes the keyboard focus whenever the window is activated.
// Usage: win_paste_target <window title>
#include <windows.h>

#include <shellapi.h>

static HWND g_edit = nullptr;

static LRESULT CALLBACK targetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE)
        g_edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10,
                                 10, 360, 24, hwnd, nullptr, GetModuleHandleW(nullptr), nullptr);
    else if (message == WM_SETFOCUS)
        SetFocus(g_edit);
    else if (message == WM_TIMER) // never outlive a test that forgot us
        DestroyWindow(hwnd);
    else if (message == WM_DESTROY)
        PostQuitMessage(0);
    else
        return DefWindowProcW(hwnd, message, wParam, lParam);
    return 0;
}

int main() {
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = targetProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VemoPasteTarget";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, L"VemoPasteTarget", argc > 1 ? argv[1] : L"vemo paste target",
                                  WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 300, 400, 120, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    if (!window)
        return 1;
    SetTimer(window, 1, 60000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

// A stand-in for "another program": a top-level window with an edit control
// that takes the keyboard focus whenever the window is activated.
// Usage: win_paste_target <window title>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <shellapi.h>

namespace {

HWND g_edit = nullptr;

LRESULT CALLBACK targetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        g_edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10,
                                 10, 360, 24, hwnd, nullptr, GetModuleHandleW(nullptr), nullptr);
        return 0;
    case WM_SETFOCUS:
        SetFocus(g_edit);
        return 0;
    case WM_TIMER: // never outlive a test that forgot us
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace

int main() {
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const wchar_t *title = argc > 1 ? argv[1] : L"vemo paste target";

    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = targetProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"VemoPasteTarget";
    RegisterClassExW(&windowClass);
    HWND window = CreateWindowExW(0, L"VemoPasteTarget", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 300,
                                  400, 120, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    SetTimer(window, 1, 60000, nullptr);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    LocalFree(argv);
    return 0;
}

// "Another program" for the paste test: a top-level edit window, which takes
// the keyboard whenever it is activated. It ends when closed, or after a
// minute should a test forget it.
#include <windows.h>

int main() {
    HWND window = CreateWindowExW(0, L"EDIT", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE | ES_AUTOHSCROLL, 400,
                                  300, 400, 120, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetTimer(nullptr, 0, 60000, nullptr);
    MSG msg;
    while (IsWindow(window) && GetMessageW(&msg, nullptr, 0, 0) > 0 &&
           !(msg.message == WM_TIMER && !msg.hwnd)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return window ? 0 : 1;
}

#pragma once
// Real input for driving windows of this process under Wine: keys, typed Unicode text and
// mouse clicks go through SendInput, so they take the path a user's would.
#include <windows.h>

#include <string>

namespace UiInput {

inline void Key(WORD vk, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof input);
}

inline void Press(WORD vk)
{
    Key(vk, false);
    Key(vk, true);
}

// Characters as an input method would deliver them.
inline void Type(const std::wstring& text)
{
    for (wchar_t c : text) {
        INPUT input[2] = {};
        for (int i = 0; i < 2; ++i) {
            input[i].type = INPUT_KEYBOARD;
            input[i].ki.wScan = c;
            input[i].ki.dwFlags = KEYEVENTF_UNICODE | (i ? KEYEVENTF_KEYUP : 0);
        }
        SendInput(2, input, sizeof input[0]);
    }
}

inline void AltF4()
{
    Key(VK_MENU, false);
    Press(VK_F4);
    Key(VK_MENU, true);
}

inline void MoveTo(HWND window)
{
    RECT area;
    GetWindowRect(window, &area);
    SetCursorPos((area.left + area.right) / 2, (area.top + area.bottom) / 2);
}

inline void Click(HWND window)
{
    MoveTo(window);
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, input, sizeof input[0]);
}

inline BOOL CALLBACK NoteDialog(HWND window, LPARAM context)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (std::wstring(name) != L"KorFactWindow")
        return TRUE;
    *reinterpret_cast<HWND*>(context) = window;
    return FALSE;
}

// The library's top-level window in this process.
inline HWND FindDialog()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), NoteDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

struct ControlSearch {
    int id;
    HWND found;
};

inline BOOL CALLBACK NoteControl(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<ControlSearch*>(context);
    if (GetDlgCtrlID(window) != search->id)
        return TRUE;
    search->found = window;
    return FALSE;
}

// A control (or panel) of the dialog by its layout id, at any depth.
inline HWND FindControl(HWND dialog, int id)
{
    ControlSearch search{id, nullptr};
    EnumChildWindows(dialog, NoteControl, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace UiInput

#pragma once
// Drives the program's dialog from another process inside Wine, as a user would: finds each
// control by the window id its layout gives it, reads and types texts, clicks, presses keys and
// captures the screen (tools/win/screen_capture.hpp). Shared by the end-to-end tests and the
// scripted run of scripts/run.
#include "tools/win/process_windows.hpp"
#include "tools/win/screen_capture.hpp"
#include "tools/win/ui_input.hpp"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <vector>

// Control name -> window id, read from a layout file's name="..." id="..." attributes.
inline std::map<std::string, int> LayoutControlIds(const std::string& layoutPath)
{
    std::ifstream file(layoutPath, std::ios::binary);
    const std::string text(std::istreambuf_iterator<char>(file), {});
    std::map<std::string, int> ids;
    static const std::regex control("name=\"([^\"]+)\"\\s+id=\"(\\d+)\"");
    for (std::sregex_iterator it(text.begin(), text.end(), control), end; it != end; ++it)
        ids[(*it)[1]] = std::stoi((*it)[2]);
    return ids;
}

// The window with this id among the process's top-level windows and their descendants.
inline HWND FindControl(DWORD pid, int id, bool visibleOnly = true)
{
    for (HWND top : WindowsOf(pid, false)) {
        HWND found = GetDlgCtrlID(top) == id ? top : UiInput::FindControl(top, id);
        if (found && (!visibleOnly || IsWindowVisible(found)))
            return found;
    }
    return nullptr;
}

inline BOOL CALLBACK CollectVisibleChild(HWND child, LPARAM list)
{
    if (IsWindowVisible(child))
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
}

// The window's visible descendants, in creation order.
inline std::vector<HWND> VisibleChildren(HWND window)
{
    std::vector<HWND> children;
    EnumChildWindows(window, CollectVisibleChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

// Polls until the condition holds; false when it still does not after the time.
inline bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start >= milliseconds)
            return false;
        Sleep(30);
    }
    return true;
}

// The window text as the control answers WM_GETTEXT.
inline std::string ControlText(HWND control)
{
    char text[4096] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    return text;
}

// A left click in the middle of the control, as the mouse would send it.
inline void Click(HWND control)
{
    RECT area{};
    GetClientRect(control, &area);
    const LPARAM at = MAKELPARAM(area.right / 2, area.bottom / 2);
    PostMessageA(control, WM_MOUSEMOVE, 0, at);
    PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(control, WM_LBUTTONUP, 0, at);
}

// One key pressed and released on the control, with the character it types, if any.
inline void PressKey(HWND control, WPARAM key, char typed = 0)
{
    const UINT scan = MapVirtualKeyA(static_cast<UINT>(key), 0);
    PostMessageA(control, WM_KEYDOWN, key, 1 | (scan << 16));
    if (typed)
        PostMessageA(control, WM_CHAR, static_cast<unsigned char>(typed), 1 | (scan << 16));
    PostMessageA(control, WM_KEYUP, key, 1 | (scan << 16) | 0xC0000000);
}

// Types text into the control byte by byte, as WM_CHAR messages of the ANSI code page; a lead
// byte and its trail byte arrive as two messages, as an ANSI window receives them.
inline void TypeText(HWND control, const std::string& text)
{
    for (unsigned char c : text)
        PostMessageA(control, WM_CHAR, c, 1);
}

// Replaces the control's text: a click puts the caret in, Ctrl+A style selection by message,
// then the new text is typed.
inline void ReplaceText(HWND control, const std::string& text)
{
    Click(control);
    PostMessageA(control, EM_SETSEL, 0, -1);
    PostMessageA(control, WM_CHAR, VK_BACK, 1);
    TypeText(control, text);
}

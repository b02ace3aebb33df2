#pragma once
// The top-level windows of another process and its message boxes: shared by the launcher and
// the end-to-end tests, which both run inside Wine.
#include <windows.h>

#include <string>
#include <vector>

struct WindowSearch {
    DWORD pid;
    bool visibleOnly;
    std::vector<HWND> found;
};

inline BOOL CALLBACK CollectWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->pid && (!search->visibleOnly || IsWindowVisible(window)))
        search->found.push_back(window);
    return TRUE;
}

// The process's top-level windows, or only its visible ones.
inline std::vector<HWND> WindowsOf(DWORD pid, bool visibleOnly)
{
    WindowSearch search{pid, visibleOnly, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

inline std::vector<HWND> VisibleWindowsOf(DWORD pid)
{
    return WindowsOf(pid, true);
}

inline std::string WindowText(HWND window)
{
    char text[8192] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

inline bool IsMessageBox(HWND window)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return std::string(name) == "#32770" && GetDlgItem(window, 0xFFFF);
}

// A message box shows its text in the static control with id 0xFFFF.
inline std::string MessageBoxText(HWND box)
{
    return WindowText(GetDlgItem(box, 0xFFFF));
}

// Presses the message box's OK button.
inline void CloseMessageBox(HWND box)
{
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

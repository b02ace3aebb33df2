// Plays one whole Start in the program's dialog, as a user would, for a display nobody watches:
// types the account number and the captcha read from the screen, presses Start, reads the result
// panel, opens the privacy panel, and closes the dialog. Prints each screen's texts and saves a
// screenshot (PNG) of each step into the given folder.
// Usage: play_start [--adapter-memory-mib N] PROGRAM LAYOUT ACCOUNT SHOTS_FOLDER [OPTIONS...]
// Message boxes the program shows before its dialog (show_info) are printed and answered.
// --adapter-memory-mib writes the adapter's full memory size where Windows 10 keeps it, once the
// dialog is up and before Start (Wine writes no such value and rebuilds that key when it starts).
#include "tools/win/dialog_driver.hpp"

#include <cstdio>
#include <string>

namespace {

constexpr DWORD kTimeout = 60000;

struct Player {
    PROCESS_INFORMATION program{};
    std::map<std::string, int> ids;
    std::string shots;
    int step = 0;

    HWND Find(const char* name) { return FindControl(program.dwProcessId, ids.at(name)); }
    HWND WaitFor(const char* name)
    {
        HWND found = nullptr;
        WaitUntil([&] { return (found = Find(name)) != nullptr; }, kTimeout);
        return found;
    }

    // Prints the texts of the window's visible controls, in creation order.
    void PrintTexts(const char* title, HWND window)
    {
        std::printf("== %s\n", title);
        std::printf("   [%s]\n", ControlText(window).c_str());
        for (HWND child : VisibleChildren(window)) {
            const std::string text = ControlText(child);
            if (!text.empty())
                std::printf("   %s\n", text.c_str());
        }
        std::fflush(stdout);
    }

    void Shot(HWND window, const char* name)
    {
        Sleep(400); // let the window paint
        const std::string path = shots + "\\" + std::to_string(++step) + "-" + name + ".png";
        ScreenCapture::SavePng(ScreenCapture::Capture(window), path);
    }
};

int Fail(const char* what)
{
    std::fprintf(stderr, "play_start: %s\n", what);
    return 1;
}

// HardwareInformation.qwMemorySize in every display adapter's driver key.
bool WriteAdapterMemory(unsigned long long mebibytes)
{
    const char kDisplayClass[] =
        "SYSTEM\\CurrentControlSet\\Control\\Class\\{4d36e968-e325-11ce-bfc1-08002be10318}";
    HKEY displayClass = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDisplayClass, 0, KEY_READ, &displayClass) !=
        ERROR_SUCCESS)
        return false;
    const unsigned long long bytes = mebibytes << 20;
    int written = 0;
    char name[256];
    DWORD length = sizeof name;
    for (DWORD index = 0; RegEnumKeyExA(displayClass, index, name, &length, nullptr, nullptr,
                                        nullptr, nullptr) == ERROR_SUCCESS;
         ++index, length = sizeof name) {
        HKEY adapter = nullptr;
        if (RegOpenKeyExA(displayClass, name, 0, KEY_SET_VALUE, &adapter) != ERROR_SUCCESS)
            continue;
        written +=
            RegSetValueExA(adapter, "HardwareInformation.qwMemorySize", 0, REG_QWORD,
                           reinterpret_cast<const BYTE*>(&bytes), sizeof bytes) == ERROR_SUCCESS;
        RegCloseKey(adapter);
    }
    RegCloseKey(displayClass);
    return written > 0;
}

} // namespace

int main(int argc, char** argv)
{
    unsigned long long adapterMemory = 0;
    if (argc > 2 && std::string(argv[1]) == "--adapter-memory-mib") {
        adapterMemory = std::stoull(argv[2]);
        argc -= 2;
        argv += 2;
    }
    if (argc < 5)
        return Fail("usage: play_start [--adapter-memory-mib N] PROGRAM LAYOUT ACCOUNT "
                    "SHOTS_FOLDER [OPTIONS...]");

    Player player;
    player.ids = LayoutControlIds(argv[2]);
    player.shots = argv[4];
    CreateDirectoryA(argv[4], nullptr);
    std::string line = std::string("\"") + argv[1] + "\"";
    for (int i = 5; i < argc; ++i)
        line += std::string(" ") + argv[i];
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &player.program))
        return Fail("cannot start the program");

    HWND dialog = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : VisibleWindowsOf(player.program.dwProcessId))
                if (IsMessageBox(window)) {
                    std::printf("== message box [%s]\n%s\n", WindowText(window).c_str(),
                                MessageBoxText(window).c_str());
                    CloseMessageBox(window);
                    Sleep(300);
                }
            return (dialog = player.Find("Main")) != nullptr;
        },
        kTimeout);
    if (!dialog)
        return Fail("the dialog did not appear");
    player.PrintTexts("dialog", dialog);
    RECT outer;
    GetWindowRect(dialog, &outer);
    std::printf("== dialog size %ldx%ld\n", outer.right - outer.left, outer.bottom - outer.top);
    player.Shot(dialog, "dialog");
    if (adapterMemory && !WriteAdapterMemory(adapterMemory))
        return Fail("cannot write the adapter's memory size");

    ReplaceText(player.Find("Edit_Zeq"), argv[3]);
    const std::string captcha = ControlText(player.Find("Static_Captcha"));
    ReplaceText(player.Find("Edit_Captcha"), captcha);
    WaitUntil([&] { return ControlText(player.Find("Edit_Captcha")) == captcha; }, kTimeout);
    std::printf("== typed account %s and captcha %s\n", argv[3], captcha.c_str());
    player.Shot(dialog, "filled");

    const DWORD started = GetTickCount();
    Click(player.Find("Button_Start"));
    HWND result = player.WaitFor("Result");
    if (!result)
        return Fail("no result panel");
    std::printf("== Start to result panel: %lu ms\n", GetTickCount() - started);
    WaitUntil([&] { return !ControlText(player.Find("Static_Msg")).empty(); }, kTimeout);
    player.PrintTexts("result panel", result);
    std::printf("== the server's message: %s\n", ControlText(player.Find("Static_Msg")).c_str());
    player.Shot(result, "result");
    HWND ok = player.Find("Button_OK");
    Click(ok ? ok : player.Find("Button_OK_Close"));
    WaitUntil([&] { return !player.Find("Result"); }, kTimeout);
    player.Shot(dialog, "after-start");

    Click(player.Find("Btn_Navigation4"));
    if (HWND privacy = player.WaitFor("Talvo")) {
        player.PrintTexts("privacy panel", privacy);
        player.Shot(privacy, "privacy");
        Click(player.Find("Talvo_Close"));
        WaitUntil([&] { return !player.Find("Talvo"); }, kTimeout);
    }

    Click(player.Find("Btn_Close"));
    WaitForSingleObject(player.program.hProcess, kTimeout);
    DWORD code = 0;
    GetExitCodeProcess(player.program.hProcess, &code);
    std::printf("== the dialog closed, exit code %ld\n", static_cast<long>(code));
    return 0;
}

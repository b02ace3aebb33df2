// Process entry of the Windows program: locale, command line, and the chosen run mode.
#include "app/command_line.hpp"
#include "app/exit_codes.hpp"
#include "app/process_locale.hpp"
#include "app/show_info.hpp"
#include "app/single_evaluation.hpp"
#include "dialog/vxm_main_dlg.hpp"
#include "eval/probe_log.hpp"
#include "framework/component_library_loader.hpp"

#include <boost/program_options/parsers.hpp>

#include <windows.h>

#include <exception>

namespace {

int RunSingleEvaluation(const CommandLine& line)
{
    SingleEvaluation result;
    try {
        result = EvaluateTriple(line.eval);
    } catch (const std::exception&) {
        return kExitBadCommandLine;
    }
    if (!line.mute)
        MessageBoxA(nullptr, result.message.c_str(), "Evaluation", MB_OK);
    return result.gainExtra;
}

int RunBatchEvaluation(const CommandLine& line)
{
    return EvaluateProbeLog(line.evalFile, line.evalFile + " - result.txt") ? 0 : kExitBatchFailed;
}

// What is missing when the dialog cannot run, and where it was looked for.
std::string MissingDialogText(const VxmMainDlg& dialog)
{
    const std::string folder = Kordo::ProgramDirectory();
    if (!dialog.mUILib)
        return "无法加载界面组件库 KorFact.dll。\n查找位置：" + Kordo::FindComponentLibraryPath() +
               "\n（由 " + folder + "\\Kordo.ini 指定）\n请重新安装本程序。";
    if (!dialog.LayoutLoaded())
        return "无法读取界面布局文件 Main.vxm。\n查找位置：" + folder +
               "\\Main.vxm\n请重新安装本程序。";
    // The layout loaded, so a control of the dialog is missing or of another kind.
    const ControlFault& fault = *dialog.ControlFaultFound();
    const std::string what = fault.wrongKind ? "中的控件“" + fault.name + "”类型不对"
                             : fault.name == "Main" ? "中没有主窗口“Main”"
                                                    : "中没有控件“" + fault.name + "”";
    return "界面布局文件" + what + "。\n文件：" + folder + "\\Main.vxm\n请重新安装本程序。";
}

int RunDialog(const CommandLine& line)
{
    if (line.showInfo)
        ShowProbeInformation();
    VxmMainDlg dialog;
    if (!dialog.mDialog) {
        MessageBoxA(nullptr, MissingDialogText(dialog).c_str(), "VxmCheck", MB_ICONERROR | MB_OK);
        return kExitNoDialog;
    }
    dialog.mDialog->DoModal();
    return 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    SetProcessLocale(GetUserDefaultLCID());
    CommandLine line;
    try {
        line = ParseCommandLine(boost::program_options::split_winmain(commandLine));
    } catch (const std::exception&) {
        return kExitBadCommandLine;
    }
    switch (line.mode) {
    case RunMode::SingleEvaluation:
        return RunSingleEvaluation(line);
    case RunMode::BatchEvaluation:
        return RunBatchEvaluation(line);
    case RunMode::Dialog:
        break;
    }
    return RunDialog(line);
}

// Start-up cost of the dialog under Wine: LoadLayout with every window created, then the first
// paint, for Main.vxm against a one-label layout. Prints the first run and the median of the rest.
#include "framework/component_library_loader.hpp"
#include "framework/kordo_ui.hpp"
#include "tools/win/ui_input.hpp"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

using namespace Kordo;

namespace {

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart * 1000.0 / frequency.QuadPart;
}

struct Times {
    double load, shown;
};

Times Once(const std::string& layout)
{
    TKordoPtr<IUILib, 1> lib(static_cast<IUILib*>(gComponentFactory->Create(kUILibId, 0)));
    const double start = Now();
    if (!lib->LoadLayout(layout.c_str(), 0))
        return {-1, -1};
    const double loaded = Now();
    HWND dialog = UiInput::FindDialog();
    ShowWindow(dialog, SW_SHOW);
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    GdiFlush();
    const double shown = Now();
    lib->Shutdown();
    return {loaded - start, shown - start};
}

void Report(const char* name, const std::string& layout, int rounds)
{
    const Times first = Once(layout);
    std::vector<double> load, shown;
    for (int i = 0; i < rounds; ++i) {
        const Times t = Once(layout);
        load.push_back(t.load);
        shown.push_back(t.shown);
    }
    std::sort(load.begin(), load.end());
    std::sort(shown.begin(), shown.end());
    std::printf("%-14s first run: load %6.1f ms, painted %6.1f ms; median of %d: load %6.1f ms, "
                "painted %6.1f ms\n",
                name, first.load, first.shown, rounds, load[rounds / 2], shown[rounds / 2]);
}

} // namespace

int main()
{
    LoadComponentLibrary();
    if (!gComponentFactory)
        return 1;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string trivial = std::string(temp) + "korfact_trivial.vxm";
    std::ofstream(trivial) << "<layout><dialog name=\"D\" id=\"1\" width=\"200\" height=\"100\">"
                              "<label name=\"L\" id=\"2\" x=\"10\" y=\"50\" width=\"180\" "
                              "height=\"24\" text=\"x\"/></dialog></layout>";
    Report("trivial", trivial, 15);
    Report("Main.vxm", "Main.vxm", 15);
    DeleteFileA(trivial.c_str());
    return 0;
}

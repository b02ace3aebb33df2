#include "framework/shared_memory_block.hpp"

#include "common/owners_win.hpp"
#include "framework/default_setting.hpp"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <new>

namespace Kordo {

DefaultSetting* gDefaultSetting = nullptr;

namespace {

constexpr DWORD kBlockSize = 4;
static_assert(sizeof(DefaultSetting*) == kBlockSize, "the block holds a 32-bit address");

KernelHandle gMapping;
MappedView gView;

} // namespace

// The block's two failures are printed on standard output, where the framework's block has always
// reported them, not through ReportFault.
void CreateSharedMemoryBlock()
{
    char name[32] = {};
    std::snprintf(name, sizeof name, "%dVXM_Share_Mem", static_cast<int>(GetCurrentProcessId()));
    gMapping.reset(
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBlockSize, name));
    if (!gMapping) {
        std::printf("Could not open file mapping object (%d).\n", static_cast<int>(GetLastError()));
        return;
    }
    gView.reset(MapViewOfFile(gMapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, kBlockSize));
    if (!gView) {
        std::printf("Could not map view of file (%d).\n", static_cast<int>(GetLastError()));
        return;
    }
    gDefaultSetting = new (std::nothrow) DefaultSetting;
    *static_cast<DefaultSetting**>(gView.get()) = gDefaultSetting;
    std::atexit(ReleaseSharedMemoryBlock);
}

void ReleaseSharedMemoryBlock()
{
    delete gDefaultSetting;
    gDefaultSetting = nullptr;
    gView.reset();
    gMapping.reset();
}

} // namespace Kordo

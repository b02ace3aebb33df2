#include "framework/shared_memory_block.hpp"

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

HANDLE gMapping = nullptr;
void* gView = nullptr;

} // namespace

// The block's two failures are printed on standard output, where the framework's block has always
// reported them, not through ReportFault.
void CreateSharedMemoryBlock()
{
    char name[32] = {};
    std::snprintf(name, sizeof name, "%dVXM_Share_Mem", static_cast<int>(GetCurrentProcessId()));
    gMapping =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBlockSize, name);
    if (!gMapping) {
        std::printf("Could not open file mapping object (%d).\n", static_cast<int>(GetLastError()));
        return;
    }
    gView = MapViewOfFile(gMapping, FILE_MAP_ALL_ACCESS, 0, 0, kBlockSize);
    if (!gView) {
        std::printf("Could not map view of file (%d).\n", static_cast<int>(GetLastError()));
        return;
    }
    gDefaultSetting = new (std::nothrow) DefaultSetting;
    *static_cast<DefaultSetting**>(gView) = gDefaultSetting;
    std::atexit(ReleaseSharedMemoryBlock);
}

void ReleaseSharedMemoryBlock()
{
    delete gDefaultSetting;
    gDefaultSetting = nullptr;
    if (gView)
        UnmapViewOfFile(gView);
    gView = nullptr;
    if (gMapping)
        CloseHandle(gMapping);
    gMapping = nullptr;
}

} // namespace Kordo

#include "probe/run_counter.hpp"

#include "common/fault_report.hpp"
#include "common/owners_win.hpp"
#include "probe/machine_info.hpp"
#include "probe/machine_keys.hpp"

#include <windows.h>

#include <stdexcept>

namespace {

// Long enough for any holder, which keeps the lock for one file or segment access only.
constexpr DWORD kLockWaitMs = 10000;

// No backslash: that would name a kernel-object namespace.
std::string LockName(const RunCounterPlace& place)
{
    return "VxmCheck.RunCounter." + place.segment;
}

std::string TempFolder()
{
    char path[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof path, path);
    return length > 0 && length < sizeof path ? std::string(path, length) : "";
}

// Every process of the program holds the marker from its second counted upload on, and from its
// first when another process holds it already. The handles stay open until the process ends.
void HoldMarkerMutex(const std::string& name)
{
    static bool countedBefore = false;
    const HANDLE existing = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
    if (existing || countedBefore)
        CreateMutexA(nullptr, FALSE, name.c_str());
    countedBefore = true;
}

} // namespace

RunCounterLock::RunCounterLock(const RunCounterPlace& place)
{
    KernelHandle mutex(CreateMutexA(nullptr, FALSE, LockName(place).c_str()));
    if (!mutex)
        throw std::runtime_error("run counter lock unavailable, error " +
                                 std::to_string(GetLastError()));
    // WAIT_ABANDONED: the last holder died holding it. Its count store is whole, and a file it
    // left empty counts on from 0, so going on is safe.
    const DWORD result = WaitForSingleObject(mutex.get(), kLockWaitMs);
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED)
        throw std::runtime_error("run counter lock busy");
    mMutex = mutex.release();
}

RunCounterLock::~RunCounterLock()
{
    ReleaseMutex(mMutex);
    CloseHandle(mMutex);
}

std::uint32_t SyncRunCount(bool increment, const RunCounterPlace& place)
{
    std::uint32_t count = 0;
    try {
        const RunCounterLock lock(place);
        count = SegmentCount(place, increment);
    } catch (const std::exception& error) {
        // An increment's failure is its caller's to report.
        if (increment)
            throw;
        ReportFault("probe", "run count segment " + place.segment + ": " + error.what());
    }
    MachineInfo()[InfoKey::Times] = std::to_string(count);
    return count;
}

void RecordParticipation(const RunCounterPlace& place)
{
    const std::string folder = TempFolder();
    if (!folder.empty()) {
        const RunCounterLock lock(place);
        BumpParticipationByte(folder + place.fileName);
    }
    HoldMarkerMutex(place.markerMutex);
    SyncRunCount(true, place);
}

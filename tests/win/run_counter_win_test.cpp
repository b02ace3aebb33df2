// The run counter across processes under Wine, on places of the tests' own so the program's
// count stays untouched.
#include "probe/run_counter.hpp"
#include "probe/machine_info.hpp"
#include "tests/core/run_counter_cleanup.hpp"
#include "tests/win/probe_helper_process.hpp"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace {

constexpr char kPlaceVariable[] = "VXM_TEST_COUNTER_PLACE";
constexpr char kMarkerHeldVariable[] = "VXM_TEST_MARKER_HELD";

RunCounterPlace TestPlace(const std::string& id)
{
    return {"VxmTest-count-" + id, 256, "VxmTest-participation-" + id + ".tmp",
            "VxmTest-marker-" + id};
}

// The place a helper process counts at.
RunCounterPlace HelperPlace()
{
    return TestPlace(EnvironmentValue(kPlaceVariable));
}

std::string ParticipationPath(const RunCounterPlace& place)
{
    char folder[MAX_PATH + 1] = {};
    GetTempPathA(sizeof folder, folder);
    return folder + place.fileName;
}

bool MutexExists(const std::string& name)
{
    const HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
    if (mutex)
        CloseHandle(mutex);
    return mutex != nullptr;
}

class RunCounterTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        MachineInfo().clear();
        SetEnvironmentVariableA(kPlaceVariable, mId.c_str()); // inherited by the helpers
    }
    void TearDown() override
    {
        RemoveTestSegment(mPlace.segment);
        std::remove(ParticipationPath(mPlace).c_str());
        MachineInfo().clear();
    }

    const std::string mId = UniqueTag();
    const RunCounterPlace mPlace = TestPlace(mId);
};

// Catches the debugger output: OutputDebugStringA raises an exception that a vectored handler
// sees first.
std::string gDebugOutput;

LONG CALLBACK CatchDebugOutput(EXCEPTION_POINTERS* pointers)
{
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    if (record.ExceptionCode == DBG_PRINTEXCEPTION_C && record.NumberParameters >= 2)
        gDebugOutput += reinterpret_cast<const char*>(record.ExceptionInformation[1]);
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

// Helper: counts many uploads in a row, each seeing a higher count than its last.
TEST(RunCounterHelper, DISABLED_CountMany)
{
    std::uint32_t last = 0;
    for (int i = 0; i < 70; ++i) {
        RecordParticipation(HelperPlace());
        const std::uint32_t now = std::stoul(MachineInfo()["Times"]);
        ASSERT_GT(now, last);
        last = now;
    }
}

// Helper: takes the lock and ends without giving it back.
TEST(RunCounterHelper, DISABLED_DieHoldingTheLock)
{
    new RunCounterLock(HelperPlace());
    ExitProcess(0);
}

// Helper: a fresh process holds the marker from its second counted upload, or from its first
// when the marker exists already.
TEST(RunCounterHelper, DISABLED_MarkerMutex)
{
    const RunCounterPlace place = HelperPlace();
    if (EnvironmentValue(kMarkerHeldVariable) == "1") {
        const HANDLE other = CreateMutexA(nullptr, FALSE, place.markerMutex.c_str());
        RecordParticipation(place);
        CloseHandle(other);
        EXPECT_TRUE(MutexExists(place.markerMutex));
        return;
    }
    RecordParticipation(place);
    EXPECT_FALSE(MutexExists(place.markerMutex));
    RecordParticipation(place);
    EXPECT_TRUE(MutexExists(place.markerMutex));
}

TEST_F(RunCounterTest, ReadsZeroFirstAndCountsOnePerUpload)
{
    EXPECT_EQ(SyncRunCount(false, mPlace), 0u);
    EXPECT_EQ(MachineInfo()["Times"], "0");
    RecordParticipation(mPlace);
    RecordParticipation(mPlace);
    EXPECT_EQ(SyncRunCount(false, mPlace), 2u);
    EXPECT_EQ(MachineInfo()["Times"], "2");
    EXPECT_EQ(FileContent(ParticipationPath(mPlace)), "\x02");
}

TEST_F(RunCounterTest, ProcessesCountingAtOnceLoseNothing)
{
    std::vector<std::unique_ptr<HelperProcess>> helpers;
    for (int i = 0; i < 4; ++i)
        helpers.push_back(std::make_unique<HelperProcess>("RunCounterHelper.CountMany"));
    for (auto& helper : helpers)
        EXPECT_TRUE(helper->Passed(120000));
    EXPECT_EQ(SyncRunCount(false, mPlace), 280u);
    EXPECT_EQ(FileContent(ParticipationPath(mPlace)), std::string(1, 280 % 256));
}

TEST_F(RunCounterTest, LockOfADeadHolderIsTakenOver)
{
    SyncRunCount(true, mPlace);
    HelperProcess helper("RunCounterHelper.DieHoldingTheLock");
    ASSERT_TRUE(helper.Finish());
    const DWORD start = GetTickCount();
    EXPECT_EQ(SyncRunCount(true, mPlace), 2u);
    EXPECT_LT(GetTickCount() - start, 5000u); // far below the lock's wait limit
}

TEST_F(RunCounterTest, MarkerMutexFromTheSecondUploadOfAProcess)
{
    for (const char* held : {"0", "1"}) {
        SetEnvironmentVariableA(kMarkerHeldVariable, held);
        EXPECT_TRUE(HelperProcess("RunCounterHelper.MarkerMutex").Passed()) << held;
    }
}

TEST_F(RunCounterTest, UnusableSegmentReadsZeroAndRefusesToCount)
{
    // A name no file can have: the shared-memory library cannot open or create it.
    const RunCounterPlace broken{"VxmTest|count?" + mId, 256, mPlace.fileName, mPlace.markerMutex};
    MachineInfo()["Times"] = "7";
    gDebugOutput.clear();
    void* handler = AddVectoredExceptionHandler(1, CatchDebugOutput);
    EXPECT_EQ(SyncRunCount(false, broken), 0u);
    RemoveVectoredExceptionHandler(handler);
    EXPECT_EQ(MachineInfo()["Times"], "0");
    EXPECT_NE(gDebugOutput.find(broken.segment), std::string::npos) << gDebugOutput;

    // The increment's failure is raised, not said here too: its caller reports it once.
    MachineInfo()["Times"] = "7";
    gDebugOutput.clear();
    handler = AddVectoredExceptionHandler(1, CatchDebugOutput);
    EXPECT_THROW(RecordParticipation(broken), std::exception);
    RemoveVectoredExceptionHandler(handler);
    EXPECT_EQ(MachineInfo()["Times"], "7");
    EXPECT_EQ(gDebugOutput, "");
}

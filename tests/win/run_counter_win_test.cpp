// The run counter across processes under Wine, on places of the tests' own so the program's
// count stays untouched.
#include "dialog/run_counter.hpp"
#include "probe/machine_info.hpp"
#include "tests/core/run_counter_cleanup.hpp"
#include "tests/win/probe_helper_process.hpp"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>
#include <memory>

namespace {

constexpr char kPlaceVariable[] = "VXM_TEST_COUNTER_PLACE";
constexpr char kRoundsVariable[] = "VXM_TEST_COUNTER_ROUNDS";
constexpr char kHoldingTheLock[] = "holding the run counter lock";

RunCounterPlace TestPlace(const std::string& id)
{
    return {"VxmTest-count-" + id, 256, "VxmTest-participation-" + id + ".tmp",
            "VxmTest-marker-" + id};
}

// The place a helper process was given.
RunCounterPlace HelperPlace()
{
    return TestPlace(EnvironmentValue(kPlaceVariable));
}

std::string TempFolder()
{
    char path[MAX_PATH + 1] = {};
    GetTempPathA(sizeof path, path);
    return path;
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
        Remove();
    }
    void TearDown() override
    {
        Remove();
        MachineInfo().clear();
    }
    void Remove()
    {
        RemoveTestSegment(place_.segment);
        std::remove((TempFolder() + place_.fileName).c_str());
    }
    std::unique_ptr<HelperProcess> StartHelper(const char* test, int rounds = 0)
    {
        return std::make_unique<HelperProcess>(
            test, HelperProcess::Environment{{kPlaceVariable, id_},
                                             {kRoundsVariable, std::to_string(rounds)}});
    }

    const std::string id_ = UniqueTag();
    const RunCounterPlace place_ = TestPlace(id_);
};

// Catches what the code under test sends to the debugger output: OutputDebugStringA raises an
// exception that a vectored handler sees first.
class DebugOutputCatcher {
  public:
    DebugOutputCatcher() : handler_(AddVectoredExceptionHandler(1, Catch)) { caught().clear(); }
    ~DebugOutputCatcher() { RemoveVectoredExceptionHandler(handler_); }
    const std::string& Text() const { return caught(); }

  private:
    static std::string& caught()
    {
        static std::string text;
        return text;
    }
    static LONG CALLBACK Catch(EXCEPTION_POINTERS* pointers)
    {
        const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
        if (record.ExceptionCode == DBG_PRINTEXCEPTION_C && record.NumberParameters >= 2)
            caught() += reinterpret_cast<const char*>(record.ExceptionInformation[1]);
        return EXCEPTION_CONTINUE_SEARCH;
    }
    void* handler_;
};

} // namespace

// Helper: counts many uploads in a row, each seeing a higher count than its last.
TEST(RunCounterHelper, DISABLED_CountMany)
{
    const RunCounterPlace place = HelperPlace();
    const int rounds = std::stoi(EnvironmentValue(kRoundsVariable));
    std::uint32_t last = 0;
    for (int i = 0; i < rounds; ++i) {
        RecordParticipation(place);
        const std::uint32_t now = std::stoul(MachineInfo()["Times"]);
        ASSERT_GT(now, last);
        last = now;
    }
}

// Helper: takes the lock and ends without giving it back.
TEST(RunCounterHelper, DISABLED_DieHoldingTheLock)
{
    new RunCounterLock(HelperPlace());
    std::cout << kHoldingTheLock << std::endl;
    ExitProcess(0);
}

// Helper: a fresh process's first two counted uploads and the marker mutex.
TEST(RunCounterHelper, DISABLED_MarkerFromTheSecondUpload)
{
    const RunCounterPlace place = HelperPlace();
    ASSERT_FALSE(MutexExists(place.markerMutex));
    RecordParticipation(place);
    EXPECT_FALSE(MutexExists(place.markerMutex));
    RecordParticipation(place);
    EXPECT_TRUE(MutexExists(place.markerMutex));
}

// Helper: when another process holds the marker, the first counted upload holds it too.
TEST(RunCounterHelper, DISABLED_MarkerFromTheFirstUploadWhenHeld)
{
    const RunCounterPlace place = HelperPlace();
    const HANDLE other = CreateMutexA(nullptr, FALSE, place.markerMutex.c_str());
    RecordParticipation(place);
    CloseHandle(other);
    EXPECT_TRUE(MutexExists(place.markerMutex));
}

TEST_F(RunCounterTest, ReadsZeroFirstAndCountsOnePerUpload)
{
    EXPECT_EQ(SyncRunCount(false, place_), 0u);
    EXPECT_EQ(MachineInfo()["Times"], "0");
    RecordParticipation(place_);
    EXPECT_EQ(MachineInfo()["Times"], "1");
    RecordParticipation(place_);
    EXPECT_EQ(SyncRunCount(false, place_), 2u);
    EXPECT_EQ(MachineInfo()["Times"], "2");
    EXPECT_EQ(FileContent(TempFolder() + place_.fileName), "\x02");
}

TEST_F(RunCounterTest, ProcessesCountingAtOnceLoseNothing)
{
    constexpr int kProcesses = 4;
    constexpr int kRounds = 70;
    std::vector<std::unique_ptr<HelperProcess>> helpers;
    for (int i = 0; i < kProcesses; ++i)
        helpers.push_back(StartHelper("RunCounterHelper.CountMany", kRounds));
    for (auto& helper : helpers)
        EXPECT_TRUE(helper->Passed(120000)) << helper->Output();

    EXPECT_EQ(SyncRunCount(false, place_), static_cast<std::uint32_t>(kProcesses * kRounds));
    // 280 uploads: the byte went round once.
    EXPECT_EQ(FileContent(TempFolder() + place_.fileName),
              std::string(1, static_cast<char>(kProcesses * kRounds % 256)));
}

TEST_F(RunCounterTest, LockOfADeadHolderIsTakenOver)
{
    SyncRunCount(true, place_);
    auto helper = StartHelper("RunCounterHelper.DieHoldingTheLock");
    ASSERT_TRUE(helper->Finish());
    ASSERT_NE(helper->Output().find(kHoldingTheLock), std::string::npos) << helper->Output();
    const DWORD start = GetTickCount();
    EXPECT_EQ(SyncRunCount(true, place_), 2u);
    EXPECT_LT(GetTickCount() - start, 5000u);
}

TEST_F(RunCounterTest, MarkerMutexFromTheSecondUploadOfAProcess)
{
    auto first = StartHelper("RunCounterHelper.MarkerFromTheSecondUpload");
    EXPECT_TRUE(first->Passed()) << first->Output();
    auto held = StartHelper("RunCounterHelper.MarkerFromTheFirstUploadWhenHeld");
    EXPECT_TRUE(held->Passed()) << held->Output();
}

TEST_F(RunCounterTest, UnusableSegmentReadsZeroAndRefusesToCount)
{
    // A name no file can have: the shared-memory library cannot open or create it.
    const RunCounterPlace broken{"VxmTest|count?" + id_, 256, place_.fileName, place_.markerMutex};
    MachineInfo()["Times"] = "7";
    const DebugOutputCatcher debugger;
    EXPECT_EQ(SyncRunCount(false, broken), 0u);
    EXPECT_EQ(MachineInfo()["Times"], "0");
    EXPECT_NE(debugger.Text().find(broken.segment), std::string::npos) << debugger.Text();

    MachineInfo()["Times"] = "7";
    EXPECT_THROW(RecordParticipation(broken), std::exception);
    EXPECT_EQ(MachineInfo()["Times"], "7");
}

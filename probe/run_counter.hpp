#pragma once
// The machine's count of counted uploads, shared by every process of the program until the
// machine restarts, and the user's participation byte in the temporary folder.
#include <cstddef>
#include <cstdint>
#include <string>

// The names a run counter keeps its state under. Tests count under places of their own so they
// neither disturb nor depend on the program's count.
struct RunCounterPlace {
    std::string segment;     // managed shared memory segment holding the object "count"
    std::size_t segmentSize; // bytes, when this process creates it
    std::string fileName;    // participation file, inside the temporary folder
    std::string markerMutex; // held by a process from its first or second counted upload
};

// The program's own names.
const RunCounterPlace& ProgramCounterPlace();

// Reads the count (adding 1 first when increment is set), writes it to "Times" and returns it.
// Other processes of the program are kept out meanwhile. When the segment cannot be used, a
// plain read says so in the debugger output and gives 0 (also written to "Times") so the probe
// run goes on, while an increment raises the error, for its caller to report, with "Times"
// unchanged.
std::uint32_t SyncRunCount(bool increment, const RunCounterPlace& place = ProgramCounterPlace());

// Counts one upload: raises the participation byte, holds the marker mutex as the program
// always has, and increments the shared count.
void RecordParticipation(const RunCounterPlace& place = ProgramCounterPlace());

// Held while a process reads or changes a place's count or file. A holder that dies leaves it
// abandoned, and the next process takes it over and goes on. Raises when it cannot be taken
// within ten seconds.
class RunCounterLock {
  public:
    explicit RunCounterLock(const RunCounterPlace& place);
    ~RunCounterLock();
    RunCounterLock(const RunCounterLock&) = delete;
    RunCounterLock& operator=(const RunCounterLock&) = delete;

  private:
    void* mMutex = nullptr;
};

// Platform-free steps, used under the lock.

// Opens or creates the segment, finds or constructs "count" with 0, adds 1 when asked and
// returns the count. Raises the shared-memory library's error when the segment is unusable.
std::uint32_t SegmentCount(const RunCounterPlace& place, bool increment);

// Reads the one-byte counter (0 when the file is missing, empty or unreadable), writes it back
// raised by 1 modulo 256 when the file can be written, and returns the new byte.
unsigned char BumpParticipationByte(const std::string& path);

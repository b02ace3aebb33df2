// Start-up work that runs during static initialisation, before the entry: in this order.
#include "app/exit_codes.hpp"
#include "common/text_resource.hpp"
#include "eval/level.hpp"
#include "eval/score_table_resource.hpp"
#include "framework/shared_memory_block.hpp"

#include <winsock2.h>
#include <windows.h>

namespace {

// A corrupt embedded file ends the program at once, without a message or any clean-up.
void EndCorrupt()
{
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(kExitCorruptData));
}

struct StartUp {
    StartUp()
    {
        OnDataDigestMismatch(EndCorrupt);
        LoadScoreTables(); // a corrupt table ends the process here, before any window
        ReportedLevelMap();
        Kordo::CreateSharedMemoryBlock(); // publishes the framework settings for this process
        WSADATA data;
        WSAStartup(MAKEWORD(2, 0), &data); // the network probe asks for the host name
    }
};

const StartUp gStartUp;

} // namespace

// Asks hybrid-graphics laptops to run the program on the discrete adapter.
extern "C" __declspec(dllexport) const unsigned long NvOptimusEnablement = 0x00000001;

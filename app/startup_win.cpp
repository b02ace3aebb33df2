// Start-up work that runs during static initialisation, before the entry: in this order.
#include "eval/level.hpp"
#include "eval/score_table_resource.hpp"
#include "framework/shared_memory_block.hpp"

#include <winsock2.h>
#include <windows.h>

namespace {

struct StartUp {
    StartUp()
    {
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

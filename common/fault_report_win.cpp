#include "common/fault_report.hpp"

#include <windows.h>

void ReportFault(const char* room, const std::string& what)
{
    OutputDebugStringA(("[VxmCheck] " + std::string(room) + ": " + what + "\n").c_str());
}

#include "probe/probe_summary.hpp"

#include <gtest/gtest.h>

TEST(ProbeSummary, EveryLineInItsPlaceByteForByte)
{
    ProbeTexts texts;
    texts.mac = "00-1A-2B-3C-4D-5E";
    texts.msvc = "\n\tMicrosoft Visual C++ 2008 x86\n\tMicrosoft Visual C++ 2010 x86";
    texts.directX = "D3D9;";
    texts.resolution = "1280x1024, 32bits";
    texts.os = "Windows 6.1, SP 1.0";
    texts.cpu = "   Intel(R) Core(TM) i7 CPU 100% "; // as the processor reports it
    texts.ram = "8192.00 MB";
    texts.gpu = "NVIDIA GeForce GTX 470 9.18.13.3158;Second 1.2.3.4;";
    texts.adapter = "{4D36E972}Realtek PCIe GBE";
    texts.host = "alice@desk-01";
    texts.times = 4294967295u;
    EXPECT_EQ(FormatProbeSummary(texts),
              "MAC:\t00-1A-2B-3C-4D-5E\n\n"
              "MSVC:\t\n\tMicrosoft Visual C++ 2008 x86\n\tMicrosoft Visual C++ 2010 x86\n\n"
              "DirectX:\tD3D9;\n\n"
              "Resolution:\t1280x1024, 32bits\n\n"
              "OS:\tWindows 6.1, SP 1.0\n\n"
              "CPU:\t   Intel(R) Core(TM) i7 CPU 100% \n\n"
              "RAM:\t8192.00 MB\n\n"
              "GPU:\tNVIDIA GeForce GTX 470 9.18.13.3158;Second 1.2.3.4;\n\n"
              "Adapter:\t{4D36E972}Realtek PCIe GBE\n\n"
              "Host:\talice@desk-01\n\n"
              "Times:\t4294967295\n\n");
}

TEST(ProbeSummary, EmptyValuesKeepTheirLabels)
{
    EXPECT_EQ(FormatProbeSummary(ProbeTexts{}),
              "MAC:\t\n\nMSVC:\t\n\nDirectX:\t\n\nResolution:\t\n\nOS:\t\n\nCPU:\t\n\nRAM:\t\n\n"
              "GPU:\t\n\nAdapter:\t\n\nHost:\t\n\nTimes:\t0\n\n");
}

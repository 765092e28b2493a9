// The shipped pATU.exe as a Windows PC's loader sees it: one 32-bit program
// for Windows 7 SP1 and later, importing only DLLs that Windows 7 has, so that
// it starts on every workshop PC, and an older Windows refuses it at once.
// Where the Wine tests run the x86-64 build instead (a host that runs no 32-bit
// code), that exe is held to the same rules but for its processor, so what ran
// under Wine is the shipped exe's twin.
#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pe_image.h"

namespace {

// One build of the program and the processor it must be for.
struct Build {
    std::string path;
    uint16_t machine, magic;
    std::string manifest_processor;
};

void PrintTo(const Build& build, std::ostream* out) { *out << build.path; }

std::vector<Build> builds() {
    std::vector<Build> list = {{DIST_DIR "/pATU.exe", pe::MACHINE_I386, pe::MAGIC_PE32, "x86"}};
    if (*WIN64_EXE) list.push_back({WIN64_EXE, pe::MACHINE_AMD64, pe::MAGIC_PE32_PLUS, "amd64"});
    return list;
}

// Each for a reason: the Win32 API proper (KERNEL32, USER32, GDI32); the
// progress bar and visual styles (COMCTL32); mingw-w64's C runtime, a part of
// every Windows (msvcrt); 1 ms timer resolution during an update (WINMM); the
// Documents folder, where the dump file goes when C:\ is closed (SHELL32); COM,
// which makes the task-bar button's progress interface (OLE32).
const std::set<std::string> WINDOWS_7_DLLS = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL",   "COMCTL32.DLL",
                                              "MSVCRT.DLL",   "WINMM.DLL",  "SHELL32.DLL", "OLE32.DLL"};

// Entry points of those DLLs that came after Windows 7 and that a toolchain's
// runtime or a newer header is likeliest to bring in.
const std::set<std::string> NEWER_THAN_WINDOWS_7 = {
    "GetSystemTimePreciseAsFileTime", "CreateFile2",     "GetCurrentThreadStackLimits",
    "SetThreadDescription",           "WaitOnAddress",   "WakeByAddressSingle",
    "WakeByAddressAll",               "GetDpiForWindow", "SetProcessDpiAwarenessContext"};

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
    return s;
}

class ShippedExe : public testing::TestWithParam<Build> {
protected:
    const pe::Image& exe() {
        static std::map<std::string, pe::Image> images;
        auto found = images.find(GetParam().path);
        if (found == images.end()) found = images.emplace(GetParam().path, pe::read(GetParam().path)).first;
        return found->second;
    }
};

TEST_P(ShippedExe, IsGuiProgramForItsProcessorAndWindows7Sp1AndLater) {
    const pe::Image& exe = this->exe();
    EXPECT_EQ(exe.machine, GetParam().machine) << GetParam().path << " is built for another processor";
    EXPECT_EQ(exe.magic, GetParam().magic);
    EXPECT_EQ(exe.subsystem, 2) << "not a Windows GUI program";
    // 6.1 is Windows 7: an older Windows refuses the file before running any of it.
    EXPECT_EQ(exe.os_major, 6);
    EXPECT_EQ(exe.os_minor, 1);
    EXPECT_EQ(exe.subsystem_major, 6);
    EXPECT_EQ(exe.subsystem_minor, 1);
}

TEST_P(ShippedExe, ImportsOnlySystemDllsThatWindows7Has) {
    const pe::Image& exe = this->exe();
    ASSERT_FALSE(exe.imports.empty());
    for (const auto& [dll, entries] : exe.imports) {
        EXPECT_NE(upper(dll).rfind("API-MS-WIN-", 0), 0u) << dll << ": an API set, which Windows 7 lacks";
        EXPECT_TRUE(WINDOWS_7_DLLS.count(upper(dll))) << dll << " is not among the DLLs a Windows 7 PC has";
    }
}

TEST_P(ShippedExe, ImportsNoEntryPointNewerThanWindows7) {
    for (const auto& [dll, entries] : exe().imports) {
        for (const std::string& entry : entries)
            EXPECT_FALSE(NEWER_THAN_WINDOWS_7.count(entry)) << dll << "!" << entry << " is missing on Windows 7";
    }
}

TEST_P(ShippedExe, AsksWinmmForTheTimerResolution) {
    std::vector<std::string> winmm;
    for (const auto& [dll, entries] : exe().imports)
        if (upper(dll) == "WINMM.DLL") winmm = entries;
    for (const char* entry : {"timeBeginPeriod", "timeEndPeriod"})
        EXPECT_TRUE(std::count(winmm.begin(), winmm.end(), entry)) << entry << " is not imported from WINMM";
}

TEST_P(ShippedExe, ManifestDeclaresItsProcessor) {
    // Windows will not start an exe whose manifest names another processor.
    const std::string bytes(exe().bytes.begin(), exe().bytes.end());
    const size_t identity = bytes.find("name=\"Quilla.pATU\"");
    ASSERT_NE(identity, std::string::npos) << "no manifest of ours in " << GetParam().path;
    const std::string element = bytes.substr(identity, bytes.find("/>", identity) - identity);
    EXPECT_NE(element.find("processorArchitecture=\"" + GetParam().manifest_processor + "\""), std::string::npos)
        << element;
}

INSTANTIATE_TEST_SUITE_P(Builds, ShippedExe, testing::ValuesIn(builds()), [](const auto& info) {
    return std::string(info.param.machine == pe::MACHINE_I386 ? "i686" : "x86_64");
});

}  // namespace

// What a Windows loader reads first in an exe: its PE headers and the DLLs and
// entry points it imports. Read by ourselves, so the tests need no binutils.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace pe {

constexpr uint16_t MACHINE_I386 = 0x014c;
constexpr uint16_t MACHINE_AMD64 = 0x8664;
constexpr uint16_t MAGIC_PE32 = 0x010b;
constexpr uint16_t MAGIC_PE32_PLUS = 0x020b;

struct Image {
    uint16_t machine = 0;
    uint16_t magic = 0;  // of the optional header: PE32 or PE32+
    uint16_t os_major = 0, os_minor = 0;
    uint16_t subsystem_major = 0, subsystem_minor = 0;
    uint16_t subsystem = 0;  // 2: Windows GUI, 3: console
    // Each imported DLL as the file names it, with its entry points by name
    // ("#n" for one imported by ordinal). Delay-loaded DLLs are listed too.
    std::map<std::string, std::vector<std::string>> imports;
    std::vector<uint8_t> bytes;  // the whole file
};

// Reads the file at `path`; throws std::runtime_error saying what is missing
// or out of bounds when it is not a well-formed PE image.
Image read(const std::string& path);

}  // namespace pe

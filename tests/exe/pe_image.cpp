// PE headers and import tables, read by offset as the loader does.
#include "pe_image.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace pe {
namespace {

constexpr size_t DIRECTORY_IMPORT = 1;
constexpr size_t DIRECTORY_DELAY_IMPORT = 13;
constexpr size_t IMPORT_DESCRIPTOR_SIZE = 20;
constexpr size_t DELAY_DESCRIPTOR_SIZE = 32;
constexpr size_t SECTION_HEADER_SIZE = 40;

struct Section {
    uint32_t address, size, file_offset, file_size;
};

class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}

    uint64_t number(size_t offset, size_t width) const {
        need(offset, width);
        uint64_t value = 0;
        for (size_t i = width; i-- > 0;) value = value << 8 | bytes_[offset + i];
        return value;
    }
    uint16_t u16(size_t offset) const { return static_cast<uint16_t>(number(offset, 2)); }
    uint32_t u32(size_t offset) const { return static_cast<uint32_t>(number(offset, 4)); }

    std::string text(size_t offset) const {
        std::string s;
        for (need(offset, 1); bytes_[offset] != 0; need(++offset, 1)) s += static_cast<char>(bytes_[offset]);
        return s;
    }

    void add_section(const Section& s) { sections_.push_back(s); }

    // The file offset of a relative virtual address.
    size_t at(uint32_t rva) const {
        for (const Section& s : sections_) {
            if (rva >= s.address && rva - s.address < std::max(s.size, s.file_size)) {
                if (rva - s.address >= s.file_size) break;  // in the zero-filled tail: not in the file
                return s.file_offset + (rva - s.address);
            }
        }
        throw std::runtime_error("address " + std::to_string(rva) + " lies in no section's data");
    }

private:
    void need(size_t offset, size_t width) const {
        if (offset > bytes_.size() || bytes_.size() - offset < width)
            throw std::runtime_error("read past the end of the file at offset " + std::to_string(offset));
    }

    const std::vector<uint8_t>& bytes_;
    std::vector<Section> sections_;
};

// The entry points of one DLL from its lookup table (one pointer-wide entry
// each, the top bit marking an ordinal), up to the null entry.
std::vector<std::string> entry_points(const Reader& r, uint32_t table_rva, size_t width) {
    std::vector<std::string> names;
    const uint64_t ordinal_flag = uint64_t{1} << (width * 8 - 1);
    for (size_t offset = r.at(table_rva);; offset += width) {
        const uint64_t entry = r.number(offset, width);
        if (entry == 0) break;
        if (entry & ordinal_flag)
            names.push_back("#" + std::to_string(entry & 0xFFFF));
        else
            names.push_back(r.text(r.at(static_cast<uint32_t>(entry)) + 2));  // past the hint
    }
    return names;
}

}  // namespace

Image read(const std::string& path) {
    Image image;
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot open " + path);
    image.bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    Reader r(image.bytes);

    if (r.u16(0) != 0x5A4D) throw std::runtime_error("no MZ header");
    const size_t pe_offset = r.u32(0x3C);
    if (r.u32(pe_offset) != 0x00004550) throw std::runtime_error("no PE signature");
    const size_t coff = pe_offset + 4;
    image.machine = r.u16(coff);
    const size_t section_count = r.u16(coff + 2);
    const size_t optional = coff + 20;
    const size_t optional_size = r.u16(coff + 16);

    image.magic = r.u16(optional);
    if (image.magic != MAGIC_PE32 && image.magic != MAGIC_PE32_PLUS)
        throw std::runtime_error("unknown optional header magic " + std::to_string(image.magic));
    const size_t width = image.magic == MAGIC_PE32 ? 4 : 8;  // of an address, and of an import entry
    image.os_major = r.u16(optional + 40);
    image.os_minor = r.u16(optional + 42);
    image.subsystem_major = r.u16(optional + 48);
    image.subsystem_minor = r.u16(optional + 50);
    image.subsystem = r.u16(optional + 68);
    const size_t directory_count_at = image.magic == MAGIC_PE32 ? 92 : 108;
    const size_t directory_count = r.u32(optional + directory_count_at);
    const size_t directories = optional + directory_count_at + 4;

    for (size_t i = 0; i < section_count; ++i) {
        const size_t s = optional + optional_size + i * SECTION_HEADER_SIZE;
        r.add_section({r.u32(s + 12), r.u32(s + 8), r.u32(s + 20), r.u32(s + 16)});
    }
    auto directory = [&](size_t index) -> uint32_t {
        return index < directory_count ? r.u32(directories + index * 8) : 0;
    };

    if (uint32_t rva = directory(DIRECTORY_IMPORT)) {
        for (size_t d = r.at(rva); r.u32(d + 12) != 0; d += IMPORT_DESCRIPTOR_SIZE) {
            const uint32_t lookup = r.u32(d) ? r.u32(d) : r.u32(d + 16);  // else the address table itself
            image.imports[r.text(r.at(r.u32(d + 12)))] = entry_points(r, lookup, width);
        }
    }
    if (uint32_t rva = directory(DIRECTORY_DELAY_IMPORT)) {
        for (size_t d = r.at(rva); r.u32(d + 4) != 0; d += DELAY_DESCRIPTOR_SIZE)
            image.imports[r.text(r.at(r.u32(d + 4)))] = entry_points(r, r.u32(d + 16), width);
    }
    return image;
}

}  // namespace pe

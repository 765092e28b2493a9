// libFuzzer harness: arbitrary text into the hexadecimal conversions. The
// first input byte sizes the byte area (1 to 256 bytes, exactly allocated, so
// that a write past it is caught by ASan); the rest is the text. Results are
// checked against a model written from the rules, not from the code.
#include <algorithm>
#include <memory>
#include <string>

#include "test_helpers.h"
#include "uSER_KV.h"

namespace {

// The rules: each upper-case digit adds its four bits, anything else is
// skipped; `digits` counts the digits seen.
uint64_t model(const std::string& text, int* digits) {
    uint64_t value = 0;
    *digits = 0;
    for (char c : text) {
        int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (d < 0) continue;
        value = value << 4 | static_cast<uint64_t>(d);
        ++*digits;
    }
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int area_size = 1 + data[0];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    int digits = 0;
    const uint64_t value = model(text, &digits);
    const int64_t result = HEX_PARA_INT(text);
    if (digits <= 15) REQUIRE(static_cast<uint64_t>(result) == value);  // exact up to 15 digits

    std::unique_ptr<uint8_t[]> area(new uint8_t[area_size]);
    std::fill(area.get(), area.get() + area_size, 0xFF);
    HEX_PARA_BYTES(text, area.get(), area_size);
    // Pair k is characters 2k and 2k + 1; an empty text still has pair 0.
    const size_t pairs = text.empty() ? 1 : (text.size() + 1) / 2;
    for (size_t k = 0; k < static_cast<size_t>(area_size); ++k) {
        int ignored = 0;
        const uint8_t expected =
            k < pairs ? static_cast<uint8_t>(model(text.substr(std::min(2 * k, text.size()), 2), &ignored))
                      : 0xFF;
        REQUIRE(area[k] == expected);
    }

    // Bytes to text and back, for the byte this input starts with.
    const std::string two_digits = BYTE_PARA_HEX(data[0]);
    REQUIRE(two_digits.size() == 2 && HEX_PARA_INT(two_digits) == data[0]);
    return 0;
}

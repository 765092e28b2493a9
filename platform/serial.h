// Serial line primitives; serial_win32.cpp and serial_posix.cpp each fill them.
#pragma once
#include <cstdint>
#include <string>

namespace plat {

using PortHandle = std::intptr_t;  // a negative value means "no port"
constexpr PortHandle NO_PORT = -1;

struct LineTimeouts {
    uint32_t read_interval_ms;
    uint32_t read_total_multiplier_ms;
    uint32_t read_total_constant_ms;
    uint32_t write_total_multiplier_ms;
    uint32_t write_total_constant_ms;
};

enum PurgeFlag : uint32_t { PURGE_TXCLEAR_FLAG = 4, PURGE_RXCLEAR_FLAG = 8 };

// Opens COM n for exclusive, overlapped read and write. Negative on failure,
// with the OS error number in *os_error.
PortHandle serial_open(int port_number, uint32_t* os_error);
void serial_setup_queues(PortHandle port, uint32_t rx_bytes, uint32_t tx_bytes);
// Changes baud rate, data bits and parity only (parity 0 = none).
void serial_set_line(PortHandle port, uint32_t baud, uint8_t data_bits, uint8_t parity);
bool serial_set_timeouts(PortHandle port, const LineTimeouts& timeouts);
void serial_purge(PortHandle port, uint32_t flags);
// One transfer, with a transfer record of its own, waited for until the line
// completes it or the port's time-outs end it. *done is the count moved.
bool serial_write(PortHandle port, const uint8_t* data, uint32_t count, uint32_t* done);
// *refused: the read failed because the system refused it (a port gone, a
// device error), not because the time-outs ended it short.
bool serial_read(PortHandle port, uint8_t* buffer, uint32_t count, uint32_t* done, bool* refused);
void serial_close(PortHandle port);

}  // namespace plat

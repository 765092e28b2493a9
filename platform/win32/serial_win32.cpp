// Serial line primitives (Windows-specific): overlapped transfers, each waited
// for under the port's own time-outs.
#include <windows.h>

#include <map>
#include <string>

#include "../serial.h"

namespace plat {
namespace {

// What an open port holds besides its handle: the named mutex that keeps a
// second copy of the program off it, and the event of its transfer records.
struct PortExtras {
    HANDLE mutex;
    HANDLE event;
};
std::map<PortHandle, PortExtras> port_extras;

HANDLE handle_of(PortHandle port) { return reinterpret_cast<HANDLE>(port); }

// A transfer already started with `record`: wait for it without a limit (the
// port's time-outs end it) and fetch the count without waiting again. Most
// transfers complete within the call that started them; their event is then
// already signalled, and the wait, a round trip to the kernel (to the
// wineserver under Wine), is left out.
uint32_t wait_for_transfer(HANDLE port, OVERLAPPED& record) {
    if (!HasOverlappedIoCompleted(&record) && WaitForSingleObject(record.hEvent, INFINITE) != WAIT_OBJECT_0)
        return 0;
    DWORD moved = 0;
    if (!GetOverlappedResult(port, &record, &moved, FALSE)) return 0;
    return moved;
}

// One write or read with a zeroed transfer record of its own. Its event, a
// manual-reset one created signalled, is the port's: made once at the open
// rather than per transfer, since making and releasing one costs as much as
// the transfer itself (two more round trips under Wine, for every byte of a
// frame); the transfer resets it as it starts.
template <typename Start>
bool transfer(PortHandle port, uint32_t count, uint32_t* done, Start start) {
    *done = 0;
    auto extras = port_extras.find(port);
    if (extras == port_extras.end()) return false;
    OVERLAPPED record{};
    record.hEvent = extras->second.event;
    bool started = start(handle_of(port), &record) || GetLastError() == ERROR_IO_PENDING;
    if (started) *done = wait_for_transfer(handle_of(port), record);
    return started && *done == count;
}

}  // namespace

PortHandle serial_open(int port_number, uint32_t* os_error) {
    const std::string number = std::to_string(port_number);
    // Share mode 0 keeps other programs off the port; the mutex also catches a
    // second copy of this one when the driver would let it in.
    const std::string mutex_name = "Local\\pATU.COM" + number;
    HANDLE mutex = CreateMutexA(NULL, FALSE, mutex_name.c_str());
    DWORD error = mutex == NULL ? GetLastError() : 0;
    if (mutex != NULL && GetLastError() == ERROR_ALREADY_EXISTS) {
        error = ERROR_ALREADY_EXISTS;
        CloseHandle(mutex);
    }
    if (error != 0) {
        if (os_error) *os_error = error;
        return NO_PORT;
    }
    // The \\.\ prefix names the device itself, which is what makes ports
    // above COM9 reachable; it works the same for COM1 to COM9.
    const std::string device = "\\\\.\\COM" + number;
    HANDLE port = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, NULL);
    if (port == INVALID_HANDLE_VALUE) {
        if (os_error) *os_error = GetLastError();
        CloseHandle(mutex);
        return NO_PORT;
    }
    HANDLE event = CreateEventA(NULL, TRUE, TRUE, NULL);
    if (event == NULL) {
        if (os_error) *os_error = GetLastError();
        CloseHandle(port);
        CloseHandle(mutex);
        return NO_PORT;
    }
    if (os_error) *os_error = 0;
    PortHandle handle = reinterpret_cast<PortHandle>(port);
    port_extras[handle] = PortExtras{mutex, event};
    return handle;
}

void serial_setup_queues(PortHandle port, uint32_t rx_bytes, uint32_t tx_bytes) {
    SetupComm(handle_of(port), rx_bytes, tx_bytes);
}

void serial_set_line(PortHandle port, uint32_t baud, uint8_t data_bits, uint8_t parity) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(handle_of(port), &dcb);
    dcb.BaudRate = baud;
    dcb.ByteSize = data_bits;
    dcb.Parity = parity;
    SetCommState(handle_of(port), &dcb);
}

bool serial_set_timeouts(PortHandle port, const LineTimeouts& timeouts) {
    COMMTIMEOUTS values{};
    values.ReadIntervalTimeout = timeouts.read_interval_ms;
    values.ReadTotalTimeoutMultiplier = timeouts.read_total_multiplier_ms;
    values.ReadTotalTimeoutConstant = timeouts.read_total_constant_ms;
    values.WriteTotalTimeoutMultiplier = timeouts.write_total_multiplier_ms;
    values.WriteTotalTimeoutConstant = timeouts.write_total_constant_ms;
    return SetCommTimeouts(handle_of(port), &values) != FALSE;
}

void serial_purge(PortHandle port, uint32_t flags) {
    // One call per queue, transmit first when both are asked for.
    if (flags & PURGE_TXCLEAR_FLAG) PurgeComm(handle_of(port), PURGE_TXCLEAR);
    if (flags & PURGE_RXCLEAR_FLAG) PurgeComm(handle_of(port), PURGE_RXCLEAR);
}

bool serial_write(PortHandle port, const uint8_t* data, uint32_t count, uint32_t* done) {
    return transfer(port, count, done, [&](HANDLE h, OVERLAPPED* record) {
        return WriteFile(h, data, count, NULL, record) != FALSE;
    });
}

bool serial_read(PortHandle port, uint8_t* buffer, uint32_t count, uint32_t* done) {
    return transfer(port, count, done, [&](HANDLE h, OVERLAPPED* record) {
        return ReadFile(h, buffer, count, NULL, record) != FALSE;
    });
}

void serial_close(PortHandle port) {
    if (port < 0) return;
    CloseHandle(handle_of(port));
    auto it = port_extras.find(port);
    if (it != port_extras.end()) {
        CloseHandle(it->second.event);
        CloseHandle(it->second.mutex);
        port_extras.erase(it);
    }
}

}  // namespace plat

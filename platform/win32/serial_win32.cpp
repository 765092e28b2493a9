// Serial line primitives (Windows-specific): overlapped transfers, each waited
// for under the port's own time-outs.
#include <windows.h>

#include <map>
#include <string>

#include "../serial.h"

namespace plat {
namespace {

// Per open port, the named mutex that keeps a second copy of the program off it.
std::map<PortHandle, HANDLE> port_mutexes;

HANDLE handle_of(PortHandle port) { return reinterpret_cast<HANDLE>(port); }

// A transfer the port's time-outs ended short is no failure: Windows completes
// it as a success with fewer bytes, Wine, when no byte came, as an error of
// the time-out kind.
bool ended_by_time_out(DWORD error) {
    return error == WAIT_TIMEOUT || error == ERROR_SEM_TIMEOUT || error == ERROR_TIMEOUT;
}

// A transfer already started with `record`: wait for it without a limit (the
// port's time-outs end it) and fetch the count without waiting again. False
// when the system failed it rather than completing it, fully or short.
bool wait_for_transfer(HANDLE port, OVERLAPPED& record, uint32_t* moved) {
    *moved = 0;
    if (WaitForSingleObject(record.hEvent, INFINITE) != WAIT_OBJECT_0) return false;
    DWORD count = 0;
    if (!GetOverlappedResult(port, &record, &count, FALSE) && !ended_by_time_out(GetLastError())) return false;
    *moved = count;
    return true;
}

// One write or read with a zeroed transfer record and a manual-reset event of
// its own, created signalled, both gone before this returns. *refused: the
// system failed it (at once, or while it was pending).
template <typename Start>
bool transfer(PortHandle port, uint32_t count, uint32_t* done, bool* refused, Start start) {
    *done = 0;
    *refused = true;
    OVERLAPPED record{};
    record.hEvent = CreateEventA(NULL, TRUE, TRUE, NULL);
    if (record.hEvent == NULL) return false;
    const bool started = start(handle_of(port), &record) || GetLastError() == ERROR_IO_PENDING;
    *refused = !(started && wait_for_transfer(handle_of(port), record, done));
    CloseHandle(record.hEvent);
    return !*refused && *done == count;
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
    if (os_error) *os_error = 0;
    PortHandle handle = reinterpret_cast<PortHandle>(port);
    port_mutexes[handle] = mutex;
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
    bool refused = false;  // every failed write is the port's
    return transfer(port, count, done, &refused, [&](HANDLE h, OVERLAPPED* record) {
        return WriteFile(h, data, count, NULL, record) != FALSE;
    });
}

bool serial_read(PortHandle port, uint8_t* buffer, uint32_t count, uint32_t* done, bool* refused) {
    return transfer(port, count, done, refused, [&](HANDLE h, OVERLAPPED* record) {
        return ReadFile(h, buffer, count, NULL, record) != FALSE;
    });
}

void serial_close(PortHandle port) {
    if (port < 0) return;
    CloseHandle(handle_of(port));
    auto it = port_mutexes.find(port);
    if (it != port_mutexes.end()) {
        CloseHandle(it->second);
        port_mutexes.erase(it);
    }
}

}  // namespace plat

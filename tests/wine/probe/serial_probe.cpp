// serial_probe: runs the device link's routines on a real COM port under
// Wine, one check per command-line word group, and prints one result line
// per check for the Wine tests to read.
//
//   serial_probe.exe CHECK ARGS... [CHECK ARGS...]...
//
//   open N          ABRE_PORTA(N), keeping the port for the later checks;
//                   first notes the line settings the port reports untouched
//                                        -> "open status=S"
//   settings        the port's settings  -> "settings baud=B bits=D parity=P others=same|changed"
//                                           "timeouts RI RM RC WM WC"
//   sync XX         BYTE_SINC := 0xXX     -> "sync XX"
//   wake            the wake byte, 80 ms  -> "wake true"
//   G               COMANDO_G             -> "G true|false"
//   E ADDR          APAGA_PAGINA          -> "E true|false"
//   D               LE_SERIE              -> "D true|false TEXT"
//   W ADDR HEX      GRAVA_PAGINA_HEX      -> "W true|false"
//   F N HEX         GRAVA_BLOCO_HEX       -> "F true|false"
//   send HEX        one ESCREVE_PORTA per byte -> "send true|false"
//   read N          LE_PORTA(N)           -> "readN true|false count=C ms=T bytes=HEX"
//   cost N          N one-byte writes of 00 each way below; microseconds a write
//                   -> "cost escreve_porta us=T" (the real thing), then its
//                      parts: "cost event us=T" (make and release an event),
//                      "cost wait us=T" (wait on a signalled event),
//                      "cost writefile us=T" (WriteFile on one kept record),
//                      "cost writefile_no_event us=T" (the same, without event)
//   sleep MS        Sleep(MS)             -> "sleep MS"
//   close           DESCONECTA            -> "close"
//
// ADDR and XX are hexadecimal, N and MS decimal. Exit code 2 on bad usage.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "uSER_KV.h"

namespace {

using Args = std::vector<std::string>;

DCB dcb_before_open{};  // what the port reported before ABRE_PORTA touched it

HANDLE port_handle() { return reinterpret_cast<HANDLE>(PORTA); }

void print(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

const char* yes_no(bool b) { return b ? "true" : "false"; }

uint16_t hex16(const std::string& text) { return static_cast<uint16_t>(std::strtoul(text.c_str(), nullptr, 16)); }

std::vector<uint8_t> bytes_of(const std::string& hex) {
    std::vector<uint8_t> bytes(hex.size() / 2);
    if (!bytes.empty()) HEX_PARA_BYTES(hex, bytes.data(), static_cast<int>(bytes.size()));
    return bytes;
}

double now_ms() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The DCB of COM n as the port reports it, read through a handle of our own.
bool read_untouched_dcb(int n, DCB* dcb) {
    const std::string device = "\\\\.\\COM" + std::to_string(n);
    HANDLE h = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE) return false;
    dcb->DCBlength = sizeof *dcb;
    const bool ok = GetCommState(h, dcb) != FALSE;
    CloseHandle(h);
    return ok;
}

void open(const Args& a) {
    const int n = std::atoi(a.at(0).c_str());
    read_untouched_dcb(n, &dcb_before_open);
    uint8_t status = 0;
    plat::PortHandle port = ABRE_PORTA(n, status);
    if (status == ABRE_OK) {
        PORTA = port;
        PORTA_ABERTA = true;
    } else {
        FECHA_PORTA(port);
    }
    print("open status=" + std::to_string(status));
}

void settings(const Args&) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(port_handle(), &dcb);
    // Every other field must still read as before the open.
    DCB others = dcb;
    others.BaudRate = dcb_before_open.BaudRate;
    others.ByteSize = dcb_before_open.ByteSize;
    others.Parity = dcb_before_open.Parity;
    const bool same = std::memcmp(&others, &dcb_before_open, sizeof dcb) == 0;
    print("settings baud=" + std::to_string(dcb.BaudRate) + " bits=" + std::to_string(dcb.ByteSize) +
          " parity=" + std::to_string(dcb.Parity) + " others=" + (same ? "same" : "changed"));
    COMMTIMEOUTS t{};
    GetCommTimeouts(port_handle(), &t);
    print("timeouts " + std::to_string(t.ReadIntervalTimeout) + " " + std::to_string(t.ReadTotalTimeoutMultiplier) +
          " " + std::to_string(t.ReadTotalTimeoutConstant) + " " + std::to_string(t.WriteTotalTimeoutMultiplier) +
          " " + std::to_string(t.WriteTotalTimeoutConstant));
}

void send(const Args& a) {
    bool ok = true;
    uint32_t written = 0;
    for (uint8_t b : bytes_of(a.at(0))) ok = ok && ESCREVE_PORTA(&b, 1, written);
    print(std::string("send ") + yes_no(ok));
}

void read(const Args& a) {
    const int n = std::atoi(a.at(0).c_str());
    std::vector<uint8_t> buffer(n > 0 ? n : 1);
    uint32_t count = 0;
    const double start = now_ms();
    const bool ok = LE_PORTA(n, buffer.data(), count);
    const long ms = static_cast<long>(now_ms() - start + 0.5);
    std::string hex;
    for (uint32_t i = 0; i < count; ++i) hex += BYTE_PARA_HEX(buffer[i]);
    print("read" + std::to_string(n) + " " + yes_no(ok) + " count=" + std::to_string(count) +
          " ms=" + std::to_string(ms) + " bytes=" + hex);
}

// Microseconds per call of `step`, over n calls.
template <typename Step>
void time_per_call(const char* name, int n, Step step) {
    const double start = now_ms();
    for (int i = 0; i < n; ++i) step();
    print(std::string("cost ") + name + " us=" + std::to_string(static_cast<long>((now_ms() - start) * 1000.0 / n)));
}

void cost(const Args& a) {
    const int n = std::max(1, std::atoi(a.at(0).c_str()));
    const uint8_t zero = 0;
    uint32_t written = 0;
    time_per_call("escreve_porta", n, [&] { ESCREVE_PORTA(&zero, 1, written); });
    time_per_call("event", n, [] { CloseHandle(CreateEventA(NULL, TRUE, TRUE, NULL)); });
    HANDLE event = CreateEventA(NULL, TRUE, TRUE, NULL);
    time_per_call("wait", n, [&] { WaitForSingleObject(event, INFINITE); });
    OVERLAPPED record{};
    record.hEvent = event;
    auto write_one = [&] {
        DWORD moved = 0;
        if (!WriteFile(port_handle(), &zero, 1, NULL, &record) && GetLastError() == ERROR_IO_PENDING)
            GetOverlappedResult(port_handle(), &record, &moved, TRUE);
    };
    time_per_call("writefile", n, write_one);
    record.hEvent = NULL;
    time_per_call("writefile_no_event", n, write_one);
    CloseHandle(event);
}

struct Check {
    size_t args;
    std::function<void(const Args&)> run;
};

const std::map<std::string, Check> CHECKS = {
    {"open", {1, open}},
    {"settings", {0, settings}},
    {"sync", {1, [](const Args& a) {
                  BYTE_SINC = static_cast<uint8_t>(hex16(a[0]));
                  print("sync " + BYTE_PARA_HEX(BYTE_SINC));
              }}},
    {"wake", {0, [](const Args&) {
                  uint32_t written = 0;
                  const bool ok = ESCREVE_PORTA(&BYTE_DESPERTA, 1, written);
                  Sleep(PAUSA_DESPERTA_MS);
                  print(std::string("wake ") + yes_no(ok));
              }}},
    {"G", {0, [](const Args&) { print(std::string("G ") + yes_no(COMANDO_G())); }}},
    {"E", {1, [](const Args& a) { print(std::string("E ") + yes_no(APAGA_PAGINA(hex16(a[0])))); }}},
    {"D", {0, [](const Args&) {
               std::string text;
               const bool ok = LE_SERIE(text);
               print(std::string("D ") + yes_no(ok) + " " + text);
           }}},
    {"W", {2, [](const Args& a) { print(std::string("W ") + yes_no(GRAVA_PAGINA_HEX(hex16(a[0]), a[1]))); }}},
    {"F", {2, [](const Args& a) {
               const uint16_t block = static_cast<uint16_t>(std::atoi(a[0].c_str()));
               print(std::string("F ") + yes_no(GRAVA_BLOCO_HEX(block, a[1])));
           }}},
    {"send", {1, send}},
    {"read", {1, read}},
    {"cost", {1, cost}},
    {"sleep", {1, [](const Args& a) {
                   Sleep(static_cast<DWORD>(std::atoi(a[0].c_str())));
                   print("sleep " + a[0]);
               }}},
    {"close", {0, [](const Args&) {
                   DESCONECTA();
                   print("close");
               }}},
};

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc;) {
        auto check = CHECKS.find(argv[i]);
        if (check == CHECKS.end() || i + check->second.args >= static_cast<size_t>(argc)) {
            std::fprintf(stderr, "serial_probe: bad check at \"%s\"\n", argv[i]);
            return 2;
        }
        const Args args(argv + i + 1, argv + i + 1 + check->second.args);
        check->second.run(args);
        i += 1 + static_cast<int>(check->second.args);
    }
    DESCONECTA();
    return 0;
}

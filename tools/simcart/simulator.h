// Cartridge simulator: plays the cartridge's loader on a pseudo-terminal, for
// the tests and the demo. Used in-process by native tests and by the simcart
// command-line tool.
#pragma once
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sim {

class Line;
struct Frame;

// The loader's data-byte encoding: nibbles swapped and all bits inverted
// (CODIFICA_BYTE on the host side); its own inverse, so it also decodes.
uint8_t encode_byte(uint8_t b);

// The identity page the simcart tool uses when none is given: 12 AB 0F, then
// a fixed pattern.
std::array<uint8_t, 128> default_identity();

// Bytes as upper-case hexadecimal text, two digits a byte, as the report
// writes them.
std::string hex(const uint8_t* data, size_t count);

// Selects one command frame: the n-th (from 1) of all frames when `command`
// is 0, else the n-th frame with that command letter ('G','E','D','W','F').
// n == 0 selects nothing. Frames are counted as the log numbers them, so a
// malformed frame counts too (a fault never applies to it).
struct CommandSelector {
    char command = 0;
    int n = 0;
    bool matches(char letter, int nth_overall, int nth_of_letter) const;
};

struct Options {
    uint8_t sync_byte = 0x87;                  // generation: 0x87, 0x86 or 0x85
    std::array<uint8_t, 128> identity{};       // initial identity page (0x8000)
    bool silent = false;                       // answers nothing at all
    bool wrong_complement = false;             // answers the sync byte with a wrong byte
    bool garbage_before_complement = false;    // sends a few other bytes before the complement
    CommandSelector nak;                       // this frame is answered 02 55
    CommandSelector zero_length;               // this frame is answered 00
    CommandSelector short_reply;               // this reply stops one byte short of its length
    CommandSelector stall;                     // after the complement, this frame gets no reply
    CommandSelector hang_up;                   // on this frame the pty is closed (line pulled)
    int identity_change_after_reads = 0;       // after this many reads of 0x8000, bytes 0-2 change
    uint32_t reply_delay_ms = 0;               // extra delay before every reply
    bool paced = false;                        // 19200 baud, 10 bits a byte, both ways
    uint32_t latency_ms = 0;                   // a USB adapter's latency timer on bytes to the host
    bool finish_after_final_g = false;         // stop serving once a G after a W at 0x8000 is acked
};
// A faulted frame (nak, zero, short, stall, hang_up) is never carried out:
// only frames answered "ack" or "data" change the memory. reply_delay_ms
// applies to frame replies only, never to the handshake's complement.
// latency_ms holds every byte to the host, the complement too: the first byte
// of a burst starts the timer, and when it fires the burst goes out at once.

struct LogEntry {
    int n = 0;                  // frame number, from 1
    char command = 0;           // 'G', 'E', 'D', 'W', 'F'
    std::vector<uint8_t> frame; // every byte of the frame, as received (length byte first)
    uint16_t address = 0;       // address (E, D, W) or block number (F)
    uint8_t half = 0;           // F: 0x00 or 0x80
    std::string outcome;        // "ack", "nak", "zero", "short", "stall", "hangup", "data", "bad"
    double t_ms = 0;            // when the frame was complete, from start()
};

class Simulator {
public:
    explicit Simulator(Options options);
    ~Simulator();  // stops
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens a pty (raw, and keeps its slave open itself so that a client's
    // close is not a hang-up) and starts serving it on a thread of its own.
    bool start(std::string* error);
    void stop();
    const std::string& slave_path() const;
    // Serving has ended: by stop(), a hang-up fault, or the final G.
    bool finished() const;

    // State as the loader holds it; decoded bytes as the host meant them.
    std::array<uint8_t, 65536> pages() const;                    // page memory, 0xFF where never written
    std::map<uint16_t, std::array<uint8_t, 256>> blocks() const; // every Block written, by number
    std::vector<LogEntry> log() const;
    std::vector<uint8_t> bytes_received() const;                 // every byte from the host, in order
    // Sync bytes answered so far, counted before the answer goes out: a host
    // that has its complement back is owed a log entry for the frame it sends.
    int handshakes() const;
    // W and F frames carried out, in order: "W 8C00" (hex address), "F 14/80"
    // (decimal block number, hex half).
    std::vector<std::string> writes() const;
    // {"sync_byte":"87","pages":{"8000":"hex"..},"identity":"hex",
    //  "blocks":{"0":"hex"..},"log":[..],"writes":[..]}. Pages are 128-byte
    // aligned pages holding anything but 0xFF, plus every W address.
    std::string report_json() const;

private:
    void serve();
    bool answer_sync(Line& line);  // these three return false once serving must end
    bool read_frame(Line& line, std::vector<uint8_t>* frame, double* t_ms);
    bool handle_frame(Line& line, const std::vector<uint8_t>& bytes, double t_ms);
    std::string fault_for(const Frame& frame, int n);
    std::vector<uint8_t> reply_for(const Frame& frame) const;
    void carry_out(const Frame& frame);
    void wait_until_read(Line& line);
    void close_line();
    double ms_since_start() const;

    Options options_;
    int master_ = -1;
    int slave_keep_ = -1;
    std::string slave_path_;
    int wake_[2] = {-1, -1};       // stop() writes here to end every wait
    std::atomic<bool> running_{false};
    std::atomic<bool> finished_{false};
    std::chrono::steady_clock::time_point started_;
    int frames_ = 0;                       // frames received, as the log numbers them
    std::atomic<int> handshakes_{0};
    std::map<char, int> frames_by_letter_;
    int identity_reads_ = 0;
    bool identity_written_ = false;        // a W at 0x8000 was carried out
    std::thread thread_;
    mutable std::mutex mutex_;
    std::array<uint8_t, 65536> pages_;
    std::map<uint16_t, std::array<uint8_t, 256>> blocks_;
    std::vector<LogEntry> log_;
    std::vector<uint8_t> received_;
};

}  // namespace sim

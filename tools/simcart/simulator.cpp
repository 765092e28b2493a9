// The loader's session on the pty: idle until its sync byte, the complement,
// one frame, its reply; with the faults and the pacing the options ask for.
#include "simulator.h"

#include "frame.h"
#include "line.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace sim {

namespace {

// A frame byte later than this after the previous one ends the frame: the
// host sends a frame's bytes back to back, and waits far longer than this for
// the reply before it sends another sync byte.
constexpr std::chrono::milliseconds FRAME_GAP{500};
// Once serving ends by itself, the client gets this long to read what is
// still in the pty buffer before the line may be closed. Bytes written to the
// master reach the slave's queue a moment later, so that queue is only looked
// at after DRAIN_SETTLE; the host itself pauses 80 ms before it reads.
constexpr std::chrono::milliseconds DRAIN_LIMIT{2000};
constexpr std::chrono::milliseconds DRAIN_SETTLE{40};
constexpr std::chrono::milliseconds DRAIN_CHECK{10};
const std::vector<uint8_t> LINE_NOISE = {0x00, 0xFF, 0x55};

void close_fd(int* fd) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
}

}  // namespace

Simulator::Simulator(Options options) : options_(options) {
    pages_.fill(0xFF);
    std::copy(options_.identity.begin(), options_.identity.end(), pages_.begin() + IDENTITY_ADDRESS);
}

Simulator::~Simulator() { stop(); }

bool Simulator::start(std::string* error) {
    if (master_ >= 0 || thread_.joinable()) {
        if (error) *error = "the simulator is already serving";
        return false;
    }
    if (!open_pty(&master_, &slave_keep_, &slave_path_, error)) return false;
    if (pipe2(wake_, O_CLOEXEC) != 0) {
        if (error) *error = "pipe2 failed";
        close_line();
        return false;
    }
    started_ = Clock::now();
    running_ = true;
    finished_ = false;
    thread_ = std::thread(&Simulator::serve, this);
    return true;
}

void Simulator::stop() {
    running_ = false;
    if (thread_.joinable()) {
        const char wake = 1;
        (void)!write(wake_[1], &wake, 1);
        thread_.join();
    }
    close_line();
    close_fd(&wake_[0]);
    close_fd(&wake_[1]);
    finished_ = true;
}

void Simulator::close_line() {
    close_fd(&master_);
    close_fd(&slave_keep_);
}

const std::string& Simulator::slave_path() const { return slave_path_; }
bool Simulator::finished() const { return finished_; }

double Simulator::ms_since_start() const {
    return std::chrono::duration<double, std::milli>(Clock::now() - started_).count();
}

void Simulator::serve() {
    Line line(master_, wake_[0], [this](const uint8_t* data, size_t count) {
        std::lock_guard<std::mutex> lock(mutex_);
        received_.insert(received_.end(), data, data + count);
    }, std::chrono::milliseconds(options_.latency_ms));
    bool serving = true;
    while (serving && running_) {
        uint8_t byte = 0;
        if (line.read_byte(Clock::time_point::max(), &byte) != Line::Wait::ready) break;
        // Idle: the wake byte, other generations' sync bytes and noise go unanswered.
        if (byte != options_.sync_byte || options_.silent) continue;
        if (!answer_sync(line)) break;
        if (options_.wrong_complement) continue;
        std::vector<uint8_t> frame;
        double t_ms = 0;
        if (!read_frame(line, &frame, &t_ms)) break;
        if (!frame.empty()) serving = handle_frame(line, frame, t_ms);
    }
    finished_ = true;
}

bool Simulator::answer_sync(Line& line) {
    ++handshakes_;
    std::vector<uint8_t> answer;
    if (options_.wrong_complement) {
        answer.push_back(options_.sync_byte);
    } else {
        if (options_.garbage_before_complement) answer = LINE_NOISE;
        answer.push_back(static_cast<uint8_t>(~options_.sync_byte));
    }
    return line.send(answer, options_.paced);
}

// An empty frame means none came after the complement. A frame shorter than
// its length byte says ends at the first gap and is then malformed.
bool Simulator::read_frame(Line& line, std::vector<uint8_t>* frame, double* t_ms) {
    uint8_t byte = 0;
    Line::Wait got = line.read_byte(Clock::now() + FRAME_GAP, &byte);
    if (got == Line::Wait::timeout) return true;
    if (got != Line::Wait::ready) return false;
    const Clock::time_point first = Clock::now();
    frame->push_back(byte);
    while (frame->size() < frame->front()) {
        got = line.read_byte(Clock::now() + FRAME_GAP, &byte);
        if (got == Line::Wait::timeout) break;
        if (got != Line::Wait::ready) return false;
        frame->push_back(byte);
    }
    // On a real line the frame is complete only once its line time has passed.
    if (options_.paced && !line.sleep_until(first + BYTE_TIME * static_cast<long>(frame->size()))) return false;
    *t_ms = ms_since_start();
    return true;
}

// The fault this frame is selected for, or "" when it is served normally.
// Called with the lock held.
std::string Simulator::fault_for(const Frame& frame, int n) {
    const int nth_of_letter = ++frames_by_letter_[frame.command];
    const std::pair<const CommandSelector*, const char*> faults[] = {
        {&options_.hang_up, "hangup"}, {&options_.stall, "stall"},        {&options_.nak, "nak"},
        {&options_.zero_length, "zero"}, {&options_.short_reply, "short"},
    };
    for (const auto& [selector, outcome] : faults)
        if (selector->matches(frame.command, n, nth_of_letter)) return outcome;
    return "";
}

bool Simulator::handle_frame(Line& line, const std::vector<uint8_t>& bytes, double t_ms) {
    const Frame frame = parse_frame(bytes);
    std::string outcome;
    std::vector<uint8_t> reply;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const int n = ++frames_;
        outcome = frame.valid ? fault_for(frame, n) : "bad";
        if (outcome.empty()) outcome = frame.command == 'D' ? "data" : "ack";
        log_.push_back({n, frame.command, bytes, frame.address, frame.half, outcome, t_ms});
        if (frame.valid) reply = reply_for(frame);
        if (outcome == "ack" || outcome == "data") carry_out(frame);
    }
    if (outcome == "bad" || outcome == "stall") return true;
    if (outcome == "hangup") {
        close_line();
        return false;
    }
    if (outcome == "nak") reply = {2, NAK};
    if (outcome == "zero") reply = {0};
    if (outcome == "short") reply.pop_back();
    if (options_.reply_delay_ms > 0 &&
        !line.sleep_until(Clock::now() + std::chrono::milliseconds(options_.reply_delay_ms)))
        return false;
    if (!line.send(reply, options_.paced)) return false;
    if (options_.finish_after_final_g && frame.command == 'G' && outcome == "ack" && identity_written_) {
        wait_until_read(line);
        return false;
    }
    return true;
}

void Simulator::wait_until_read(Line& line) {
    if (!line.sleep_until(line.delivered_by())) return;
    const Clock::time_point limit = Clock::now() + DRAIN_LIMIT;
    if (!line.sleep_until(Clock::now() + DRAIN_SETTLE)) return;
    int pending = 0;
    while (ioctl(slave_keep_, FIONREAD, &pending) == 0 && pending > 0 && Clock::now() < limit)
        if (!line.sleep_until(Clock::now() + DRAIN_CHECK)) return;
}

std::array<uint8_t, 65536> Simulator::pages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pages_;
}

std::map<uint16_t, std::array<uint8_t, 256>> Simulator::blocks() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return blocks_;
}

std::vector<LogEntry> Simulator::log() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
}

std::vector<uint8_t> Simulator::bytes_received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

int Simulator::handshakes() const { return handshakes_; }

}  // namespace sim

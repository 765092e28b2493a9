// simcart: a cartridge's loader on a pseudo-terminal, for the demo and for
// tests that drive the Windows program.
#include "simulator.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <type_traits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char USAGE[] =
    "Usage: simcart [OPTION]...\n"
    "Plays a cartridge's loader on a pseudo-terminal. Once serving, prints the\n"
    "terminal's path on one line, then serves until SIGTERM or SIGINT.\n"
    "\n"
    "  --link PATH            also make PATH a symbolic link to the terminal\n"
    "                         (an existing link there is replaced)\n"
    "  --generation 87|86|85  sync byte the loader answers (default 87)\n"
    "  --identity HEX         identity page at 0x8000: up to 256 hex digits, the\n"
    "                         rest 0xFF (default: 12 AB 0F, then a fixed pattern)\n"
    "  --report PATH          write the JSON report to PATH on exit\n"
    "  --exit-after-final-g   exit once a G that follows a W at 0x8000 is acked\n"
    "                         and the reply has been read\n"
    "  --help                 show this text\n"
    "\n"
    "Faults. FRAME is N (the N-th frame of all) or L:N (the N-th frame with\n"
    "command letter L, one of G E D W F); a faulted frame is not carried out.\n"
    "  --silent               never answer anything\n"
    "  --wrong-complement     answer the sync byte with itself, then ignore the frame\n"
    "  --garbage              send 00 FF 55 before every complement\n"
    "  --nak FRAME            answer that frame 02 55\n"
    "  --zero-length FRAME    answer that frame with a single 00\n"
    "  --short FRAME          send that frame's reply one byte short\n"
    "  --stall FRAME          read that frame and never answer it\n"
    "  --hang-up FRAME        close the terminal on that frame, then exit\n"
    "  --identity-change N    after N reads of 0x8000, invert its bytes 0 to 2\n"
    "  --delay MS             wait MS before every frame reply (not the complement)\n"
    "  --paced                19200 baud timing, 10 bits a byte, both ways\n"
    "  --latency MS           hold bytes to the host as a USB adapter's latency\n"
    "                         timer does: a burst goes out MS after its first byte\n"
    "\n"
    "Exit status: 0 done, 1 the terminal, link or report failed, 2 bad usage.\n";

struct Settings {
    sim::Options options;
    std::string link;
    std::string report;
};

bool parse_number(const std::string& text, long low, long high, long* value) {
    char* end = nullptr;
    errno = 0;
    *value = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && errno == 0 && *value >= low && *value <= high;
}

bool parse_selector(const std::string& text, sim::CommandSelector* selector) {
    std::string count = text;
    selector->command = 0;
    if (text.size() > 2 && text[1] == ':') {
        if (std::string("GEDWF").find(text[0]) == std::string::npos) return false;
        selector->command = text[0];
        count = text.substr(2);
    }
    long n = 0;
    if (!parse_number(count, 1, 1000000, &n)) return false;
    selector->n = static_cast<int>(n);
    return true;
}

bool parse_identity(const std::string& text, std::array<uint8_t, 128>* page) {
    if (text.size() % 2 != 0 || text.size() > 256) return false;
    page->fill(0xFF);
    for (size_t i = 0; i < text.size(); i += 2) {
        char* end = nullptr;
        const std::string pair = text.substr(i, 2);
        (*page)[i / 2] = static_cast<uint8_t>(std::strtoul(pair.c_str(), &end, 16));
        if (*end != '\0' || !std::isxdigit(static_cast<unsigned char>(pair[0]))) return false;
    }
    return true;
}

// Fills `settings` from the arguments; false, with a message, on bad usage.
bool parse_arguments(int argc, char** argv, Settings* settings, std::string* message) {
    sim::Options& o = settings->options;
    o.identity = sim::default_identity();
    const std::map<std::string, bool*> flags = {
        {"--silent", &o.silent},   {"--wrong-complement", &o.wrong_complement},
        {"--garbage", &o.garbage_before_complement}, {"--paced", &o.paced},
        {"--exit-after-final-g", &o.finish_after_final_g},
    };
    using Setter = std::function<bool(const std::string&)>;
    auto selector = [](sim::CommandSelector* s) -> Setter {
        return [s](const std::string& v) { return parse_selector(v, s); };
    };
    auto text = [](std::string* t) -> Setter {
        return [t](const std::string& v) { *t = v; return true; };
    };
    auto number = [](auto* n, long lowest, long highest) -> Setter {
        return [=](const std::string& v) {
            long value = 0;
            const bool ok = parse_number(v, lowest, highest, &value);
            *n = static_cast<std::remove_pointer_t<decltype(n)>>(value);
            return ok;
        };
    };
    const std::map<std::string, Setter> valued = {
        {"--nak", selector(&o.nak)},
        {"--zero-length", selector(&o.zero_length)},
        {"--short", selector(&o.short_reply)},
        {"--stall", selector(&o.stall)},
        {"--hang-up", selector(&o.hang_up)},
        {"--link", text(&settings->link)},
        {"--report", text(&settings->report)},
        {"--identity", [&o](const std::string& v) { return parse_identity(v, &o.identity); }},
        {"--generation",
         [&o](const std::string& v) {
             o.sync_byte = static_cast<uint8_t>(std::strtoul(v.c_str(), nullptr, 16));
             return v == "87" || v == "86" || v == "85";
         }},
        {"--identity-change", number(&o.identity_change_after_reads, 1, 1000000)},
        {"--delay", number(&o.reply_delay_ms, 0, 600000)},
        {"--latency", number(&o.latency_ms, 0, 1000)},
    };
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (flags.count(name)) {
            *flags.at(name) = true;
        } else if (!valued.count(name)) {
            *message = "unknown option: " + name;
            return false;
        } else if (i + 1 >= argc) {
            *message = "missing value for " + name;
            return false;
        } else if (!valued.at(name)(argv[++i])) {
            *message = "bad value for " + name + ": " + argv[i];
            return false;
        }
    }
    return true;
}

bool make_link(const std::string& link, const std::string& target) {
    struct stat st{};
    if (lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {  // never replace anything but a link
            errno = EEXIST;
            return false;
        }
        if (unlink(link.c_str()) != 0) return false;
    }
    return symlink(target.c_str(), link.c_str()) == 0;
}

// Removes the link only while it still points to our terminal.
void remove_link(const std::string& link, const std::string& target) {
    char points_to[4096];
    const ssize_t n = readlink(link.c_str(), points_to, sizeof points_to - 1);
    if (n > 0 && std::string(points_to, static_cast<size_t>(n)) == target) unlink(link.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(USAGE, stdout);
            return 0;
        }
    Settings settings;
    std::string message;
    if (!parse_arguments(argc, argv, &settings, &message)) {
        std::fprintf(stderr, "simcart: %s\nTry 'simcart --help'.\n", message.c_str());
        return 2;
    }

    // Signals are taken with sigtimedwait below; the serving thread inherits the mask.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGTERM);
    sigaddset(&stop_signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    sim::Simulator simulator(settings.options);
    if (!simulator.start(&message)) {
        std::fprintf(stderr, "simcart: cannot open a pseudo-terminal: %s\n", message.c_str());
        return 1;
    }
    const std::string slave = simulator.slave_path();
    if (!settings.link.empty() && !make_link(settings.link, slave)) {
        std::fprintf(stderr, "simcart: cannot link %s to %s: %s\n", settings.link.c_str(), slave.c_str(),
                     std::strerror(errno));
        return 1;
    }
    std::printf("%s\n", slave.c_str());
    std::fflush(stdout);

    const timespec tick{0, 100 * 1000 * 1000};
    while (!simulator.finished()) {
        const int signal = sigtimedwait(&stop_signals, nullptr, &tick);
        if (signal == SIGTERM || signal == SIGINT) break;
    }
    simulator.stop();
    if (!settings.link.empty()) remove_link(settings.link, slave);
    if (!settings.report.empty()) {
        std::ofstream out(settings.report, std::ios::binary | std::ios::trunc);
        out << simulator.report_json();
        if (!out.flush()) {
            std::fprintf(stderr, "simcart: cannot write the report to %s\n", settings.report.c_str());
            return 1;
        }
    }
    return 0;
}

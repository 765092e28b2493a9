// What an attempt asks of the host, each asked for once and given back once
// whichever way the attempt ends: the 1 ms system timer from the confirmation,
// while the port is still closed (so before the wake byte), until the port is
// released; keeping the PC awake from the port's opening until its release.
#include <map>

#include "app_fixture.h"
#include "posix/host_requests.h"
#include "posix/serial_ports.h"
#include "pty_peer.h"
#include "uSER_KV.h"

namespace {

// A request as the host saw it, with the attempt's state at that moment.
struct Request {
    bool on;
    bool port_open;
    size_t reports;  // dialogs and boxes shown so far
};

constexpr char TIMER[] = "fine timer", AWAKE[] = "keep awake";

// A loader that completes every handshake and refuses every identity read,
// except that of the generation `reads_for` (0: none), which gets a blank
// identity page: the attempt ends in message 3, or in message 4 for 0x86.
void play_loader(testing_pty::PtyPeer& line, uint8_t reads_for) {
    line.play([reads_for](testing_pty::PtyPeer& peer) {
        for (int handshakes = 0; handshakes < 3;) {
            const testing_pty::Bytes got = peer.read(1, 10000);
            if (got.empty()) return;
            const uint8_t sync = got[0];
            if (sync < 0x85 || sync > 0x87) continue;  // the wake byte
            ++handshakes;
            peer.write({static_cast<uint8_t>(~sync)});
            peer.read(4, 10000);  // the D frame
            if (sync != reads_for) {
                peer.write({0x02, 0x55});
                continue;
            }
            testing_pty::Bytes page = {0x82, ACK};
            page.resize(130, 0xFF);
            peer.write(page);
            return;
        }
    });
}

}  // namespace

class HostRequests : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        plat::set_host_observer([this](const std::string& request) {
            for (const char* kind : {TIMER, AWAKE})
                if (request.rfind(kind, 0) == 0)
                    requests[kind].push_back(
                        {request == std::string(kind) + " on", PORTA_ABERTA, dialogs.size() + boxes().size()});
        });
        start_program(pkggen::make_package(pkggen::small_shape()));
    }
    void TearDown() override {
        plat::set_host_observer(nullptr);
        AppTest::TearDown();
    }

    // The timer asked once after the confirmation, before the port was
    // opened; given back once, after the port was closed and everything was
    // shown. The PC kept awake the same way while the port was open, unless
    // it never opened.
    void expect_held_through_the_attempt(bool port_opened = true) {
        const std::vector<Request>& timer = requests[TIMER];
        ASSERT_EQ(timer.size(), 2u);
        EXPECT_TRUE(timer[0].on);
        EXPECT_FALSE(timer[0].port_open);
        EXPECT_EQ(timer[0].reports, 1u);
        EXPECT_FALSE(timer[1].on);
        EXPECT_FALSE(timer[1].port_open);
        EXPECT_EQ(timer[1].reports, dialogs.size() + boxes().size());
        EXPECT_FALSE(PORTA_ABERTA);

        const std::vector<Request>& awake = requests[AWAKE];
        if (!port_opened) {
            EXPECT_TRUE(awake.empty());
            return;
        }
        ASSERT_EQ(awake.size(), 2u);
        EXPECT_TRUE(awake[0].on);
        EXPECT_TRUE(awake[0].port_open);
        EXPECT_EQ(awake[0].reports, 1u);
        EXPECT_FALSE(awake[1].on);
        EXPECT_FALSE(awake[1].port_open);
        EXPECT_EQ(awake[1].reports, dialogs.size() + boxes().size());
    }

    std::map<std::string, std::vector<Request>> requests;  // by kind, in order
};

TEST_F(HostRequests, NeverAskedWhenTheConfirmationIsCancelled) {
    attach_cartridge();
    press_update(false);
    EXPECT_TRUE(requests.empty());
}

TEST_F(HostRequests, GivenBackAfterMessage1) {
    plat::serial_set_device_path(1, "/dev/nonexistent-port");
    press_update();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].caption, "Erro de comunicação");
    expect_held_through_the_attempt(false);
}

TEST_F(HostRequests, GivenBackAfterMessage3) {
    testing_pty::PtyPeer line;
    ASSERT_TRUE(line.ok());
    plat::serial_set_device_path(1, line.slave_path());
    play_loader(line, 0);
    press_update();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].lines.at(0), "Não foi possível comunicar com o aparelho.");
    expect_held_through_the_attempt();
}

TEST_F(HostRequests, GivenBackAfterMessage4) {
    testing_pty::PtyPeer line;
    ASSERT_TRUE(line.ok());
    plat::serial_set_device_path(1, line.slave_path());
    play_loader(line, 0x86);
    press_update();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].caption, "Incompatibilidade de Versão");
    expect_held_through_the_attempt();
}

TEST_F(HostRequests, GivenBackAfterASwappedCartridge) {
    sim::Options options = default_cartridge();
    options.identity_change_after_reads = 1;
    attach_cartridge(options);
    press_update();
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].rfind("Este aparelho não corresponde", 0), 0u) << boxes()[0];
    expect_held_through_the_attempt();
}

TEST_F(HostRequests, GivenBackAfterTheFailureBox) {
    sim::Options options = default_cartridge();
    options.nak = {'W', 3};
    attach_cartridge(options);
    press_update();
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].rfind("A atualização não foi concluída", 0), 0u) << boxes()[0];
    expect_held_through_the_attempt();
}

TEST_F(HostRequests, GivenBackAfterACompletedUpdate) {
    attach_cartridge();
    press_update();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].lines.at(0), "Atualização concluída com sucesso!!");
    EXPECT_TRUE(ui::end_requested());
    expect_held_through_the_attempt();
}

// Each attempt asks anew: after message 3 on one port, a completed update on
// another.
TEST_F(HostRequests, EachAttemptAsksOnce) {
    testing_pty::PtyPeer line;
    ASSERT_TRUE(line.ok());
    plat::serial_set_device_path(1, line.slave_path());
    play_loader(line, 0);
    attach_cartridge(default_cartridge(), 2);
    press_update();
    ui::headless::click(control("pnCOM2"));
    press_update();
    ASSERT_EQ(dialogs.size(), 4u);
    for (const char* kind : {TIMER, AWAKE}) {
        const std::vector<Request>& made = requests[kind];
        ASSERT_EQ(made.size(), 4u) << kind;
        for (size_t i = 0; i < made.size(); ++i) EXPECT_EQ(made[i].on, i % 2 == 0) << kind << " " << i;
        EXPECT_EQ(made[2].reports, 3u) << kind;  // the second confirmation
    }
}

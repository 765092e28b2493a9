// The serial port of uSER_KV on a real pty: opening, exclusivity, and the
// completion rules of reads and writes with their real time-outs.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include <gtest/gtest.h>

#include "posix/serial_ports.h"
#include "pty_peer.h"
#include "uSER_KV.h"

using namespace testing_pty;

namespace {

constexpr int PORTA_TESTE = 9;

class PortaTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer.ok());
        plat::serial_set_device_path(PORTA_TESTE, peer.slave_path());
    }
    void TearDown() override {
        peer.join();
        DESCONECTA();
        plat::serial_set_device_path(PORTA_TESTE, "");
    }
    // True when nobody holds the port: a fresh open of it gets through.
    bool port_free() {
        uint32_t error = 0;
        plat::PortHandle h = plat::serial_open(PORTA_TESTE, &error);
        if (h < 0) return false;
        plat::serial_close(h);
        return true;
    }
    PtyPeer peer;
};

// --- Device names -----------------------------------------------------------

TEST(PortaNome, PortNumberNamesTheMatchingTtyUnlessATestPathIsSet) {
    EXPECT_EQ(plat::serial_device_path(1), "/dev/ttyS0");
    EXPECT_EQ(plat::serial_device_path(6), "/dev/ttyS5");
    plat::serial_set_device_path(6, "/dev/pts/99");
    EXPECT_EQ(plat::serial_device_path(6), "/dev/pts/99");
    plat::serial_set_device_path(6, "");
    EXPECT_EQ(plat::serial_device_path(6), "/dev/ttyS5");
}

// --- CONECTA / DESCONECTA -------------------------------------------------

TEST_F(PortaTest, ConnectOpensThePortAndMarksItOpen) {
    EXPECT_TRUE(CONECTA(PORTA_TESTE));
    EXPECT_TRUE(PORTA_ABERTA);
    EXPECT_GE(PORTA, 0);
}

TEST_F(PortaTest, OpenedPortRuns19200EightBitsNoParityRaw) {
    ASSERT_TRUE(CONECTA(PORTA_TESTE));
    termios tio{};
    ASSERT_EQ(tcgetattr(peer.slave_fd(), &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B19200));
    EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B19200));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & PARENB, 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
}

TEST_F(PortaTest, MissingPortFailsAndStaysClosed) {
    plat::serial_set_device_path(PORTA_TESTE, "/dev/nonexistent-patu-port");
    EXPECT_FALSE(CONECTA(PORTA_TESTE));
    EXPECT_FALSE(PORTA_ABERTA);
    EXPECT_EQ(ERRO_SO_PORTA, static_cast<uint32_t>(ENOENT));
    uint8_t status = ABRE_OK;
    EXPECT_LT(ABRE_PORTA(PORTA_TESTE, status), 0);
    EXPECT_EQ(status, ABRE_SEM_DISPOSITIVO);
}

TEST_F(PortaTest, DeviceThatIsNoTerminalIsNoPort) {
    plat::serial_set_device_path(PORTA_TESTE, "/dev/null");
    EXPECT_FALSE(CONECTA(PORTA_TESTE));
    EXPECT_FALSE(PORTA_ABERTA);
    EXPECT_EQ(ERRO_SO_PORTA, static_cast<uint32_t>(ENOTTY));
}

TEST_F(PortaTest, SecondConnectClosesTheStalePortAndFailsThirdOpensAgain) {
    ASSERT_TRUE(CONECTA(PORTA_TESTE));
    const plat::PortHandle velha = PORTA;
    EXPECT_FALSE(CONECTA(PORTA_TESTE));
    EXPECT_FALSE(PORTA_ABERTA);
    EXPECT_EQ(fcntl(static_cast<int>(velha), F_GETFD), -1);  // the stale descriptor is gone
    EXPECT_TRUE(port_free());
    EXPECT_TRUE(CONECTA(PORTA_TESTE));
    EXPECT_TRUE(PORTA_ABERTA);
}

TEST_F(PortaTest, OpenPortCannotBeOpenedASecondTime) {
    ASSERT_TRUE(CONECTA(PORTA_TESTE));
    uint32_t error = 0;
    EXPECT_LT(plat::serial_open(PORTA_TESTE, &error), 0);
    EXPECT_NE(error, 0u);
    DESCONECTA();
    EXPECT_FALSE(PORTA_ABERTA);
    EXPECT_TRUE(port_free());
}

TEST_F(PortaTest, DisconnectWithNothingOpenTouchesNothing) {
    int tubo[2];
    ASSERT_EQ(pipe(tubo), 0);
    PORTA = tubo[0];  // a handle that is not marked open must be left alone
    PORTA_ABERTA = false;
    DESCONECTA();
    EXPECT_NE(fcntl(tubo[0], F_GETFD), -1);
    EXPECT_FALSE(PORTA_ABERTA);
    PORTA = plat::NO_PORT;
    close(tubo[0]);
    close(tubo[1]);
}

// --- ESCREVE_PORTA ----------------------------------------------------------

TEST_F(PortaTest, WriteSendsEveryByteInOrder) {
    ASSERT_TRUE(CONECTA(PORTA_TESTE));
    const Bytes data{0x00, 0x11, 0xAB, 0xFF, 0x0D, 0x0A, 0x03};
    uint32_t written = 0;
    EXPECT_TRUE(ESCREVE_PORTA(data.data(), static_cast<int>(data.size()), written));
    EXPECT_EQ(written, data.size());
    EXPECT_EQ(peer.read(data.size(), 1000), data);
}

TEST_F(PortaTest, WriteWithoutAnOpenPortFails) {
    const uint8_t b = 0xAB;
    uint32_t written = 99;
    EXPECT_FALSE(ESCREVE_PORTA(&b, 1, written));
    EXPECT_EQ(written, 0u);
}

// --- LE_PORTA -----------------------------------------------------------------

TEST_F(PortaTest, ReadOfZeroBytesIsTrueAtOnce) {
    ASSERT_TRUE(CONECTA(PORTA_TESTE));
    uint8_t buffer[1];
    uint32_t got = 99;
    const auto start = Clock::now();
    EXPECT_TRUE(LE_PORTA(0, buffer, got));
    EXPECT_EQ(got, 0u);
    EXPECT_LT(ms_since(start), 20);
}

TEST_F(PortaTest, OneByteReadOnASilentLineFailsAfter100ms) {
    ASSERT_TRUE(CONECTA(PORTA_TESTE));
    uint8_t buffer[1];
    uint32_t got = 99;
    const auto start = Clock::now();
    EXPECT_FALSE(LE_PORTA(1, buffer, got));
    const double ms = ms_since(start);
    EXPECT_EQ(got, 0u);
    EXPECT_FALSE(LEITURA_RECUSADA);  // its time-outs ended it
    EXPECT_GE(ms, 99);
    EXPECT_LT(ms, 180);
}

TEST_F(PortaTest, ReadThatGetsAllItsBytesEndsAtOnce) {
    ASSERT_TRUE(CONECTA(PORTA_TESTE));
    peer.write({1, 2, 3, 4, 5});
    uint8_t buffer[5];
    uint32_t got = 0;
    const auto start = Clock::now();
    EXPECT_TRUE(LE_PORTA(5, buffer, got));
    EXPECT_EQ(got, 5u);
    EXPECT_EQ(Bytes(buffer, buffer + 5), (Bytes{1, 2, 3, 4, 5}));
    EXPECT_LT(ms_since(start), 50);
}

TEST_F(PortaTest, ThreeOfFiveBytesEndTheRead100msAfterTheThird) {
    ASSERT_TRUE(CONECTA(PORTA_TESTE));
    peer.play([](PtyPeer& p) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        p.write({0x31, 0x32, 0x33});
    });
    uint8_t buffer[5] = {};
    uint32_t got = 0;
    const auto start = Clock::now();
    EXPECT_FALSE(LE_PORTA(5, buffer, got));
    const double ms = ms_since(start);
    EXPECT_EQ(got, 3u);
    EXPECT_FALSE(LEITURA_RECUSADA);
    EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{0x31, 0x32, 0x33}));
    // Not at 100 ms (the gap rule starts with the first byte), not at 500 ms.
    EXPECT_GE(ms, 295);
    EXPECT_LT(ms, 420);
}

TEST_F(PortaTest, TricklingBytesAreCutAt100msPerByteInAll) {
    ASSERT_TRUE(CONECTA(PORTA_TESTE));
    peer.play([](PtyPeer& p) {
        // Gaps of 70 ms never trip the 100 ms gap rule; the fifth byte comes
        // after the 500 ms that a read of five bytes may take.
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        for (uint8_t b = 1; b <= 5; ++b) {
            p.write({b});
            std::this_thread::sleep_for(std::chrono::milliseconds(70));
        }
    });
    uint8_t buffer[5] = {};
    uint32_t got = 0;
    const auto start = Clock::now();
    EXPECT_FALSE(LE_PORTA(5, buffer, got));
    const double ms = ms_since(start);
    EXPECT_GE(got, 2u);
    EXPECT_LE(got, 4u);
    EXPECT_GE(ms, 495);
    EXPECT_LT(ms, 650);
}

// The system refuses the read, and says so, but the read fails only when its
// time is up.
TEST_F(PortaTest, ReadOnAHungUpLineIsRefusedOnlyWhenItsTimeIsUp) {
    ASSERT_TRUE(CONECTA(PORTA_TESTE));
    peer.hang_up();
    uint8_t buffer[3];
    uint32_t got = 99;
    auto start = Clock::now();
    EXPECT_FALSE(LE_PORTA(1, buffer, got));
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(LEITURA_RECUSADA);
    EXPECT_GE(ms_since(start), 99);  // no instant failure for a polling caller to spin on
    start = Clock::now();
    EXPECT_FALSE(LE_PORTA(3, buffer, got));
    EXPECT_TRUE(LEITURA_RECUSADA);
    EXPECT_GE(ms_since(start), 299);
}

}  // namespace

// Loader commands against the clock: the 5 s limits, the pauses, and the tick
// counter's wrap.
#include "loader_fixture.h"

using namespace testing_pty;

namespace {

using std::chrono::milliseconds;

TEST_F(LoaderTest, LoaderAnsweringAWrongByteGetsNoFrameAndFailsAfterALittleOver5s) {
    Bytes line;
    peer.play([&](PtyPeer& p) {
        line = p.read(1, PEER_WAIT_MS);
        p.write({0x79});  // the complement of another generation's sync byte
        line = concat(line, p.read_until_quiet(5600));
    });
    const auto start = Clock::now();
    EXPECT_FALSE(COMANDO_G());
    const double ms = ms_since(start);
    peer.join();
    EXPECT_EQ(ERRO_COM, ERRO_TEMPO);
    EXPECT_GE(ms, LIMITE_ESPERA_MS);
    EXPECT_LT(ms, LIMITE_ESPERA_MS + 400);
    EXPECT_EQ(line, Bytes{0x87});  // sent once, never repeated, no frame
}

TEST_F(LoaderTest, ComplementArrivingAfterTheLimitStillCountsAsATimeOut) {
    Bytes rest;
    peer.play([&](PtyPeer& p) {
        late_complement(p);
        rest = p.read_until_quiet(300);
    });
    EXPECT_FALSE(APAGA_PAGINA(0x8000));
    peer.join();
    EXPECT_EQ(ERRO_COM, ERRO_TEMPO);
    EXPECT_TRUE(rest.empty());
}

TEST_F(LoaderTest, LoaderThatNeverRepliesFailsOnceTheLimitHasPassed) {
    peer.play([&](PtyPeer& p) {
        take_frame(p);
        std::this_thread::sleep_for(milliseconds(250));  // the host polls meanwhile
        plat::advance_ticks(LIMITE_ESPERA_MS);
    });
    const auto start = Clock::now();
    EXPECT_FALSE(COMANDO_G());
    const double ms = ms_since(start);
    peer.join();
    EXPECT_EQ(ERRO_COM, ERRO_TEMPO);
    EXPECT_GE(ms, 250);   // kept polling until the limit
    EXPECT_LT(ms, 1000);  // and stopped soon after it
}

TEST_F(LoaderTest, HandshakeSpanningTheTickWrapDoesNotTimeOut) {
    // Put the counter 150 ms before its wrap; the loader answers after 300 ms.
    plat::advance_ticks(static_cast<uint32_t>(0u - 150u - plat::tick_ms()));
    const uint32_t before = plat::tick_ms();
    peer.play([&](PtyPeer& p) {
        p.read(1, PEER_WAIT_MS);
        std::this_thread::sleep_for(milliseconds(300));
        p.write({0x78});
        p.read(2, PEER_WAIT_MS);
        p.write({0x02, ACK});
    });
    EXPECT_TRUE(COMANDO_G());
    peer.join();
    EXPECT_EQ(ERRO_COM, ERRO_OK);
    EXPECT_LT(plat::tick_ms(), before);  // the counter did wrap meanwhile
}

TEST_F(LoaderTest, ReplyIsReadOnlyAfterAnAnswerPauseOf80ms) {
    plat::set_fast_forward(false);
    peer.play([&](PtyPeer& p) {
        take_frame(p);
        p.write({0x02, ACK});
    });
    const auto start = Clock::now();
    EXPECT_TRUE(COMANDO_G());
    EXPECT_GE(ms_since(start), PAUSA_RESPOSTA_MS);
}

TEST_F(LoaderTest, PageWriteWaits50msBetweenEraseAndWrite) {
    plat::set_fast_forward(false);
    const Bytes page(TAM_PAGINA, 0x00);
    double interval = 0;
    peer.play([&](PtyPeer& p) {
        take_frame(p);
        p.write({0x02, ACK});
        const auto ack = Clock::now();
        p.read(1, PEER_WAIT_MS);  // the sync byte of W
        interval = ms_since(ack);
        p.write({0x78});
        p.read(133, PEER_WAIT_MS);
        p.write({0x02, ACK});
    });
    EXPECT_TRUE(GRAVA_PAGINA(0x8000, page.data()));
    peer.join();
    // The host reads E's reply after its 80 ms pause, then pauses 50 ms more.
    EXPECT_GE(interval, PAUSA_RESPOSTA_MS + PAUSA_APAGA_GRAVA_MS - 5);
}

}  // namespace

// Loader commands on the wire: exact frames, the handshake, and which replies
// the host accepts.
#include <sys/ioctl.h>
#include <termios.h>

#include <cstring>

#include "loader_fixture.h"

using namespace testing_pty;

namespace {

constexpr uint8_t NAK = 0x55;
constexpr int QUIET_MS = 300;  // no more bytes within this: the host sent nothing more

Bytes counting(int n, int first = 0) {
    Bytes b;
    for (int i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(first + i));
    return b;
}

// --- Frames -------------------------------------------------------------------

TEST_F(LoaderTest, EraseSendsSyncByteAloneThenItsFourByteFrame) {
    Bytes line;
    peer.play([&](PtyPeer& p) {
        line = p.read(1, PEER_WAIT_MS);
        p.write({0x78});
        line = concat(line, p.read(4, PEER_WAIT_MS));
        p.write({0x02, ACK});
        line = concat(line, p.read_until_quiet(QUIET_MS));
    });
    EXPECT_TRUE(APAGA_PAGINA(0xB600));
    peer.join();
    EXPECT_EQ(line, (Bytes{0x87, 0x04, 0x45, 0xB6, 0x00}));
    EXPECT_EQ(RX_TAM, 2);
    EXPECT_EQ(RX_BUF[0], ACK);
}

TEST_F(LoaderTest, CommandGSendsItsTwoByteFrame) {
    Bytes frame;
    peer.play([&](PtyPeer& p) {
        frame = take_frame(p);
        p.write({0x02, ACK});
    });
    EXPECT_TRUE(COMANDO_G());
    peer.join();
    EXPECT_EQ(frame, (Bytes{0x02, 0x47}));
}

TEST_F(LoaderTest, EachSyncByteIsAnsweredByItsComplement) {
    for (uint8_t sync : {0x86, 0x85}) {
        BYTE_SINC = sync;
        Bytes frame;
        peer.play([&](PtyPeer& p) {
            frame = take_frame(p, sync);  // answers 0x79 to 0x86, 0x7A to 0x85
            p.write({0x02, ACK});
        });
        EXPECT_TRUE(COMANDO_G()) << int{sync};
        peer.join();
        EXPECT_EQ(frame, (Bytes{0x02, 0x47}));
    }
}

TEST_F(LoaderTest, PageWriteErasesThenSendsTheEncodedPage) {
    const Bytes page = counting(TAM_PAGINA);
    Bytes erase_frame, write_frame, rest;
    peer.play([&](PtyPeer& p) {
        erase_frame = take_frame(p);
        p.write({0x02, ACK});
        write_frame = take_frame(p);
        p.write({0x02, ACK});
        rest = p.read_until_quiet(QUIET_MS);
    });
    EXPECT_TRUE(GRAVA_PAGINA(0x8000, page.data()));
    peer.join();
    EXPECT_EQ(erase_frame, (Bytes{0x04, 0x45, 0x80, 0x00}));
    ASSERT_EQ(write_frame.size(), 133u);
    EXPECT_EQ(Bytes(write_frame.begin(), write_frame.begin() + 8), (Bytes{0x85, 0x57, 0x08, 0x80, 0x00, 0xFF, 0xEF, 0xDF}));
    EXPECT_EQ(write_frame, concat({0x85, 0x57, 0x08, 0x80, 0x00}, encoded_bytes(page.data(), TAM_PAGINA)));
    EXPECT_TRUE(rest.empty());
}

TEST_F(LoaderTest, PageWriteSendsNoWriteWhenTheEraseIsRefused) {
    const Bytes page = counting(TAM_PAGINA);
    Bytes erase_frame, rest;
    peer.play([&](PtyPeer& p) {
        erase_frame = take_frame(p);
        p.write({0x02, NAK});
        rest = p.read_until_quiet(QUIET_MS);
    });
    EXPECT_FALSE(GRAVA_PAGINA(0x9C80, page.data()));
    peer.join();
    EXPECT_EQ(erase_frame, (Bytes{0x04, 0x45, 0x9C, 0x80}));
    EXPECT_TRUE(rest.empty());
    EXPECT_EQ(CAUSA_FALHA(), FALHA_RECUSA);  // the erase's, since W was never sent
}

TEST_F(LoaderTest, BlockWriteSendsBothHalvesWithTheirOffsets) {
    const Bytes block = counting(TAM_BLOCO);
    Bytes low, high;
    peer.play([&](PtyPeer& p) {
        low = take_frame(p);
        p.write({0x02, ACK});
        high = take_frame(p);
        p.write({0x02, ACK});
    });
    EXPECT_TRUE(GRAVA_BLOCO(5, block.data()));
    peer.join();
    EXPECT_EQ(low, concat({0x85, 0x46, 0x00, 0x05, 0x00}, encoded_bytes(block.data(), 128)));
    EXPECT_EQ(high, concat({0x85, 0x46, 0x00, 0x05, 0x80}, encoded_bytes(block.data() + 128, 128)));
}

TEST_F(LoaderTest, BlockWriteSendsNoSecondHalfAfterARefusedFirst) {
    const Bytes block = counting(TAM_BLOCO);
    Bytes low, rest;
    peer.play([&](PtyPeer& p) {
        low = take_frame(p);
        p.write({0x02, NAK});
        rest = p.read_until_quiet(QUIET_MS);
    });
    EXPECT_FALSE(GRAVA_BLOCO(0x0102, block.data()));
    peer.join();
    EXPECT_EQ(Bytes(low.begin(), low.begin() + 5), (Bytes{0x85, 0x46, 0x01, 0x02, 0x00}));
    EXPECT_TRUE(rest.empty());
}

TEST_F(LoaderTest, BlockWriteSendsNoSecondHalfWhenTheFirstCannotBeSent) {
    const Bytes block = counting(TAM_BLOCO);
    Bytes rest;
    peer.play([&](PtyPeer& p) {
        late_complement(p);
        rest = p.read_until_quiet(QUIET_MS);
    });
    EXPECT_FALSE(GRAVA_BLOCO(5, block.data()));
    peer.join();
    EXPECT_EQ(ERRO_COM, ERRO_TEMPO);
    EXPECT_EQ(CAUSA_FALHA(), FALHA_SEM_RESPOSTA);
    EXPECT_TRUE(rest.empty());
}

// --- Hexadecimal pages and blocks ---------------------------------------------

// The data bytes of the W frame sent for `text`, as the host meant them.
class LoaderHexTest : public LoaderTest {
protected:
    Bytes written_page(const std::string& text) {
        Bytes write_frame;
        peer.play([&](PtyPeer& p) {
            take_frame(p);
            p.write({0x02, ACK});
            write_frame = take_frame(p);
            p.write({0x02, ACK});
        });
        EXPECT_TRUE(GRAVA_PAGINA_HEX(0x8080, text));
        peer.join();
        if (write_frame.size() != 133u) return {};
        Bytes data;
        for (size_t i = 5; i < write_frame.size(); ++i) data.push_back(encoded(write_frame[i]));
        return data;
    }
};

TEST_F(LoaderHexTest, TextOf254DigitsLeavesTheLastPageByteErased) {
    std::string text;
    for (int i = 0; i < 127; ++i) text += BYTE_PARA_HEX(static_cast<uint8_t>(i));
    const Bytes data = written_page(text);
    ASSERT_EQ(data.size(), 128u);
    EXPECT_EQ(Bytes(data.begin(), data.begin() + 127), counting(127));
    EXPECT_EQ(data[127], 0xFF);
}

TEST_F(LoaderHexTest, EmptyTextWritesZeroThenErasedBytes) {
    const Bytes data = written_page("");
    ASSERT_EQ(data.size(), 128u);
    EXPECT_EQ(data[0], 0x00);
    EXPECT_EQ(Bytes(data.begin() + 1, data.end()), Bytes(127, 0xFF));
}

TEST_F(LoaderHexTest, OverlongTextFillsThePageAndNoMore) {
    const Bytes data = written_page(std::string(600, 'A'));
    EXPECT_EQ(data, Bytes(128, 0xAA));
}

TEST_F(LoaderTest, BlockFromHexTextFillsBothHalves) {
    std::string text;
    for (int i = 0; i < TAM_BLOCO; ++i) text += BYTE_PARA_HEX(static_cast<uint8_t>(255 - i));
    Bytes low, high;
    peer.play([&](PtyPeer& p) {
        low = take_frame(p);
        p.write({0x02, ACK});
        high = take_frame(p);
        p.write({0x02, ACK});
    });
    EXPECT_TRUE(GRAVA_BLOCO_HEX(0x0010, text));
    peer.join();
    Bytes expected;
    for (int i = 0; i < TAM_BLOCO; ++i) expected.push_back(static_cast<uint8_t>(255 - i));
    EXPECT_EQ(low, concat({0x85, 0x46, 0x00, 0x10, 0x00}, encoded_bytes(expected.data(), 128)));
    EXPECT_EQ(high, concat({0x85, 0x46, 0x00, 0x10, 0x80}, encoded_bytes(expected.data() + 128, 128)));
}

// --- Page reads and the identity text -----------------------------------------

TEST_F(LoaderTest, IdentityTextComesFromTheFirstThreeBytesOfPage8000) {
    uint8_t identidade[TAM_PAGINA];
    std::memset(identidade, 0x5C, sizeof identidade);
    identidade[0] = 0x12;
    identidade[1] = 0xAB;
    identidade[2] = 0x0F;
    Bytes frame;
    peer.play([&](PtyPeer& p) {
        frame = take_frame(p);
        p.write(d_reply(identidade));
    });
    std::string text;
    EXPECT_TRUE(LE_SERIE(text));
    peer.join();
    EXPECT_EQ(frame, (Bytes{0x04, 0x44, 0x80, 0x00}));
    EXPECT_EQ(text, "3012AB0F");
}

TEST_F(LoaderTest, InfoReadHandsBackTheWholeDecodedPage) {
    const Bytes identidade = counting(TAM_PAGINA, 0x40);
    peer.play([&](PtyPeer& p) {
        take_frame(p);
        p.write(d_reply(identidade.data()));
    });
    std::string text;
    uint8_t page[TAM_PAGINA] = {};
    EXPECT_TRUE(LE_INFO(text, page));
    peer.join();
    EXPECT_EQ(text, "30404142");
    EXPECT_EQ(Bytes(page, page + TAM_PAGINA), identidade);
}

TEST_F(LoaderTest, FailedIdentityReadEmptiesTheText) {
    peer.play([&](PtyPeer& p) {
        take_frame(p);
        p.write(concat({0x82, 0xAA}, Bytes(100, 0x00)));  // 28 bytes short
    });
    std::string text = "3012AB0F";
    EXPECT_FALSE(LE_SERIE(text));
    peer.join();
    EXPECT_EQ(ERRO_COM, ERRO_LEITURA);
    EXPECT_EQ(CAUSA_FALHA(), FALHA_RESPOSTA_INCOMPLETA);
    EXPECT_TRUE(text.empty());
}

TEST_F(LoaderTest, ShortPageReplyIsAFailedReadNotStaleBytes) {
    const Bytes antiga = counting(TAM_PAGINA, 0x10);
    peer.play([&](PtyPeer& p) {
        take_frame(p);
        p.write(d_reply(antiga.data()));  // leaves a whole Page in the buffer
        take_frame(p);
        p.write(concat({0x20, 0xAA}, Bytes(30, 0x00)));  // complete, but 32 bytes only
    });
    uint8_t page[TAM_PAGINA];
    ASSERT_TRUE(LE_PAGINA(0x8000, page));
    std::memset(page, 0xEE, sizeof page);
    EXPECT_FALSE(LE_PAGINA(0x8000, page));
    peer.join();
    EXPECT_EQ(Bytes(page, page + TAM_PAGINA), Bytes(TAM_PAGINA, 0xEE));
    EXPECT_EQ(ERRO_COM, ERRO_OK);
    EXPECT_EQ(CAUSA_FALHA(), FALHA_RESPOSTA_INCOMPLETA);
}

// --- Replies ------------------------------------------------------------------

TEST_F(LoaderTest, ReplyOfLengthOneFailsAnAcknowledgedCommand) {
    peer.play([&](PtyPeer& p) {
        take_frame(p);
        p.write({0x01});
    });
    EXPECT_FALSE(APAGA_PAGINA(0x8000));
    peer.join();
    EXPECT_EQ(ERRO_COM, ERRO_OK);
    EXPECT_EQ(RX_TAM, 1);
    EXPECT_EQ(RX_BUF[0], 1);
    EXPECT_EQ(CAUSA_FALHA(), FALHA_RESPOSTA_INCOMPLETA);  // too short to hold an acknowledgement
}

TEST_F(LoaderTest, ReplyOfLengthZeroFails) {
    peer.play([&](PtyPeer& p) {
        take_frame(p);
        p.write({0x00});
    });
    EXPECT_FALSE(COMANDO_G());
    peer.join();
    EXPECT_EQ(ERRO_COM, ERRO_TAMANHO_ZERO);
    EXPECT_EQ(CAUSA_FALHA(), FALHA_RESPOSTA_INCOMPLETA);
}

TEST_F(LoaderTest, ReplyWithAMissingBodyFails) {
    peer.play([&](PtyPeer& p) {
        take_frame(p);
        p.write({0x02});
    });
    EXPECT_FALSE(COMANDO_G());
    peer.join();
    EXPECT_EQ(ERRO_COM, ERRO_LEITURA);
    EXPECT_EQ(CAUSA_FALHA(), FALHA_RESPOSTA_INCOMPLETA);
}

TEST_F(LoaderTest, RefusedCommandFailsOnItsAcknowledgement) {
    peer.play([&](PtyPeer& p) {
        take_frame(p);
        p.write({0x02, NAK});
    });
    EXPECT_FALSE(COMANDO_G());
    peer.join();
    EXPECT_EQ(ERRO_COM, ERRO_OK);
    EXPECT_EQ(RX_BUF[0], NAK);
    EXPECT_EQ(CAUSA_FALHA(), FALHA_RECUSA);
}

// --- The cause of a failure ---------------------------------------------------

TEST_F(LoaderTest, SucceededCommandHasNoCause) {
    peer.play([&](PtyPeer& p) {
        take_frame(p);
        p.write({0x02, ACK});
    });
    EXPECT_TRUE(COMANDO_G());
    peer.join();
    EXPECT_EQ(CAUSA_FALHA(), FALHA_NENHUMA);
}

// A D reply's acknowledgement is not looked at: a whole reply is a read, and
// one of an acknowledged command's length is too short for a Page.
TEST_F(LoaderTest, PageReadIsJudgedByItsLengthNotItsAcknowledgement) {
    const Bytes page = counting(TAM_PAGINA);
    peer.play([&](PtyPeer& p) {
        take_frame(p);
        Bytes refused_page = d_reply(page.data());
        refused_page[1] = NAK;
        p.write(refused_page);
        take_frame(p);
        p.write({0x02, NAK});
    });
    uint8_t read_back[TAM_PAGINA];
    EXPECT_TRUE(LE_PAGINA(0x8000, read_back));
    EXPECT_EQ(CAUSA_FALHA(), FALHA_NENHUMA);
    EXPECT_FALSE(LE_PAGINA(0x8000, read_back));
    peer.join();
    EXPECT_EQ(CAUSA_FALHA(), FALHA_RESPOSTA_INCOMPLETA);
}

// The loader takes the frame and never replies; the tick counter is moved
// past the limit once the host waits.
TEST_F(LoaderTest, UnansweredFrameIsNoAnswer) {
    peer.play([&](PtyPeer& p) {
        take_frame(p);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        plat::advance_ticks(LIMITE_ESPERA_MS + 1);
    });
    EXPECT_FALSE(APAGA_PAGINA(0x8000));
    peer.join();
    EXPECT_EQ(ERRO_COM, ERRO_TEMPO);
    EXPECT_EQ(CAUSA_FALHA(), FALHA_SEM_RESPOSTA);
}

TEST_F(LoaderTest, PulledLineIsAPortThatTakesNoBytes) {
    peer.hang_up();
    EXPECT_FALSE(COMANDO_G());
    EXPECT_EQ(ERRO_COM, ERRO_ESCRITA);
    EXPECT_EQ(CAUSA_FALHA(), FALHA_PORTA);
}

// The port stops taking bytes once the complement is on its way (its output
// suspended, as a stuck adapter's), and is gone once the host has read the
// complement: the write of the frame fails after the handshake, and the cause
// is the port's.
TEST_F(LoaderTest, FrameThePortRefusesAfterTheComplementIsThePorts) {
    Bytes line;
    peer.play([&](PtyPeer& p) {
        line = p.read(1, PEER_WAIT_MS);
        tcflow(p.slave_fd(), TCOOFF);
        p.write({0x78});
        int unread = 1;
        for (const auto start = Clock::now(); unread > 0 && ms_since(start) < PEER_WAIT_MS;)
            if (ioctl(p.slave_fd(), FIONREAD, &unread) != 0) break;
        line = concat(line, p.read_until_quiet(QUIET_MS));
        p.hang_up();
    });
    EXPECT_FALSE(COMANDO_G());
    peer.join();
    EXPECT_EQ(line, Bytes{0x87});  // the sync byte, and nothing of the frame
    EXPECT_EQ(ERRO_COM, ERRO_ESCRITA);
    EXPECT_EQ(CAUSA_FALHA(), FALHA_PORTA);
}

// The port goes away once the frame is in (an adapter pulled while the reply
// is awaited): the system refuses every read, the wait goes on to its limit
// as on a silent line, and the cause is the port's, not the cartridge's.
TEST_F(LoaderTest, ReplyWaitOnAPortGoneIsThePorts) {
    peer.play([&](PtyPeer& p) {
        take_frame(p);
        p.hang_up();
        std::this_thread::sleep_for(std::chrono::milliseconds(150));  // refused reads meanwhile
        plat::advance_ticks(LIMITE_ESPERA_MS + 1);
    });
    EXPECT_FALSE(APAGA_PAGINA(0x8000));
    peer.join();
    EXPECT_EQ(ERRO_COM, ERRO_TEMPO);
    EXPECT_TRUE(LEITURA_RECUSADA);
    EXPECT_EQ(CAUSA_FALHA(), FALHA_PORTA);
}

TEST_F(LoaderTest, BytesLeftOnTheLineAreDroppedBeforeTheHandshake) {
    // Stale bytes that would pass for a complement and an acknowledgement.
    peer.write({0x78, 0x02, ACK});
    Bytes frame;
    peer.play([&](PtyPeer& p) {
        frame = take_frame(p);
        p.write({0x02, NAK});
    });
    EXPECT_FALSE(COMANDO_G());
    peer.join();
    EXPECT_EQ(frame, (Bytes{0x02, 0x47}));
    EXPECT_EQ(RX_BUF[0], NAK);
}

TEST_F(LoaderTest, OtherBytesBeforeTheComplementAreSkippedAndSyncIsSentOnce) {
    Bytes line;
    peer.play([&](PtyPeer& p) {
        line = p.read(1, PEER_WAIT_MS);
        p.write({0x00, 0x87, 0x55, 0x79});
        std::this_thread::sleep_for(std::chrono::milliseconds(250));  // a few silent polls
        p.write({0x78});
        line = concat(line, p.read(2, PEER_WAIT_MS));
        p.write({0x02, ACK});
    });
    EXPECT_TRUE(COMANDO_G());
    peer.join();
    EXPECT_EQ(line, (Bytes{0x87, 0x02, 0x47}));
}

}  // namespace

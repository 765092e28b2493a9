// Loader commands on the wire: exact frames, the handshake, and which replies
// the host accepts.
#include <cstring>

#include "loader_fixture.h"

using namespace testing_pty;

namespace {

constexpr uint8_t NAK = 0x55;
constexpr int SILENCIO_MS = 300;  // no more bytes within this: the host sent nothing more

Bytes sequencia(int n, int primeiro = 0) {
    Bytes b;
    for (int i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(primeiro + i));
    return b;
}

// --- Frames -------------------------------------------------------------------

TEST_F(LoaderTest, EraseSendsSyncByteAloneThenItsFourByteFrame) {
    Bytes linha;
    peer.play([&](PtyPeer& p) {
        linha = p.read(1, ESPERA_PEER_MS);
        p.write({0x78});
        linha = concat(linha, p.read(4, ESPERA_PEER_MS));
        p.write({0x02, ACK});
        linha = concat(linha, p.read_until_quiet(SILENCIO_MS));
    });
    EXPECT_TRUE(APAGA_PAGINA(0xB600));
    peer.join();
    EXPECT_EQ(linha, (Bytes{0x87, 0x04, 0x45, 0xB6, 0x00}));
    EXPECT_EQ(RX_TAM, 2);
    EXPECT_EQ(RX_BUF[0], ACK);
}

TEST_F(LoaderTest, CommandGSendsItsTwoByteFrame) {
    Bytes quadro;
    peer.play([&](PtyPeer& p) {
        quadro = recebe_quadro(p);
        p.write({0x02, ACK});
    });
    EXPECT_TRUE(COMANDO_G());
    peer.join();
    EXPECT_EQ(quadro, (Bytes{0x02, 0x47}));
}

TEST_F(LoaderTest, EachSyncByteIsAnsweredByItsComplement) {
    for (uint8_t sinc : {0x86, 0x85}) {
        BYTE_SINC = sinc;
        Bytes quadro;
        peer.play([&](PtyPeer& p) {
            quadro = recebe_quadro(p, sinc);  // answers 0x79 to 0x86, 0x7A to 0x85
            p.write({0x02, ACK});
        });
        EXPECT_TRUE(COMANDO_G()) << int{sinc};
        peer.join();
        EXPECT_EQ(quadro, (Bytes{0x02, 0x47}));
    }
}

TEST_F(LoaderTest, PageWriteErasesThenSendsTheEncodedPage) {
    const Bytes pagina = sequencia(TAM_PAGINA);
    Bytes apaga, grava, resto;
    peer.play([&](PtyPeer& p) {
        apaga = recebe_quadro(p);
        p.write({0x02, ACK});
        grava = recebe_quadro(p);
        p.write({0x02, ACK});
        resto = p.read_until_quiet(SILENCIO_MS);
    });
    EXPECT_TRUE(GRAVA_PAGINA(0x8000, pagina.data()));
    peer.join();
    EXPECT_EQ(apaga, (Bytes{0x04, 0x45, 0x80, 0x00}));
    ASSERT_EQ(grava.size(), 133u);
    EXPECT_EQ(Bytes(grava.begin(), grava.begin() + 8), (Bytes{0x85, 0x57, 0x08, 0x80, 0x00, 0xFF, 0xEF, 0xDF}));
    EXPECT_EQ(grava, concat({0x85, 0x57, 0x08, 0x80, 0x00}, codificados(pagina.data(), TAM_PAGINA)));
    EXPECT_TRUE(resto.empty());
}

TEST_F(LoaderTest, PageWriteSendsNoWriteWhenTheEraseIsRefused) {
    const Bytes pagina = sequencia(TAM_PAGINA);
    Bytes apaga, resto;
    peer.play([&](PtyPeer& p) {
        apaga = recebe_quadro(p);
        p.write({0x02, NAK});
        resto = p.read_until_quiet(SILENCIO_MS);
    });
    EXPECT_FALSE(GRAVA_PAGINA(0x9C80, pagina.data()));
    peer.join();
    EXPECT_EQ(apaga, (Bytes{0x04, 0x45, 0x9C, 0x80}));
    EXPECT_TRUE(resto.empty());
}

TEST_F(LoaderTest, BlockWriteSendsBothHalvesWithTheirOffsets) {
    const Bytes bloco = sequencia(TAM_BLOCO);
    Bytes baixa, alta;
    peer.play([&](PtyPeer& p) {
        baixa = recebe_quadro(p);
        p.write({0x02, ACK});
        alta = recebe_quadro(p);
        p.write({0x02, ACK});
    });
    EXPECT_TRUE(GRAVA_BLOCO(5, bloco.data()));
    peer.join();
    EXPECT_EQ(baixa, concat({0x85, 0x46, 0x00, 0x05, 0x00}, codificados(bloco.data(), 128)));
    EXPECT_EQ(alta, concat({0x85, 0x46, 0x00, 0x05, 0x80}, codificados(bloco.data() + 128, 128)));
}

TEST_F(LoaderTest, BlockWriteSendsNoSecondHalfAfterARefusedFirst) {
    const Bytes bloco = sequencia(TAM_BLOCO);
    Bytes baixa, resto;
    peer.play([&](PtyPeer& p) {
        baixa = recebe_quadro(p);
        p.write({0x02, NAK});
        resto = p.read_until_quiet(SILENCIO_MS);
    });
    EXPECT_FALSE(GRAVA_BLOCO(0x0102, bloco.data()));
    peer.join();
    EXPECT_EQ(Bytes(baixa.begin(), baixa.begin() + 5), (Bytes{0x85, 0x46, 0x01, 0x02, 0x00}));
    EXPECT_TRUE(resto.empty());
}

TEST_F(LoaderTest, BlockWriteSendsNoSecondHalfWhenTheFirstCannotBeSent) {
    const Bytes bloco = sequencia(TAM_BLOCO);
    Bytes resto;
    peer.play([&](PtyPeer& p) {
        complemento_atrasado(p);
        resto = p.read_until_quiet(SILENCIO_MS);
    });
    EXPECT_FALSE(GRAVA_BLOCO(5, bloco.data()));
    peer.join();
    EXPECT_EQ(ERRO_COM, ERRO_TEMPO);
    EXPECT_TRUE(resto.empty());
}

// --- Hexadecimal pages and blocks ---------------------------------------------

// The data bytes of the W frame sent for `texto`, as the host meant them.
class LoaderHexTest : public LoaderTest {
protected:
    Bytes pagina_gravada(const std::string& texto) {
        Bytes grava;
        peer.play([&](PtyPeer& p) {
            recebe_quadro(p);
            p.write({0x02, ACK});
            grava = recebe_quadro(p);
            p.write({0x02, ACK});
        });
        EXPECT_TRUE(GRAVA_PAGINA_HEX(0x8080, texto));
        peer.join();
        if (grava.size() != 133u) return {};
        Bytes dados;
        for (size_t i = 5; i < grava.size(); ++i) dados.push_back(codifica_ref(grava[i]));
        return dados;
    }
};

TEST_F(LoaderHexTest, TextOf254DigitsLeavesTheLastPageByteErased) {
    std::string texto;
    for (int i = 0; i < 127; ++i) texto += BYTE_PARA_HEX(static_cast<uint8_t>(i));
    const Bytes dados = pagina_gravada(texto);
    ASSERT_EQ(dados.size(), 128u);
    EXPECT_EQ(Bytes(dados.begin(), dados.begin() + 127), sequencia(127));
    EXPECT_EQ(dados[127], 0xFF);
}

TEST_F(LoaderHexTest, EmptyTextWritesZeroThenErasedBytes) {
    const Bytes dados = pagina_gravada("");
    ASSERT_EQ(dados.size(), 128u);
    EXPECT_EQ(dados[0], 0x00);
    EXPECT_EQ(Bytes(dados.begin() + 1, dados.end()), Bytes(127, 0xFF));
}

TEST_F(LoaderHexTest, OverlongTextFillsThePageAndNoMore) {
    const Bytes dados = pagina_gravada(std::string(600, 'A'));
    EXPECT_EQ(dados, Bytes(128, 0xAA));
}

TEST_F(LoaderTest, BlockFromHexTextFillsBothHalves) {
    std::string texto;
    for (int i = 0; i < TAM_BLOCO; ++i) texto += BYTE_PARA_HEX(static_cast<uint8_t>(255 - i));
    Bytes baixa, alta;
    peer.play([&](PtyPeer& p) {
        baixa = recebe_quadro(p);
        p.write({0x02, ACK});
        alta = recebe_quadro(p);
        p.write({0x02, ACK});
    });
    EXPECT_TRUE(GRAVA_BLOCO_HEX(0x0010, texto));
    peer.join();
    Bytes esperado;
    for (int i = 0; i < TAM_BLOCO; ++i) esperado.push_back(static_cast<uint8_t>(255 - i));
    EXPECT_EQ(baixa, concat({0x85, 0x46, 0x00, 0x10, 0x00}, codificados(esperado.data(), 128)));
    EXPECT_EQ(alta, concat({0x85, 0x46, 0x00, 0x10, 0x80}, codificados(esperado.data() + 128, 128)));
}

// --- Page reads and the identity text -----------------------------------------

TEST_F(LoaderTest, IdentityTextComesFromTheFirstThreeBytesOfPage8000) {
    uint8_t identidade[TAM_PAGINA];
    std::memset(identidade, 0x5C, sizeof identidade);
    identidade[0] = 0x12;
    identidade[1] = 0xAB;
    identidade[2] = 0x0F;
    Bytes quadro;
    peer.play([&](PtyPeer& p) {
        quadro = recebe_quadro(p);
        p.write(resposta_d(identidade));
    });
    std::string texto;
    EXPECT_TRUE(LE_SERIE(texto));
    peer.join();
    EXPECT_EQ(quadro, (Bytes{0x04, 0x44, 0x80, 0x00}));
    EXPECT_EQ(texto, "3012AB0F");
}

TEST_F(LoaderTest, InfoReadHandsBackTheWholeDecodedPage) {
    const Bytes identidade = sequencia(TAM_PAGINA, 0x40);
    peer.play([&](PtyPeer& p) {
        recebe_quadro(p);
        p.write(resposta_d(identidade.data()));
    });
    std::string texto;
    uint8_t pagina[TAM_PAGINA] = {};
    EXPECT_TRUE(LE_INFO(texto, pagina));
    peer.join();
    EXPECT_EQ(texto, "30404142");
    EXPECT_EQ(Bytes(pagina, pagina + TAM_PAGINA), identidade);
}

TEST_F(LoaderTest, FailedIdentityReadEmptiesTheText) {
    peer.play([&](PtyPeer& p) {
        recebe_quadro(p);
        p.write(concat({0x82, 0xAA}, Bytes(100, 0x00)));  // 28 bytes short
    });
    std::string texto = "3012AB0F";
    EXPECT_FALSE(LE_SERIE(texto));
    peer.join();
    EXPECT_EQ(ERRO_COM, ERRO_LEITURA);
    EXPECT_TRUE(texto.empty());
}

TEST_F(LoaderTest, ShortPageReplyIsAFailedReadNotStaleBytes) {
    const Bytes antiga = sequencia(TAM_PAGINA, 0x10);
    peer.play([&](PtyPeer& p) {
        recebe_quadro(p);
        p.write(resposta_d(antiga.data()));  // leaves a whole Page in the buffer
        recebe_quadro(p);
        p.write(concat({0x20, 0xAA}, Bytes(30, 0x00)));  // complete, but 32 bytes only
    });
    uint8_t pagina[TAM_PAGINA];
    ASSERT_TRUE(LE_PAGINA(0x8000, pagina));
    std::memset(pagina, 0xEE, sizeof pagina);
    EXPECT_FALSE(LE_PAGINA(0x8000, pagina));
    peer.join();
    EXPECT_EQ(Bytes(pagina, pagina + TAM_PAGINA), Bytes(TAM_PAGINA, 0xEE));
}

// --- Replies ------------------------------------------------------------------

TEST_F(LoaderTest, ReplyOfLengthOneFailsAnAcknowledgedCommand) {
    peer.play([&](PtyPeer& p) {
        recebe_quadro(p);
        p.write({0x01});
    });
    EXPECT_FALSE(APAGA_PAGINA(0x8000));
    peer.join();
    EXPECT_EQ(ERRO_COM, ERRO_OK);
    EXPECT_EQ(RX_TAM, 1);
    EXPECT_EQ(RX_BUF[0], 1);
}

TEST_F(LoaderTest, ReplyOfLengthZeroFails) {
    peer.play([&](PtyPeer& p) {
        recebe_quadro(p);
        p.write({0x00});
    });
    EXPECT_FALSE(COMANDO_G());
    peer.join();
    EXPECT_EQ(ERRO_COM, ERRO_TAMANHO_ZERO);
}

TEST_F(LoaderTest, ReplyWithAMissingBodyFails) {
    peer.play([&](PtyPeer& p) {
        recebe_quadro(p);
        p.write({0x02});
    });
    EXPECT_FALSE(COMANDO_G());
    peer.join();
    EXPECT_EQ(ERRO_COM, ERRO_LEITURA);
}

TEST_F(LoaderTest, RefusedCommandFailsOnItsAcknowledgement) {
    peer.play([&](PtyPeer& p) {
        recebe_quadro(p);
        p.write({0x02, NAK});
    });
    EXPECT_FALSE(COMANDO_G());
    peer.join();
    EXPECT_EQ(ERRO_COM, ERRO_OK);
    EXPECT_EQ(RX_BUF[0], NAK);
}

TEST_F(LoaderTest, BytesLeftOnTheLineAreDroppedBeforeTheHandshake) {
    // Stale bytes that would pass for a complement and an acknowledgement.
    peer.write({0x78, 0x02, ACK});
    Bytes quadro;
    peer.play([&](PtyPeer& p) {
        quadro = recebe_quadro(p);
        p.write({0x02, NAK});
    });
    EXPECT_FALSE(COMANDO_G());
    peer.join();
    EXPECT_EQ(quadro, (Bytes{0x02, 0x47}));
    EXPECT_EQ(RX_BUF[0], NAK);
}

TEST_F(LoaderTest, OtherBytesBeforeTheComplementAreSkippedAndSyncIsSentOnce) {
    Bytes linha;
    peer.play([&](PtyPeer& p) {
        linha = p.read(1, ESPERA_PEER_MS);
        p.write({0x00, 0x87, 0x55, 0x79});
        std::this_thread::sleep_for(std::chrono::milliseconds(250));  // a few silent polls
        p.write({0x78});
        linha = concat(linha, p.read(2, ESPERA_PEER_MS));
        p.write({0x02, ACK});
    });
    EXPECT_TRUE(COMANDO_G());
    peer.join();
    EXPECT_EQ(linha, (Bytes{0x87, 0x02, 0x47}));
}

}  // namespace

// ATUALIZA: writes the whole package into the identified cartridge, from the
// package cursor on, and records the module directory in its identity page.
#include "clock.h"
#include "falha.h"
#include "host.h"
#include "pacote.h"
#include "uATU.h"
#include "uSER_KV.h"

std::string ARQUIVO_DUMP = "C:\\TEXTO2.TXT";

namespace {

constexpr uint32_t PAUSA_APOS_G_MS = 5000;     // the loader restarts after the first G
constexpr uint32_t PAUSA_SECAO4_MS = 100;      // before every Page of section 4
constexpr uint16_t ENDERECO_PAGINA_8080 = 0x8080;
constexpr int BYTE_VERSAO = 6;
constexpr int BYTE_ENDERECO_4 = 14;
constexpr int BYTE_ENDERECO_3 = 16;
constexpr int BYTE_DIRETORIO = 18;             // first module section start
constexpr char NOME_DUMP[] = "TEXTO2.TXT";     // the record's name in the Documents folder

// What the cartridge holds when the update stops: the box's second sentence.
enum class Estado { NADA_GRAVADO, INCOMPLETO, IDENTIDADE_APAGADA, SEM_G_FINAL };

// What one run of the walk carries from step to step.
struct Gravacao {
    uint8_t imagem[TAM_PAGINA];  // the identity page as read, amended
    uint16_t bloco = 0;          // Blocks written so far
    int diretorio = BYTE_DIRETORIO;
    std::string guardado;        // first entry of module section 1
    std::string falha;           // the step that failed
};

std::string hex4(int32_t valor) {
    return BYTE_PARA_HEX(static_cast<uint8_t>(valor >> 8)) + BYTE_PARA_HEX(static_cast<uint8_t>(valor));
}

void guarda_16(uint8_t* imagem, int posicao, int32_t valor) {
    if (posicao < 0 || posicao + 1 >= TAM_PAGINA) return;  // never past the image
    imagem[posicao] = static_cast<uint8_t>(valor >> 8);
    imagem[posicao + 1] = static_cast<uint8_t>(valor);
}

// A pause on the GUI thread that keeps the window painting; it lasts at
// least `ms`, so the line sees the same timing as a plain sleep.
void espera(uint32_t ms) { plat::sleep_ms(ms, ui::process_messages); }

void avanca(ui::Control* barra) {
    ui::progress_step_by(barra, 1);
    ui::process_messages();
}

// Firmware section from its base address; Pages until its "*".
bool grava_secao(int32_t base, bool pausa_por_pagina, ui::Control* barra, Gravacao& g) {
    int32_t endereco = base;
    for (std::string entrada; (entrada = LE_ENTRADA(POS_PACOTE)) != MARCA_SECAO; endereco += 0x80) {
        if (pausa_por_pagina) espera(PAUSA_SECAO4_MS);
        if (!GRAVA_PAGINA_HEX(static_cast<uint16_t>(endereco), entrada)) {
            g.falha = "falha na gravação da página " + hex4(endereco);
            return false;
        }
        ++POS_PACOTE;
        avanca(barra);
    }
    ++POS_PACOTE;
    return true;
}

// Module section `secao`: its start in the directory, then Blocks until its "*".
bool grava_modulo(int secao, ui::Control* barra, Gravacao& g) {
    guarda_16(g.imagem, g.diretorio, g.bloco);
    g.diretorio += 2;
    if (secao == 1) g.guardado = LE_ENTRADA(POS_PACOTE);
    for (std::string entrada; (entrada = LE_ENTRADA(POS_PACOTE)) != MARCA_SECAO; ++g.bloco) {
        if (!GRAVA_BLOCO_HEX(g.bloco, entrada)) {
            g.falha = "falha na gravação do bloco " + std::to_string(g.bloco);
            return false;
        }
        ++POS_PACOTE;
        avanca(barra);
    }
    ++POS_PACOTE;
    return true;
}

// The identity page image as one line: two digits and "." a byte. A standard
// user may not create files in C:\, so the same record goes to the Documents
// folder when ARQUIVO_DUMP cannot be written; a box only when neither can.
// Where it was written; empty when nowhere.
std::string grava_dump(const uint8_t* imagem) {
    std::string linha;
    for (int i = 0; i < TAM_PAGINA; ++i) linha += BYTE_PARA_HEX(imagem[i]) + ".";
    linha += "\r\n";
    std::string erro, documentos, erro_documentos;
    if (plat::write_text_file(ARQUIVO_DUMP, linha, &erro)) return ARQUIVO_DUMP;
    const bool pasta = plat::documents_file(NOME_DUMP, &documentos, &erro_documentos);
    if (pasta && plat::write_text_file(documentos, linha, &erro_documentos)) return documentos;
    ui::message_box(std::string("Não foi possível gravar o registro da atualização (") + NOME_DUMP + ")\nem " +
                    ARQUIVO_DUMP + ": " + erro + "\nnem " + (pasta ? "em " + documentos : "na pasta Documentos") +
                    ": " + erro_documentos +
                    ".\n\nO registro é só uma cópia do que foi enviado ao cartucho: o cartucho e o "
                    "resultado da atualização não são afetados.");
    return "";
}

const char* texto_causa(CausaFalha causa) {
    switch (causa) {
    case FALHA_RECUSA: return TEXTO_CAUSA_RECUSA;
    case FALHA_SEM_RESPOSTA: return TEXTO_CAUSA_SEM_RESPOSTA;
    case FALHA_RESPOSTA_INCOMPLETA: return TEXTO_CAUSA_INCOMPLETA;
    case FALHA_PORTA: return TEXTO_CAUSA_PORTA;
    default: return nullptr;
    }
}

// `registro`: where the identity page's record was written, if anywhere.
std::string texto_estado(Estado estado, const std::string& registro) {
    switch (estado) {
    case Estado::NADA_GRAVADO: return TEXTO_NADA_GRAVADO;
    case Estado::IDENTIDADE_APAGADA: return texto_identidade_apagada(registro, NUMERO_SERIE);
    case Estado::SEM_G_FINAL: return TEXTO_SEM_G_FINAL;
    default: return TEXTO_GRAVACAO_INCOMPLETA;
    }
}

// An update that stops short says what failed, why, and what the cartridge
// now holds, before the program ends. Nothing has reached the port since the
// failed command, so the device layer still holds its cause.
bool falhou(TfmATU& janela, const std::string& etapa, Estado estado = Estado::INCOMPLETO,
            const std::string& registro = "") {
    const char* causa = texto_causa(CAUSA_FALHA());
    janela.CAIXA_FALHA(TEXTO_FALHA + etapa + (causa ? std::string(" (") + causa + ")" : "") + ".\n\n" +
                       texto_estado(estado, registro));
    return false;
}

}  // namespace

bool TfmATU::ATUALIZA() {
    ui::process_messages();
    Gravacao g;
    std::string texto;
    if (!LE_INFO(texto, g.imagem))
        return falhou(*this, "falha na leitura da identificação do aparelho", Estado::NADA_GRAVADO);
    if (texto != NUMERO_SERIE) {
        CAIXA_FALHA("Este aparelho não corresponde ao número de série " + NUMERO_SERIE + ".");
        ui::request_end();
        return false;
    }
    ui::set_text(lbGG, "Atualização em andamento...." + NUMERO_SERIE);
    ui::process_messages();
    ui::progress_step_by(pbAND, 1);

    for (int32_t base : {BASE_SECAO1, BASE_SECAO2, BASE_SECAO3})
        if (!grava_secao(base, false, pbAND, g)) return falhou(*this, g.falha);
    if (!COMANDO_G()) return falhou(*this, "falha no comando G após a primeira etapa");
    espera(PAUSA_APOS_G_MS);
    const int32_t segunda_etapa[] = {BASE_SECAO4, BASE_SECAO5, BASE_SECAO6};
    for (int n = 0; n < 3; ++n)  // section 4 pauses before each of its Pages
        if (!grava_secao(segunda_etapa[n], n == 0, pbAND, g)) return falhou(*this, g.falha);
    POS_PACOTE = POS_MODULOS;

    APAGA_PAGINA(static_cast<uint16_t>(ENDERECO_3));  // results not consulted
    APAGA_PAGINA(static_cast<uint16_t>(ENDERECO_4));
    ui::progress_step_by(pbAND, 1);

    const int sem_teste = secoes_sem_teste(static_cast<int>(LISTA_MODULOS.size()));
    for (int secao = 0; secao < sem_teste || LE_ENTRADA(POS_PACOTE) != MARCA_FIM; ++secao)
        if (!grava_modulo(secao, pbAND, g)) return falhou(*this, g.falha);

    guarda_16(g.imagem, BYTE_ENDERECO_4, ENDERECO_4);
    guarda_16(g.imagem, g.diretorio, g.bloco);
    ++POS_PACOTE;

    if (!GRAVA_PAGINA_HEX(ENDERECO_PAGINA_8080, g.guardado.substr(0, DIGITOS_PAGINA)))
        return falhou(*this, "falha na gravação da página " + hex4(ENDERECO_PAGINA_8080));

    g.imagem[BYTE_VERSAO] = NUM_VERSAO;
    guarda_16(g.imagem, BYTE_ENDERECO_3, ENDERECO_3);
    bool resultado = GRAVA_PAGINA(ENDERECO_IDENTIDADE, g.imagem);
    Estado estado = Estado::IDENTIDADE_APAGADA;  // its E may have gone through
    if (!resultado) {
        g.falha = "falha na gravação da página de identificação " + hex4(ENDERECO_IDENTIDADE);
    } else if (!(resultado = COMANDO_G())) {
        g.falha = "falha no comando G final";
        estado = Estado::SEM_G_FINAL;  // the identity page was acknowledged
    }
    // A record of what was sent, whatever the outcome; written before a
    // failure box names it.
    const std::string registro = grava_dump(g.imagem);
    if (!resultado) return falhou(*this, g.falha, estado, registro);

    ui::progress_step_by(pbAND, ui::progress_max(pbAND));
    ui::set_text(lbGG, "Atualização concluída!");
    ui::process_messages();
    SHOW_MSG(7);
    return true;
}

// uATU: the main window fmATU with its port choice, the package pass, the
// identification of the cartridge, the update procedure and the update attempt.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "ui.h"

// Results of CART_V2, by the sync byte that was answered.
enum : int { CARTUCHO_V2 = 0, CARTUCHO_85 = 1, SEM_RESPOSTA = 2, CARTUCHO_86 = 3 };

class TfmATU {
public:
    // Window events (janela.cpp, pacote.cpp, tentativa.cpp).
    void FormCreate();
    void FormShow();
    void FormActivate();
    void FormClose();
    void pnCOM1Click(ui::Control* Sender);
    void sbATUClick();

    bool SHOW_MSG(unsigned codigo);       // mensagem.cpp
    int CART_V2(std::string& texto);      // identificacao.cpp
    bool ATUALIZA();                      // atualiza.cpp

    // What an outcome shows outside the window, as it comes up (aviso.cpp):
    // a failure turns the task-bar button red and calls with the error
    // sound; success calls with the information sound.
    void AVISA_FALHA();
    void AVISA_SUCESSO();
    void CAIXA_FALHA(const std::string& texto);  // a box that ends the update short

    ui::Form* form = nullptr;
    ui::Control* lbATU = nullptr;
    ui::Control* lbDATA = nullptr;
    ui::Control* lbMON = nullptr;
    ui::Control* lbGG = nullptr;
    ui::Control* mmA = nullptr;
    ui::Control* pbAND = nullptr;
    ui::Control* sbATU = nullptr;
};

extern TfmATU* fmATU;

// Start-up of the program block: the application, both windows (the main
// window first, the message dialog hidden). pATU.cpp then runs the loop.
void CRIA_JANELAS();

// --- Port choice -------------------------------------------------------
extern int NUM_COM;                        // COM n of the next attempt, 1 to 6
extern std::vector<ui::Control*> LISTA_COM;  // pnCOM1 to pnCOM6, in order

// --- Package state, set by the pass ------------------------------------
extern int32_t POS_PACOTE;
extern int32_t BASE_SECAO1, BASE_SECAO2, BASE_SECAO3, BASE_SECAO4, BASE_SECAO5, BASE_SECAO6;
extern int32_t ENDERECO_3, ENDERECO_4;
extern uint8_t NUM_VERSAO;
extern std::vector<std::string> LISTA_MODULOS;
extern int32_t POS_MODULOS;
extern bool PACOTE_VALIDO;  // the pass found every property of a valid package

// --- The attempt -------------------------------------------------------
extern bool EM_TENTATIVA;          // an update attempt is running
extern std::string ARQUIVO_DUMP;   // where the identity page image is recorded

// The texts of the failure box of an update that stops short: "A atualização
// não foi concluída: <step> (<cause>)." then a blank line and what the
// cartridge now holds.
#pragma once
#include <string>

const char* const TEXTO_FALHA = "A atualização não foi concluída: ";

// The cause, from the failed exchange (CAUSA_FALHA of uSER_KV).
const char* const TEXTO_CAUSA_RECUSA = "o cartucho recusou o comando";
const char* const TEXTO_CAUSA_SEM_RESPOSTA = "o cartucho não respondeu";
const char* const TEXTO_CAUSA_INCOMPLETA = "a resposta do cartucho veio incompleta";
// The port refused a write or a read (a pulled USB adapter, a line gone).
const char* const TEXTO_CAUSA_PORTA = "a porta serial falhou ao transferir os dados; verifique o cabo e o adaptador";

// What the cartridge holds: nothing written (only its identity was read);
// part of the package; part of it with the identity page maybe erased; all
// of it, without the final G acknowledged.
const char* const TEXTO_NADA_GRAVADO =
    "Nada foi gravado no cartucho. Verifique a conexão e execute a atualização outra vez.";
const char* const TEXTO_GRAVACAO_INCOMPLETA =
    "O cartucho ficou com a gravação incompleta. Ligue-o novamente em MODO DE ATUALIZAÇÃO e execute a "
    "atualização outra vez.";
// The identity page's E may have erased it, and a new attempt would read the
// erased page and record that as the identity: before one, the record of the
// page sent, at `registro`, must be kept, or, when it could be written
// nowhere (`registro` empty), the identity noted.
inline std::string texto_identidade_apagada(const std::string& registro, const std::string& serie) {
    return std::string("O cartucho ficou com a gravação incompleta e a página de identificação dele pode ter "
                       "sido apagada. Antes de qualquer nova tentativa, ") +
           (registro.empty() ? "anote a identificação deste cartucho (" + serie +
                                   "): o registro da atualização não pôde ser gravado."
                             : "guarde uma cópia do arquivo " + registro +
                                   ": ele tem a identificação deste cartucho (" + serie + ").") +
           " Depois ligue-o novamente em MODO DE ATUALIZAÇÃO e execute a atualização outra vez.";
}
const char* const TEXTO_SEM_G_FINAL =
    "O cartucho foi gravado por completo, mas não confirmou o comando final. Desligue-o e ligue-o "
    "novamente; se ele não funcionar normalmente, execute a atualização outra vez em MODO DE ATUALIZAÇÃO.";

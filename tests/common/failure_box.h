// The failure box of an update that stops short, written out once for the
// native and the Wine tests: the step, the cause in parentheses, a blank line
// and what the cartridge holds.
#pragma once
#include <string>

namespace failure_box {

inline const std::string REFUSED = " (o cartucho recusou o comando).";
inline const std::string NO_ANSWER = " (o cartucho não respondeu).";
inline const std::string INCOMPLETE_REPLY = " (a resposta do cartucho veio incompleta).";
inline const std::string PORT_REFUSED = " (a porta serial falhou ao transferir os dados; verifique o cabo e o adaptador).";

inline const std::string NOTHING_WRITTEN =
    "\n\nNada foi gravado no cartucho. Verifique a conexão e execute a atualização outra vez.";
inline const std::string PART_WRITTEN =
    "\n\nO cartucho ficou com a gravação incompleta. Ligue-o novamente em MODO DE ATUALIZAÇÃO e execute a "
    "atualização outra vez.";
inline const std::string ALL_WRITTEN =
    "\n\nO cartucho foi gravado por completo, mas não confirmou o comando final. Desligue-o e ligue-o "
    "novamente; se ele não funcionar normalmente, execute a atualização outra vez em MODO DE ATUALIZAÇÃO.";

// The identity page's own state: its E may have erased it. `record` is
// where the record of the page sent was written, empty when nowhere.
inline std::string identity_maybe_erased(const std::string& record, const std::string& identity) {
    const std::string keep =
        record.empty() ? "anote a identificação deste cartucho (" + identity +
                             "): o registro da atualização não pôde ser gravado."
                       : "guarde uma cópia do arquivo " + record + ": ele tem a identificação deste cartucho (" +
                             identity + ").";
    return "\n\nO cartucho ficou com a gravação incompleta e a página de identificação dele pode ter sido "
           "apagada. Antes de qualquer nova tentativa, " +
           keep + " Depois ligue-o novamente em MODO DE ATUALIZAÇÃO e execute a atualização outra vez.";
}

inline std::string text(const std::string& step, const std::string& cause, const std::string& state = PART_WRITTEN) {
    return "A atualização não foi concluída: " + step + cause + state;
}

}  // namespace failure_box

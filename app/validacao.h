// Checks that the embedded package has every property the update relies on.
#pragma once
#include <string>

// Empty when the package is sound; otherwise the sentence that names the
// entry and what is wrong with it.
std::string VALIDA_PACOTE();

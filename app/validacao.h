// Checks that the embedded package has every property the update relies on.
#pragma once
#include <string>

// Empty when the package is sound; otherwise what is wrong, naming the entry.
std::string VALIDA_PACOTE();

// Program block pATU: the application, its two windows, the event loop.
#include "uATU.h"

#ifdef _WIN32
#include <windows.h>
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
#else
int main() {
#endif
    CRIA_JANELAS();
    ui::app_run(fmATU->form);
    return 0;
}

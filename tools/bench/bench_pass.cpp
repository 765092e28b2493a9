// bench_pass: the package pass of the main window under Windows (Wine), timed
// where pATU.exe runs it: the windows are created and the main one shown as
// the program does, and the pass runs on its first activation. The program
// ends after the pass. Prints "start_ms=T" (start to the pass's end, windows
// included) and "pass_ms=T".
#include "uATU.h"  // ahead of windows.h, whose macros would clash with the toolkit's names
#include "win32/ui_win32.h"

#include <windows.h>

#include <cstdio>

namespace {
double now_ms() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}
}  // namespace

int main() {
    const double start = now_ms();
    double pass_start = 0, pass_end = 0;
    CRIA_JANELAS();
    ui::FormHandlers& handlers = fmATU->form->handlers;
    const auto pass = handlers.on_activate;
    handlers.on_activate = [&] {
        pass_start = now_ms();
        pass();
        pass_end = now_ms();
        ui::request_end();
    };
    ui::app_run(fmATU->form);
    std::printf("start_ms=%.3f\npass_ms=%.3f\npackage_valid=%d\n", pass_end - start, pass_end - pass_start,
                PACOTE_VALIDO ? 1 : 0);
    return PACOTE_VALIDO ? 0 : 1;
}

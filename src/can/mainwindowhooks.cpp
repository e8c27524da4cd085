#include "can/mainwindowhooks.h"

namespace mainWindowHooks {
namespace {
MainWindowSymbolSetters* g_setters = nullptr;
MainWindowConnectionDisplay* g_display = nullptr;
}  // namespace

void installSymbolSetters(MainWindowSymbolSetters* impl) { g_setters = impl; }
void installConnectionDisplay(MainWindowConnectionDisplay* impl) { g_display = impl; }

MainWindowSymbolSetters& symbolSetters() {
    static MainWindowSymbolSetters none;
    return g_setters ? *g_setters : none;
}

MainWindowConnectionDisplay& connectionDisplay() {
    static MainWindowConnectionDisplay none;
    return g_display ? *g_display : none;
}
}  // namespace mainWindowHooks

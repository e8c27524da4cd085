#include "can/modechangehooks.h"

namespace modeChangeHooks {

namespace {
ModeChangeMainWindow* s_impl = nullptr;
}

void installMainWindow(ModeChangeMainWindow* impl) { s_impl = impl; }

ModeChangeMainWindow& mainWindow() {
    static ModeChangeMainWindow s_default;
    return s_impl ? *s_impl : s_default;
}

}  // namespace modeChangeHooks

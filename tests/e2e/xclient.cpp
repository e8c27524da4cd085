#include "xclient.h"

#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace e2e {

namespace {
xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, quint16(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(r);
    return a;
}
}  // namespace

bool requestClose(const QString& display, const QString& window) {
    bool isNumber = false;
    const xcb_window_t id = window.toUInt(&isNumber);
    if (!isNumber) return false;
    xcb_connection_t* c = xcb_connect(display.toLocal8Bit().constData(), nullptr);
    bool sent = false;
    if (!xcb_connection_has_error(c)) {
        // Asked of the window manager, which closes the window as its close button does.
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        xcb_client_message_event_t ev{};
        ev.response_type = XCB_CLIENT_MESSAGE;
        ev.format = 32;
        ev.window = id;
        ev.type = atom(c, "_NET_CLOSE_WINDOW");
        ev.data.data32[0] = XCB_CURRENT_TIME;
        ev.data.data32[1] = 2;  // from a pager or the like: the user's own request
        xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                       reinterpret_cast<const char*>(&ev));
        sent = ev.type != XCB_ATOM_NONE && xcb_flush(c) > 0;
    }
    xcb_disconnect(c);
    return sent;
}

}  // namespace e2e

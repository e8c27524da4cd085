#pragma once
// A call into another part, or one that a test stands in for, goes through a slot: an
// interface, the slot's default, and install().
//
// The one default rule: where the part that declares the slot can reach the code that
// serves it (in itself or in a part below), the default is that code, the program's own;
// a call up into a part above defaults to a stub that does nothing, keeps nothing and
// answers no (false, 0, an empty value). wiring::install (src/app/wiring.h) installs the
// up-calls' implementations at start-up; a test installs its fakes; nullptr brings the
// default back. The tag tells apart two slots of the same interface.
//
// Default is either a class of the interface, made once, or a class whose static
// instance() gives the object that serves (a form that lives for the whole run).
template <class Iface, class Default, class Tag = void>
class Link {
public:
    static Iface& get() { return s_impl ? *s_impl : fallback(); }
    static void install(Iface* impl) { s_impl = impl; }
    static bool installed() { return s_impl != nullptr; }

private:
    static Iface& fallback() {
        if constexpr (requires { Default::instance(); }) {
            return Default::instance();
        } else {
            static Default s;
            return s;
        }
    }
    static inline Iface* s_impl = nullptr;
};

// The slots named, each back to its default.
template <class... Slots>
void uninstallAll() {
    (Slots::install(nullptr), ...);
}

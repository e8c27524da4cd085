#pragma once
// A call into a part that is built elsewhere goes through a small interface. The part
// that provides it registers its implementation at start-up, a test registers a fake,
// and until then a stub with the neutral behaviour written beside the interface answers.
// The tag tells apart two slots of the same interface.
template <class Iface, class Stub, class Tag = void>
class Link {
public:
    static Iface& get() { return s_impl ? *s_impl : stub(); }
    // nullptr brings the stub back.
    static void install(Iface* impl) { s_impl = impl; }
    static bool installed() { return s_impl != nullptr; }

private:
    static Iface& stub() {
        static Stub s;
        return s;
    }
    static inline Iface* s_impl = nullptr;
};

#pragma once
// A window of another part that the main window only closes: the exit procedure unloads
// it when it is loaded.
class WindowLink {
public:
    virtual ~WindowLink() = default;
    virtual bool isLoaded() const = 0;
    // Closes the window; its own unload handler does the rest (release, settle files).
    virtual void unload() = 0;
};

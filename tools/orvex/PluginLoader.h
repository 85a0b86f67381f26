// Loads a plug-in module at run time and finds its entry point. This is the only part of
// the host that talks to the operating system's loader (dlopen on Linux, LoadLibrary on
// Windows); everything above it is portable.
#pragma once

#include <string>

namespace cli {

class PluginLoader {
public:
    PluginLoader() = default;
    ~PluginLoader();
    PluginLoader(const PluginLoader&) = delete;
    PluginLoader& operator=(const PluginLoader&) = delete;

    // Loads the module at `path`; on failure returns false with the system's reason in `error`.
    // A module already loaded by this object is released first.
    bool open(const std::string& path, std::string& error);

    // The address of an exported symbol, or null when the module does not export it.
    void* symbol(const char* name) const;

    // Releases the module. Nothing of it may be called afterwards.
    void close();

    bool isOpen() const { return m_module != nullptr; }

private:
    void* m_module = nullptr; // dlopen handle or HMODULE; null when nothing is loaded
};

} // namespace cli

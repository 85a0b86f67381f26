#include "PluginLoader.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace cli {

PluginLoader::~PluginLoader()
{
    close();
}

#ifdef _WIN32

static std::string lastErrorText()
{
    const DWORD code = GetLastError();
    char text[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        code, 0, text, sizeof(text) - 1, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    if (message.empty())
        message = "system error " + std::to_string(code);
    return message;
}

bool PluginLoader::open(const std::string& path, std::string& error)
{
    close();
    // A path that names a folder is made absolute, and the module's own dependencies are then
    // searched beside it, as hosts do (that search order is only defined for absolute paths);
    // a bare file name keeps the usual search order.
    HMODULE module = nullptr;
    char full[4096] = {};
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof(full), full, nullptr);
    if (path.find_first_of("/\\:") != std::string::npos && length > 0 && length < sizeof(full))
        module = LoadLibraryExA(full, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    else
        module = LoadLibraryA(path.c_str());
    if (!module) {
        error = lastErrorText();
        return false;
    }
    m_module = reinterpret_cast<void*>(module);
    return true;
}

void* PluginLoader::symbol(const char* name) const
{
    if (!m_module)
        return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(m_module), name));
}

void PluginLoader::close()
{
    if (m_module)
        FreeLibrary(static_cast<HMODULE>(m_module));
    m_module = nullptr;
}

#else

bool PluginLoader::open(const std::string& path, std::string& error)
{
    close();
    // dlopen searches the library path for a name without a slash; a host means the file.
    const std::string name = path.find('/') == std::string::npos ? "./" + path : path;
    dlerror();
    // The module's code stays mapped after close (RTLD_NODELETE): the libraries a plug-in
    // brings (fontconfig) keep process-wide tables that unmapping would strand, and a
    // program that loads one plug-in and then ends gains nothing from unmapping it. Its
    // static objects are still destroyed at exit, so leak checks see what it really lost.
    m_module = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!m_module) {
        const char* reason = dlerror();
        error = reason ? reason : "cannot load " + path;
        return false;
    }
    return true;
}

void* PluginLoader::symbol(const char* name) const
{
    if (!m_module)
        return nullptr;
    return dlsym(m_module, name);
}

void PluginLoader::close()
{
    if (m_module)
        dlclose(m_module);
    m_module = nullptr;
}

#endif

} // namespace cli

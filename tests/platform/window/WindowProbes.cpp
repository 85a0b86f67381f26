#include "WindowProbes.h"

#include "HostWindow.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <sstream>

// Live GDI and USER objects of this process as the system counts them (GetGuiResources),
// and as we count them ourselves, since wine answers GetGuiResources with 0:
// - GDI: the live entries of the GDI handle table that the system publishes in the process
//   environment block, one per GDI object (bitmaps, DCs, fonts, brushes, pens, regions).
//   Windows shares one table between processes and marks each entry with its owner; wine
//   keeps a table per process and leaves the owner 0. So: entries owned by us, or by nobody
//   (which on Windows adds the stock objects, a constant);
// - USER: our windows (top-level and every child, found by enumeration) and whether the frame's
//   window class is still registered.
struct GdiHandleEntry {
    std::uint64_t object;     // kernel pointer
    std::uint32_t owner;      // process id (low 16 bits on wine) and a count
    std::uint16_t unique;     // upper half of the handle
    std::uint8_t type;        // 0: free
    std::uint8_t flags;
    std::uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24, "the GDI handle table's entry layout");

namespace {

int countOwnGdiObjects()
{
    // PEB->GdiSharedHandleTable, at 0xF8 in the 64-bit process environment block.
    std::uintptr_t pebAddress = 0;
    asm volatile("movq %%gs:0x60, %0" : "=r"(pebAddress)); // the thread block's PEB pointer
    const auto* peb = reinterpret_cast<const std::uint8_t*>(pebAddress);
    const auto* table = *reinterpret_cast<const GdiHandleEntry* const*>(peb + 0xF8);
    if (table == nullptr)
        return -1;
    const std::uint32_t pid = GetCurrentProcessId();
    int count = 0;
    for (int i = 0; i < 0x10000; ++i) {
        const GdiHandleEntry& e = table[i];
        const std::uint32_t owner = e.owner & 0xFFFF;
        if (e.type != 0 && (owner == 0 || owner == (pid & 0xFFFF)))
            ++count;
    }
    return count;
}

BOOL CALLBACK countWindow(HWND hwnd, LPARAM counter)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId()) {
        ++*reinterpret_cast<int*>(counter);
        EnumChildWindows(hwnd, countWindow, counter);
    }
    return TRUE;
}

int countOwnWindows()
{
    int count = 0;
    EnumWindows(countWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

// Whether a window class of the plug-in layer ("OrvexPlugin" + module) is registered.
bool frameClassRegistered()
{
    char name[64];
    std::snprintf(name, sizeof name, "OrvexPlugin%p", static_cast<void*>(GetModuleHandleA(nullptr)));
    WNDCLASSA info{};
    return GetClassInfoA(GetModuleHandleA(nullptr), name, &info) != 0;
}

} // namespace

std::string countObjects()
{
    HANDLE self = GetCurrentProcess();
    std::ostringstream out;
    out << "counts gdi=" << GetGuiResources(self, GR_GDIOBJECTS) << " user=" << GetGuiResources(self, GR_USEROBJECTS)
        << " owngdi=" << countOwnGdiObjects() << " windows=" << countOwnWindows()
        << " frameclass=" << frameClassRegistered();
    return out.str();
}

namespace {

WNDPROC watchedProcedure = nullptr; // the watched window's own procedure
bool watchedDestroyed = false;      // WM_NCDESTROY arrived
bool watchedTargetLeft = false;     // a drop target was still registered then

LRESULT CALLBACK watchProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCDESTROY) {
        watchedDestroyed = true;
        watchedTargetLeft = GetPropA(hwnd, "OleDropTargetInterface") != nullptr;
    }
    return CallWindowProcA(watchedProcedure, hwnd, message, wParam, lParam);
}

} // namespace

void DestroyProbe::watch(HWND hwnd)
{
    watchedDestroyed = watchedTargetLeft = false;
    watchedProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&watchProcedure)));
}

bool DestroyProbe::destroyed() { return watchedDestroyed; }
bool DestroyProbe::targetLeft() { return watchedTargetLeft; }

std::string runEditor(cli::PluginHost& plugin, cli::HostWindow& host, bool parentFirst)
{
    cli::HostWindow* window = &host;
    if (!plugin.openEditor(window->nativeHandle()))
        return "error the plug-in did not open its editor";
    for (int i = 0; i < 3; ++i) {
        window->pumpEvents(5);
        plugin.idleEditor();
    }
    HWND parent = static_cast<HWND>(window->nativeHandle());
    HWND child = GetWindow(parent, GW_CHILD);
    const bool registered = child != nullptr && GetPropA(child, "OleDropTargetInterface") != nullptr;
    // The editor's window class, to see that closing the editor unregisters it again.
    char className[256] = {};
    HINSTANCE classModule = nullptr;
    if (child != nullptr) {
        GetClassNameA(child, className, sizeof className);
        classModule = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(child, GWLP_HINSTANCE));
    }
    std::ostringstream out;
    out << "editor child=" << (child != nullptr) << " registered=" << registered;
    if (parentFirst && child != nullptr) {
        DestroyProbe::watch(child);
        window->destroy();
        for (int i = 0; i < 5; ++i) {
            plugin.idleEditor();
            window->pumpEvents(5);
        }
        out << " childgone=" << !IsWindow(child) << " targetleft=" << DestroyProbe::targetLeft();
    }
    plugin.closeEditor();
    window->pumpEvents(0);
    WNDCLASSA info{};
    out << " classleft=" << (className[0] != '\0' && GetClassInfoA(classModule, className, &info) != 0);
    return out.str();
}


// A host of several instances of one plug-in, as a guitarist's session with two guitar tracks
// has: each instance is loaded through the ABI on its own (the module once, the entry point
// once per instance), and each editor opens in a host window of its own. A script drives it
// (commands on stdin, one per line) and reads what it says (stdout, one line each), so the
// instances can be opened, closed and unloaded in any order while the script moves the pointer
// over both windows as a user would.
//
//   load NAME               load the plug-in as instance NAME             -> "NAME loaded"
//   open NAME X Y           its editor in a new host window at X, Y       -> "NAME open W H"
//   close NAME              effEditClose, then the host window goes       -> "NAME closed"
//   unload NAME             effClose, the module released                 -> "NAME unloaded"
//   snapshot NAME FILE N    N pictures of NAME's closed editor, taken on a thread of their own
//                           while this thread goes on idling the others   -> "NAME snapshots K" (K written)
//   set NAME INDEX VALUE    a parameter set by the host (automation)      -> "NAME set"
//   get NAME INDEX          a parameter's value                           -> "NAME param INDEX VALUE"
//   counts                  what the process holds now                    -> "counts ..."
//   quit                                                                  -> "bye"
//
// What an editor tells its host comes prefixed with the instance: "A automate 8 0.52",
// "A begin 8", "A end 8". A host window closed by the user closes that editor ("A window
// closed"). Errors answer "error ...".
#include "HostWindow.h"
#include "PluginHost.h"

#include "editor/SnapshotRequest.h"

#ifdef _WIN32
#include "WindowProbes.h"

#include <objbase.h>
#include <tlhelp32.h>
#include <windows.h>
#else
#include <dirent.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

std::mutex sayLock; // lines of the snapshot thread and of the main thread never interleave

void say(const std::string& line)
{
    std::lock_guard<std::mutex> guard(sayLock);
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

// What one editor tells the host, said with its instance's name.
class Printer : public cli::EditorEvents {
public:
    explicit Printer(std::string name) : name_(std::move(name)) {}
    void automate(int index, float value) override
    {
        char text[64];
        std::snprintf(text, sizeof text, " automate %d %.6g", index, static_cast<double>(value));
        say(name_ + text);
    }
    void beginEdit(int index) override { say(name_ + " begin " + std::to_string(index)); }
    void endEdit(int index) override { say(name_ + " end " + std::to_string(index)); }
    bool sizeWindow(int, int) override { return false; }

private:
    std::string name_; // the instance's name
};

struct Instance {
    std::unique_ptr<cli::PluginHost> plugin;   // the loaded instance
    std::unique_ptr<cli::HostWindow> window;   // its editor's host window while open
    std::unique_ptr<Printer> printer;          // says what its editor tells the host
    std::atomic<bool> busy{false};             // a snapshot thread is using the instance
    Clock::time_point nextIdle{};              // when its editor gets its next effEditIdle
};

#ifdef _WIN32
int countThreads()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId())
            ++count;
    }
    CloseHandle(snapshot);
    return count;
}

// Whether COM (and so OLE) is still initialised on this thread: a fresh initialisation
// answers S_OK only when nothing holds one.
bool oleInitialised()
{
    const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(result))
        CoUninitialize();
    return result != S_OK;
}

HMODULE pluginModule = nullptr; // the plug-in's module as first loaded (its class carries it)

// Whether the plug-in's window class ("OrvexPlugin" + its module) is registered.
bool pluginClassRegistered()
{
    if (pluginModule == nullptr)
        return false;
    char name[64];
    std::snprintf(name, sizeof name, "OrvexPlugin%p", static_cast<void*>(pluginModule));
    WNDCLASSA info{};
    return GetClassInfoA(pluginModule, name, &info) != 0;
}

std::string counts(int /*hostWindows*/)
{
    std::ostringstream out;
    out << countObjects() << " threads=" << countThreads() << " pluginclass=" << pluginClassRegistered()
        << " ole=" << oleInitialised();
    return out.str();
}
#else
int countEntries(const char* folder, const std::string& linkPrefix = std::string(), int* linked = nullptr)
{
    DIR* dir = opendir(folder);
    if (!dir)
        return -1;
    int count = 0;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        ++count;
        if (linked) {
            char target[256] = {};
            const std::string path = std::string(folder) + "/" + entry->d_name;
            const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
            if (n > 0 && std::string(target, static_cast<std::size_t>(n)).rfind(linkPrefix, 0) == 0)
                ++*linked;
        }
    }
    closedir(dir);
    return count - (linked ? 1 : 0); // the listing's own descriptor
}

// Shared-memory segments mapped into the process (MIT-SHM images).
int countSharedSegments()
{
    std::ifstream maps("/proc/self/maps");
    int count = 0;
    for (std::string line; std::getline(maps, line);)
        count += line.find("/SYSV") != std::string::npos ? 1 : 0;
    return count;
}

// Descriptors, sockets among them (each X connection is one: the host windows have one each,
// the plug-in its own), threads and shared-memory segments.
std::string counts(int hostWindows)
{
    int sockets = 0;
    const int fds = countEntries("/proc/self/fd", "socket:", &sockets);
    std::ostringstream out;
    out << "counts fds=" << fds << " sockets=" << sockets << " threads=" << countEntries("/proc/self/task")
        << " shm=" << countSharedSegments() << " hostwindows=" << hostWindows;
    return out.str();
}
#endif

// Commands from stdin, read on a thread of their own so that the windows never wait.
struct CommandQueue {
    std::mutex lock;               // guards lines and closed
    std::deque<std::string> lines; // waiting commands
    bool closed = false;           // stdin ended
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: two_editors_host PLUGIN (commands on stdin)\n");
        return 2;
    }
    const std::string pluginPath = argv[1];
    std::map<std::string, std::unique_ptr<Instance>> instances;
    std::thread snapshotThread;               // the pictures being taken, if any
    std::atomic<bool> snapshotsDone{false};   // that thread has said its last line

    CommandQueue queue;
    std::thread reader([&queue] {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            std::lock_guard<std::mutex> guard(queue.lock);
            queue.lines.push_back(line);
        }
        std::lock_guard<std::mutex> guard(queue.lock);
        queue.closed = true;
    });
    reader.detach();

    auto closeEditor = [](Instance& instance) {
        instance.plugin->closeEditor();
        instance.plugin->setEditorEvents(nullptr);
        instance.window.reset();
        instance.printer.reset();
    };
    auto hostWindows = [&instances] {
        int n = 0;
        for (auto& entry : instances)
            n += entry.second->window ? 1 : 0;
        return n;
    };

    say("ready");
    bool running = true;
    while (running) {
        // A thread that has finished is joined at once: it must not count as one the
        // plug-in left behind.
        if (snapshotThread.joinable() && snapshotsDone.load())
            snapshotThread.join();
        // Every window's events, and each open editor's idle about 30 times a second.
        for (auto& entry : instances) {
            Instance& instance = *entry.second;
            if (!instance.window)
                continue;
            if (!instance.window->pumpEvents(0)) {
                closeEditor(instance);
                say(entry.first + " window closed");
                continue;
            }
            if (Clock::now() >= instance.nextIdle) {
                instance.plugin->idleEditor();
                instance.nextIdle = Clock::now() + std::chrono::milliseconds(33);
            }
        }
        std::string command;
        {
            std::lock_guard<std::mutex> guard(queue.lock);
            if (!queue.lines.empty()) {
                command = queue.lines.front();
                queue.lines.pop_front();
            } else if (queue.closed) {
                break;
            }
        }
        if (command.empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        std::istringstream words(command);
        std::string verb, name;
        words >> verb >> name;
        auto found = instances.find(name);
        Instance* instance = found != instances.end() ? found->second.get() : nullptr;
        if (instance && instance->busy.load()) {
            say("error " + name + " is busy");
            continue;
        }
        std::string error;
        if (verb == "quit") {
            running = false;
        } else if (verb == "counts") {
            say(counts(hostWindows()));
        } else if (verb == "load" && !name.empty() && !instance) {
            auto made = std::make_unique<Instance>();
            made->plugin = std::make_unique<cli::PluginHost>();
            if (!made->plugin->load(pluginPath, 44100.0, 512, error)) {
                say("error " + error);
                continue;
            }
#ifdef _WIN32
            if (pluginModule == nullptr)
                pluginModule = GetModuleHandleA(pluginPath.c_str());
#endif
            instances[name] = std::move(made);
            say(name + " loaded");
        } else if (verb == "open" && instance && !instance->window) {
            int x = 0, y = 0, width = 0, height = 0;
            words >> x >> y;
            if (!instance->plugin->editorSize(width, height)) {
                say("error " + name + " has no editor size");
                continue;
            }
            instance->window = cli::HostWindow::create("two editors " + name, width, height, error);
            if (!instance->window) {
                say("error " + error);
                continue;
            }
            instance->window->moveTo(x, y);
            instance->printer = std::make_unique<Printer>(name);
            instance->plugin->setEditorEvents(instance->printer.get());
            if (!instance->plugin->openEditor(instance->window->nativeHandle())) {
                instance->plugin->setEditorEvents(nullptr);
                instance->window.reset();
                say("error " + name + " did not open its editor");
                continue;
            }
            say(name + " open " + std::to_string(width) + " " + std::to_string(height));
        } else if (verb == "close" && instance && instance->window) {
            closeEditor(*instance);
            say(name + " closed");
        } else if (verb == "unload" && instance) {
            if (instance->window)
                closeEditor(*instance);
            instance->plugin->close();
            instances.erase(found);
            say(name + " unloaded");
        } else if ((verb == "set" || verb == "get") && instance) {
            int index = -1;
            float value = 0.0f;
            words >> index >> value;
            if (index < 0 || index >= instance->plugin->numParameters()) {
                say("error no parameter " + std::to_string(index));
            } else if (verb == "set") {
                instance->plugin->setParameter(index, value);
                say(name + " set");
            } else {
                char text[64];
                std::snprintf(text, sizeof text, " param %d %.6g", index,
                              static_cast<double>(instance->plugin->parameter(index)));
                say(name + text);
            }
        } else if (verb == "snapshot" && instance && !instance->window) {
            std::string file;
            int count = 1;
            words >> file >> count;
            if (snapshotThread.joinable())
                snapshotThread.join();
            // A host rendering a picture of one track's plug-in in the background while the
            // user works in another's editor.
            instance->busy.store(true);
            snapshotsDone.store(false);
            snapshotThread = std::thread([instance, name, file, count, &snapshotsDone] {
                int written = 0;
                for (int i = 0; i < count; ++i) {
                    written += instance->plugin->vendorSpecific(editor::kSnapshotIndex, editor::kSnapshotValue,
                                                                const_cast<char*>(file.c_str())) == 1
                                   ? 1
                                   : 0;
                }
                instance->busy.store(false);
                say(name + " snapshots " + std::to_string(written));
                snapshotsDone.store(true);
            });
        } else {
            say("error cannot " + command);
        }
    }
    if (snapshotThread.joinable())
        snapshotThread.join();
    for (auto& entry : instances) {
        if (entry.second->window)
            closeEditor(*entry.second);
        entry.second->plugin->close();
    }
    instances.clear();
    say("bye");
    return 0;
}

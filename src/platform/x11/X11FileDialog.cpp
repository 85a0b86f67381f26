// The open-file dialog on X11: the desktop's own dialog program, `zenity --file-selection`
// (GNOME and most others) or `kdialog --getopenfilename` (KDE), run as a child process with
// the request's title, filters and starting folder. Its answer is the path it prints.
//
// While it runs, the editor stays painted: the wait polls the child's output and our display
// connection together and serves paints (and the host destroying our window). Presses and
// keys on the editor are dropped meanwhile, as the Windows dialog's owner ignores them.
//
// Where neither program is installed nothing is shown; the request says so in `unavailable`
// so that the caller can tell the user where the folder name would appear, instead of the
// load button silently doing nothing.
#include "platform/x11/X11Layer.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace platform {

namespace {

const char* const kNoDialogText = "No file dialog: install zenity or kdialog";

// The program's full path when an executable of that name is on PATH, else empty.
std::string findProgram(const char* name)
{
    const char* path = std::getenv("PATH");
    std::string list = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(':', start), list.size());
        std::string candidate = list.substr(start, end - start);
        if (!candidate.empty()) {
            candidate += "/";
            candidate += name;
            if (access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        start = end + 1;
    }
    return std::string();
}

// The request's filter as (display text, patterns) pairs; "*.*" means every file.
std::vector<std::pair<std::string, std::string>> filterPairs(const char* filter)
{
    std::vector<std::pair<std::string, std::string>> pairs;
    if (!filter)
        return pairs;
    const char* p = filter;
    while (*p) {
        std::string name = p;
        p += name.size() + 1;
        if (!*p)
            break;
        std::string pattern = p;
        p += pattern.size() + 1;
        pairs.emplace_back(name, pattern);
    }
    return pairs;
}

// File patterns for the dialog programs: "*.wav" also as "*.WAV" (names on Linux are case
// sensitive, the Windows dialog's are not); "*.*" becomes "*".
std::string patternsFor(const std::string& pattern)
{
    if (pattern == "*.*" || pattern == "*")
        return "*";
    std::string upper = pattern;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper == pattern ? pattern : pattern + " " + upper;
}

std::string startFolder(const char* initialDir)
{
    if (!initialDir || !*initialDir)
        return std::string();
    std::string folder = initialDir;
    if (folder.back() != '/')
        folder += '/';
    return folder;
}

// Runs the program and collects what it prints; keeps our windows painted meanwhile.
// Returns its exit status, or -1 when it could not be started.
int runAndCollect(X11Layer& layer, const std::vector<std::string>& args, std::string& output)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        return -1;
    }
    bool open = true;
    for (;;) {
        Display* display = layer.display();
        pollfd fds[2] = {{pipeFds[0], POLLIN, 0}, {display ? ConnectionNumber(display) : -1, POLLIN, 0}};
        if (open)
            poll(fds, 2, 50);
        else
            poll(&fds[1], 1, 50);
        if (open && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
            char buffer[4096];
            const ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
            if (got > 0)
                output.append(buffer, static_cast<std::size_t>(got));
            else if (got == 0 || errno != EINTR)
                open = false;
        }
        while (layer.display() && XPending(layer.display()) > 0) {
            XEvent event;
            XNextEvent(layer.display(), &event);
            layer.handleEvent(event, true);
        }
        int status = 0;
        const pid_t done = waitpid(child, &status, open ? WNOHANG : 0);
        if (done == child) {
            // The last of its output may still sit in the pipe.
            char buffer[4096];
            ssize_t got;
            while ((got = read(pipeFds[0], buffer, sizeof buffer)) > 0)
                output.append(buffer, static_cast<std::size_t>(got));
            close(pipeFds[0]);
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (done < 0 && errno != EINTR) {
            close(pipeFds[0]);
            return -1;
        }
    }
}

} // namespace

bool runX11FileDialog(X11Layer& layer, OpenFileRequest& request)
{
    request.unavailable = nullptr;
    const std::string zenity = findProgram("zenity");
    const std::string kdialog = findProgram("kdialog");
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    const bool kde = desktop && std::strstr(desktop, "KDE");
    const bool useKdialog = !kdialog.empty() && (kde || zenity.empty());
    if (zenity.empty() && kdialog.empty()) {
        request.unavailable = kNoDialogText;
        return false;
    }
    // Without a display the dialog programs can only fail, after a process start each; a
    // host automating the load button headless must not pay that per write.
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        return false;
    const auto filters = filterPairs(request.filter);
    const std::string folder = startFolder(request.initialDir);
    const std::string title = request.title ? request.title : "";
    std::vector<std::string> args;
    if (useKdialog) {
        std::string filter;
        for (const auto& pair : filters)
            filter += (filter.empty() ? "" : "\n") + patternsFor(pair.second) + "|" + pair.first;
        args = {kdialog, "--title", title, "--getopenfilename", folder.empty() ? std::string(".") : folder};
        if (!filter.empty())
            args.push_back(filter);
    } else {
        args = {zenity, "--file-selection", "--title=" + title};
        if (!folder.empty())
            args.push_back("--filename=" + folder);
        for (const auto& pair : filters)
            args.push_back("--file-filter=" + pair.first + " | " + patternsFor(pair.second));
    }
    std::string output;
    const int status = runAndCollect(layer, args, output);
    if (status != 0)
        return false; // cancelled, or the program failed
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r'))
        output.pop_back();
    // The path must name an existing file (the Windows dialog's must-exist rule) and fit,
    // with its terminator, into the caller's buffer; otherwise there is no result at all.
    struct stat info;
    if (output.empty() || output.find('\n') != std::string::npos || stat(output.c_str(), &info) != 0 ||
        !S_ISREG(info.st_mode) || output.size() + 1 > request.fileBufferSize)
        return false;
    std::memcpy(request.fileBuffer, output.c_str(), output.size() + 1);
    if (request.fileTitleBuffer && request.fileTitleSize > 0) {
        const std::size_t slash = output.rfind('/');
        const std::string name = slash == std::string::npos ? output : output.substr(slash + 1);
        const std::size_t length = std::min(name.size(), request.fileTitleSize - 1);
        std::memcpy(request.fileTitleBuffer, name.data(), length);
        request.fileTitleBuffer[length] = '\0';
    }
    return true;
}

} // namespace platform

#include "ProcessRunner.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

#ifdef _WIN32
// Quotes one argument the way the C runtime splits a command line.
std::string quoted(const std::string& arg)
{
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
        return arg;
    std::string text = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        text.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        text += c;
    }
    text.append(backslashes * 2, '\\');
    return text + "\"";
}
#endif

} // namespace

ProcessResult ProcessRunner::run(const std::string& program, const std::vector<std::string>& args,
                                 const std::string& scratch, StandardOutput output)
{
    ProcessResult result;
    const bool piped = output == StandardOutput::pipe;
    const std::string outPath = scratch + "/stdout.txt";
    const std::string errPath = scratch + "/stderr.txt";
#ifdef _WIN32
    SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE pipeRead = INVALID_HANDLE_VALUE;
    HANDLE out = INVALID_HANDLE_VALUE;
    if (piped) {
        if (!CreatePipe(&pipeRead, &out, &inherit, 0))
            pipeRead = out = INVALID_HANDLE_VALUE;
        else
            SetHandleInformation(pipeRead, HANDLE_FLAG_INHERIT, 0);
    } else {
        out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    HANDLE err = CreateFileA(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string commandLine = quoted(program);
    for (const std::string& arg : args)
        commandLine += " " + quoted(arg);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION info = {};
    if (out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
        CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &info)) {
        if (piped) {
            // Our copy of the writing end goes, so that the pipe ends with the program.
            CloseHandle(out);
            out = INVALID_HANDLE_VALUE;
            char buffer[65536];
            DWORD got = 0;
            while (ReadFile(pipeRead, buffer, sizeof(buffer), &got, nullptr) && got > 0)
                result.out.append(buffer, got);
        }
        WaitForSingleObject(info.hProcess, INFINITE);
        DWORD code = 0;
        if (GetExitCodeProcess(info.hProcess, &code))
            result.exitCode = static_cast<int>(code);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    if (err != INVALID_HANDLE_VALUE)
        CloseHandle(err);
    if (pipeRead != INVALID_HANDLE_VALUE)
        CloseHandle(pipeRead);
#else
    int pipeEnds[2] = {-1, -1};
    if (piped && pipe(pipeEnds) != 0)
        return result;
    const pid_t child = fork();
    if (child == 0) {
        const int out = piped ? pipeEnds[1] : open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0)
            _exit(127);
        dup2(out, 1);
        dup2(err, 2);
        if (piped) {
            close(pipeEnds[0]);
            close(pipeEnds[1]);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    if (piped) {
        close(pipeEnds[1]);
        char buffer[65536];
        for (;;) {
            const ssize_t got = read(pipeEnds[0], buffer, sizeof(buffer));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            result.out.append(buffer, static_cast<std::size_t>(got));
        }
        close(pipeEnds[0]);
    }
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
#endif
    if (!piped)
        result.out = slurp(outPath);
    result.err = slurp(errPath);
#ifdef _WIN32
    // Text-mode streams end lines with CR LF there; the tests compare lines alone. Piped
    // output is compared byte for byte.
    for (std::string* text : {&result.out, &result.err})
        if (text != &result.out || !piped)
            text->erase(std::remove(text->begin(), text->end(), '\r'), text->end());
#endif
    return result;
}

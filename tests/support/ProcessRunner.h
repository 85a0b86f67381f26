// Runs a program to completion and collects its exit status and output, so that the tests
// can drive the built `orvex` exactly as a user does (under wine, the Windows build).
#pragma once

#include <string>
#include <vector>

struct ProcessResult {
    int exitCode = -1;    // the program's exit status, -1 if it could not be run or was killed
    std::string out;      // everything it wrote to standard output
    std::string err;      // everything it wrote to standard error
};

// Where the program's standard output goes.
enum class StandardOutput {
    file, // a file in the scratch folder; text (under wine, CR LF becomes LF)
    pipe, // a pipe, as in a shell pipeline: nothing can seek on it; the bytes as they came
};

class ProcessRunner {
public:
    // Runs `program` with `args` (no shell involved); `scratch` is a folder for the captured output.
    static ProcessResult run(const std::string& program, const std::vector<std::string>& args,
                             const std::string& scratch, StandardOutput output = StandardOutput::file);
};

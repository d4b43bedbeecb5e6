#pragma once
// Runs a program the way the cli tests drive marvek-cli: a shell command line, its standard
// output captured, its exit status decoded.

#include <string>
#include <vector>

namespace marvek::testing {

struct CommandRun {
    int status = -1;  // the exit status; -1 when the program did not exit normally
    std::string out;  // standard output (redirect stderr in the command line to see it)
};

CommandRun RunCommand(const std::string& commandLine);

// `text` cut at its line ends (no empty last line for a final newline).
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace marvek::testing

#include "support/run_command.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <sstream>

namespace marvek::testing {

CommandRun RunCommand(const std::string& commandLine) {
    CommandRun run;
    FILE* pipe = ::popen(commandLine.c_str(), "r");
    if (pipe == nullptr) return run;
    std::array<char, 4096> buffer;
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
        run.out.append(buffer.data(), n);
    const int raw = ::pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace marvek::testing

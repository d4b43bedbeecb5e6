#pragma once
// The application: runs the main window until it closes.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct LaunchOptions {
    std::vector<std::filesystem::path> files;         // selected at start, as if chosen
    std::optional<std::filesystem::path> screenshot;  // write the window as PNG and exit
    std::string window = "main";  // which window the screenshot shows: main, help or about
    // With --screenshot: the window's size in pixels (as on a screen of that size, or
    // maximised on it); 0: the window's own.
    int width = 0, height = 0;
    bool help = false;
    bool version = false;
};

// Reads `marvek [--screenshot OUT.png] [FILE...]`; nullopt and `error` set when malformed.
std::optional<LaunchOptions> ParseLaunchOptions(const std::vector<std::string>& args,
                                                std::string& error);

class CIndentApp {
public:
    // Shows the main window modally; returns the process exit code.
    int InitInstance(const LaunchOptions& options);

private:
    // Writes the chosen window as PNG without waiting for anyone; 1 when a message was raised
    // (it is printed on stderr) or the picture could not be written.
    int Screenshot(const LaunchOptions& options);
};

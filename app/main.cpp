// marvek: the desktop program.
#include <QApplication>
#include <QIcon>
#include <QLocale>
#include <clocale>
#include <cstdlib>
#include <iostream>

#include "app/indent_app.h"
#include "marvek_version.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto options = ParseLaunchOptions(args, error);
    if (!options) {
        std::cerr << "marvek: " << error << "\n";
        return 2;
    }
    if (options->version) {
        std::cout << "marvek " << MARVEK_VERSION << "\n";
        return 0;
    }
    if (options->help) {
        std::cout
            << "Usage: marvek [--screenshot OUT.png [--window W] [--size WxH]] [FILE.csv...]\n"
               "Opens the main window with the given curve files selected.\n"
               "--screenshot  analyse the first file, write the window as PNG and exit\n"
               "--window      with --screenshot: main (default), main-fit (its plot zoomed into\n"
               "              the unloading fit), main-popins (zoomed to the pop-ins), help,\n"
               "              about, explore (the plot explorer zoomed\n"
               "              into the unloading fit), overlay (every curve given with\n"
               "              the mean and SD), overlay-normalised, profile (the depth\n"
               "              profiles of a continuous-stiffness workbook), map (the\n"
               "              property map and phases), graph (Modulus - Depth) or\n"
               "              graph:NAME (any graph by its marvek-cli graph name, e.g. "
               "graph:hardness-profile)\n"
               "--size        with --screenshot: the window at WxH pixels (e.g. 1366x768)\n"
               "--version     print the version and exit\n";
        return 0;
    }
    // A screenshot needs no display.
    if (options->screenshot) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication qapp(argc, argv);
    QApplication::setApplicationName("Marvek");
    QApplication::setWindowIcon(QIcon(":/res/marvek.png"));
    // The desktop locale must not change how numbers are read or shown.
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale::c());
    CIndentApp app;
    return app.InitInstance(*options);
}

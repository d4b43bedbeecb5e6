// marvek_make_grid FOLDER [ROWS COLUMNS]: writes a generated two-phase grid of indents (TriboScan
// .hld files with stage positions) for trying the property map by hand and for its screenshot.
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "support/indent_grid.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::cerr << "usage: marvek_make_grid FOLDER [ROWS COLUMNS]\n";
        return 2;
    }
    marvek::testing::IndentGrid grid;
    if (argc == 4) {
        grid.rows = std::atoi(argv[2]);
        grid.columns = std::atoi(argv[3]);
        if (grid.rows < 1 || grid.columns < 1 || grid.rows > 1000 || grid.columns > 1000) {
            std::cerr << "marvek_make_grid: ROWS and COLUMNS are 1 ... 1000\n";
            return 2;
        }
        grid.radius_um = 0.3 * std::min(grid.rows, grid.columns) * grid.pitch_um;
    }
    std::filesystem::create_directories(argv[1]);
    const auto written = marvek::testing::WriteIndentGrid(argv[1], grid);
    std::cout << written.files.size() << " indents written to " << argv[1] << "\n";
    return 0;
}

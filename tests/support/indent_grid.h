#pragma once
// A grid of indents over a two-phase microstructure, written as TriboScan .hld files that record
// their stage position: the map view's tests, its benchmark and its screenshot open them as a
// user opens an instrument's grid.

#include <filesystem>
#include <vector>

namespace marvek::testing {

struct IndentGrid {
    int rows = 8, columns = 8;
    double pitch_um = 5;
    // A round particle of the hard phase in a soft matrix: indents within `radius_um` of the
    // grid's centre are particle.
    double radius_um = 12;
    double matrixHardness = 3, matrixModulus = 110;      // GPa (H, Er)
    double particleHardness = 9, particleModulus = 240;  // GPa
    double spread = 0.04;  // relative SD of each indent's H and Er about its phase's
    double fmax = 5;       // mN
    int pointsPerBranch = 40;
    unsigned seed = 7;
};

struct WrittenGrid {
    std::vector<std::filesystem::path> files;  // raster order, bottom row first
    std::vector<bool> particle;                // per file
};

// Writes grid_RRR_CCC.hld files into `folder`.
WrittenGrid WriteIndentGrid(const std::filesystem::path& folder, const IndentGrid& grid);

}  // namespace marvek::testing

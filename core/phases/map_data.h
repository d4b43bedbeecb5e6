#pragma once
// A property map over the indent positions: the values interpolated onto a regular grid of
// cells with equal sides (equal axes in µm), for a picture or a window to colour.

#include <vector>

namespace marvek::phases {

struct MapPoint {
    double x_um, y_um, value;
};

struct MapGrid {
    double x0_um = 0, y0_um = 0;  // the bottom-left corner of cell (0, 0)
    double cell_um = 1;           // each cell's side
    int nx = 0, ny = 0;
    std::vector<double> values;   // ny rows of nx, bottom row first; NaN far from any indent
    double minValue = 0, maxValue = 0;  // of the indents' values (the colour scale)
    double spacing_um = 0;              // the typical distance between neighbouring indents
};

// Inverse-distance weighting (Shepard 1968) of the `neighbours` nearest indents (power 2):
// it passes through every indent, never leaves the indents' value range and needs no
// triangulation of grids with missing indents. Cells farther than 1.5 indent spacings from the
// nearest indent stay NaN, so a map never shows values where nothing was measured.
// The longer side gets `maxCells` cells. Points with a non-finite value are ignored.
MapGrid InterpolateMap(const std::vector<MapPoint>& points, int maxCells = 300,
                       int neighbours = 6);

}  // namespace marvek::phases

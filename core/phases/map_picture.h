#pragma once
// The map picture (PNG and/or SVG) of a property over the indent positions. Drawing needs Qt's
// painter, so the renderer lives in a module (maps/map_picture.cpp, marvek_map_picture.so)
// loaded only by the runs that draw a map; core itself stays free of Qt.

#include <cstddef>
#include <string>
#include <vector>

#include "core/base/status.h"
#include "core/phases/map_data.h"

namespace marvek::phases {

struct MapPicture {
    MapGrid grid;                    // the interpolated surface
    std::vector<MapPoint> points;    // the indents, drawn as dots
    std::string title;               // above the map
    std::string valueLabel;          // the colour bar's label with the unit, e.g. "HIT [MPa]"
    int categories = 0;              // > 0: values are phase numbers 1..categories (no surface)
    int width = 1000, height = 800;  // pixels of the PNG (the SVG uses the same layout)
};

// The colour of `t` in [0, 1]: a blue-to-yellow scale whose lightness rises steadily (after
// cividis, Nuñez, Anderton & Renslow, PLoS ONE 13 (2018) e0199239), so that a map printed in
// grey keeps its order and readers with a colour-vision deficiency see the same map.
struct Rgb {
    unsigned char r, g, b;
};
Rgb MapColour(double t);

// Writes the picture to `png` and/or `svg` (an empty path is skipped).
Status WriteMapPicture(const MapPicture& picture, const std::string& png, const std::string& svg);

struct MapPictureModule {
    std::size_t pictureSize;  // a module of another build is refused, not called
    Status (*write)(const MapPicture& picture, const std::string& png, const std::string& svg);
};
inline constexpr const char* kMapPictureModule = "marvek_map_picture";
inline constexpr const char* kMapPictureEntry = "marvek_map_picture";

}  // namespace marvek::phases

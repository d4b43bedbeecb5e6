#include "core/phases/map_picture.h"

#include <algorithm>
#include <cmath>

#include "core/platform/module_loader.h"

namespace marvek::phases {

Rgb MapColour(double t) {
    // Anchors of rising luminance (30 ... 224 of 255), blue through grey to yellow.
    static constexpr Rgb kAnchors[] = {{0x00, 0x22, 0x4E}, {0x12, 0x35, 0x70}, {0x3B, 0x49, 0x6C},
                                       {0x57, 0x5D, 0x6D}, {0x70, 0x71, 0x73}, {0x8A, 0x86, 0x78},
                                       {0xA5, 0x9C, 0x74}, {0xDD, 0xC7, 0x5A}, {0xFE, 0xE8, 0x38}};
    constexpr int kSteps = static_cast<int>(std::size(kAnchors)) - 1;
    if (!std::isfinite(t)) t = 0;
    const double x = std::clamp(t, 0.0, 1.0) * kSteps;
    const int i = std::min(kSteps - 1, static_cast<int>(x));
    const double f = x - i;
    auto mix = [f](unsigned char a, unsigned char b) {
        return static_cast<unsigned char>(std::lround(a + (b - a) * f));
    };
    return {mix(kAnchors[i].r, kAnchors[i + 1].r), mix(kAnchors[i].g, kAnchors[i + 1].g),
            mix(kAnchors[i].b, kAnchors[i + 1].b)};
}

Status WriteMapPicture(const MapPicture& picture, const std::string& png, const std::string& svg) {
    const std::string target = png.empty() ? svg : png;
    std::string error;
    const auto* module = static_cast<const MapPictureModule*>(
        io::LoadModuleTable(kMapPictureModule, kMapPictureEntry, error));
    if (module && module->pictureSize != sizeof(MapPicture))
        error = std::string("the module ") + kMapPictureModule + ".so belongs to another build";
    if (!module || !error.empty())
        return Status::FileError(target, "cannot draw the map: " + error);
    return module->write(picture, png, svg);
}

}  // namespace marvek::phases

// The generator's parts: interface icons, bitmap fonts, built-in models and
// the sample resources. Each writes its files under the data folder given to
// it and returns false when a file could not be written.
#pragma once

#include <string>
#include <vector>

#include "raster.h"

struct IconInfo {
    std::string file;         // path under the data folder
    std::string description;  // what the picture shows, for the README
};

// Writes textures/*.png (the icon table and the window icon) and fills `out`
// with one entry per file, in the editor's load order, window icon last.
bool icons_generate(const std::string& data_dir, std::vector<IconInfo>* out);
// A contact sheet of every icon at 24 and 64 pixels on the panel color.
bool icons_contact_sheet(const std::string& data_dir, const std::string& path);

struct FontFacts {
    std::string description_path;  // under the data folder
    std::string image_path;
    std::string source;            // the TrueType file it came from
    int pixel_size;                // FreeType pixel size of the em
    int image_width, image_height;
    int glyph_count;               // "g" lines, space and tab included
    int line_height_px;            // tallest glyph box, padding included
    int ascent_px, descent_px;     // box extents above and below the baseline;
                                   // the pen line lies descent_px below it
    int padding_px;
};

struct FontParams {
    std::string ttf;
    int pixel_size;
    int image_width, image_height;
    std::string description_path;  // e.g. "textures/font_info.txt"
    std::string image_name;        // written beside the description
};

bool font_generate(const std::string& data_dir, const FontParams& params, FontFacts* facts);
// Lays a few lines of text out exactly as the editor does (font scale 256,
// the given text scale, pixel snapping) from the written files and saves the
// result as a PNG on a dark background.
bool font_preview(const std::string& data_dir, const std::string& description_path,
                  const std::vector<std::string>& lines, double text_scale, const std::string& path);

bool models_generate(const std::string& data_dir);
bool samples_generate(const std::string& data_dir);

// Previews (preview.cpp): the sample textures tiled 2x2, and OBJ files drawn
// side by side from a viewing direction (yaw and pitch in degrees, Z up).
bool samples_preview(const std::string& data_dir, const std::string& path);
bool mesh_preview(const std::string& data_dir, const std::vector<std::string>& objs, double yaw, double pitch,
                  const std::string& path);

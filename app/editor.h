// The one global state record of the program. Every subsystem keeps its
// state in a sub-record here; subsystem headers never include this file
// (only .cpp files do), so the record can name all of them.
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "core/memory.h"
#include "assets/assets.h"
#include "math/math.h"
#include "app/camera.h"
#include "scene/scene.h"
#include "scene/history.h"
#include "scene/recovery.h"
#include "render/draw.h"
#include "render/scene_render.h"
#include "tools/hierarchy.h"
#include "app/panels.h"
#include "ui/widgets.h"
#include "tools/selection.h"
#include "tools/property_panel.h"

struct LaunchOptions {
    bool fullscreen;        // "-f", "-fullscreen"
    bool display_paced;     // "-v": present with the display, no sleep
    int64_t sleep_amount;   // "-s N", "-sleep N"
    String resources_path;  // "-r PATH"
    String scene_path;      // SCENE: opened at start-up
    String template_path;   // "-template SCENE": opened as a new, never-saved scene
    int64_t autosave_interval;  // "-autosave N": seconds, 0 off
};

enum : int32_t {
    COLOR_BLACK, COLOR_DARK_GRAY, COLOR_GRAY, COLOR_LIGHT_GRAY, COLOR_WHITE, COLOR_RED, COLOR_GREEN,
    COLOR_BLUE, COLOR_YELLOW, COLOR_CYAN, COLOR_MAGENTA, COLOR_VIOLET, COLOR_ORANGE, COLOR_COUNT,
};

struct Editor {
    Pool pools[POOL_COUNT];         // persistent, frame, the two scene arenas, scratch
    Mat4 view_matrix;               // what every draw uploads
    Mat4 projection_matrix;
    Vec4 palette[COLOR_COUNT];      // named colors, fixed at start-up
    double gamma_value;             // 2.2
    bool running;
    double timestep;                // seconds of motion per frame
    double work_seconds;            // time in the last editor_frame
    double frame_seconds;           // last present-to-present time
    int32_t window_width, window_height;
    int64_t sleep_amount;           // milliseconds after each present
    bool viewport_keys;             // viewport shortcuts live this frame
    int64_t text_focus;             // a text field claimed the keyboard last frame
    const void* text_focus_field;   // the last field that claimed it (compared, never read through)
    float mouse_x, mouse_y;         // window pixels, y from the bottom
    Array<uint8_t> input_enable_stack;  // top: the pointer may act on this area
    bool show_stats;
    LaunchOptions options;
    // The file a never-saved scene was started from ("-template"): the quit
    // check compares with it, saving never writes to it.
    String untitled_source;
    // What the window's title bar shows now, so it is handed over only on a change.
    char window_title[1024];
    int64_t window_title_length;

    // Main loop bookkeeping
    int64_t counter_frequency;      // ticks per second
    int64_t counter_previous_present;
    uint8_t* image_block;           // decoder memory during start-up only

    // Subsystem records (added as the subsystems arrive)
    Camera camera;
    AssetState assets;              // icons, default font, name tables, built-in meshes
    Theme theme;
    SceneState scene;               // objects, rows, settings, templates, path and modified flag
    RenderState render;             // shader programs, batch and draw state, scene and picking targets
    ViewportToolState tools;        // placement cursor and box, path mode, edited object, gizmo flags
    PanelState panels;              // floating panels in stacking order, moving and hover
    ToolbarState toolbar;           // toolbar button states, strip height, layout cursor
    SelectionState selection;       // both gizmos, the pending selection box, the picked sub-element
    PropertyPanelState properties;  // what the property panels edit, position fields focused
    HistoryState history;           // undo and redo steps
    RecoveryState recovery;         // autosave timing and the recovery question
    HierarchyDrag hierarchy;        // the object lists' press and drag of rows
};

extern Editor editor;

void input_enable_push(uint8_t value);
void input_enable_pop();
uint8_t input_enable_top();

// The scene's 2D setting (orthographic top view).
bool editor_mode_2d();

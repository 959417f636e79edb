// The scene pass: every visible object in hierarchy-row order, then the
// selection highlights over everything, the gizmo, and the placement tool's
// previews. Relies on render/draw (batch and meshes), ui/text (glyph layout),
// the camera, the scene records and the tool state below.
#pragma once

#include <cstdint>

#include "math/math.h"
#include "scene/scene.h"

// Viewport tool state that the scene and picking passes draw from. The
// placement and path tools, the pick and the property panel write it; the
// renderer reads it and writes only the two gizmo flags at the end of its
// pass. Kept in the editor as `editor.tools`.
struct ViewportToolState {
    bool path_mode;                  // path editing on (never with placement mode)
    bool show_data_objects;          // data markers drawn, picked and previewed; starts off
    Transform placement_cursor;      // where the next object goes
    bool world_box_pending;          // a placement box has been started
    Vec3 world_box_a, world_box_b;   // its first and its moving second corner
    SceneRef edited_object;          // what the property panel edits (found again each use); its path shows a white marker
    bool selection_changed;          // set by a viewport pick, cleared by the next scene pass
    bool pointer_free_of_gizmos;     // no gizmo handle under the pointer; the pick reads it next frame
};

// Start-up values: nothing pending, the cursor at the origin with scale 1,
// the pointer free of the gizmos.
ViewportToolState viewport_tool_state_default();

// The whole pass into the bound scene target (the editor frame has bound it,
// made "simple" current, cleared it and set the camera matrices).
void scene_render();

// The camera's rotation R_cam as a 4 x 4 matrix: camera axes to world axes.
Mat4 camera_rotation_matrix();
// transform_to_matrix, or for a billboard translation x R_cam x rotation x
// scale (the stored rotation, not normalised).
Mat4 object_model_matrix(Transform transform, bool billboard);
// A camera-facing square of 1 x 1 world units centred on `position`.
Mat4 icon_billboard_matrix(Vec3 position);

// One object each; the placement preview calls them with the template.
void draw_quad_object(const SceneObject& object);
void draw_text_object(const SceneObject& object);
void draw_mesh_object(const SceneObject& object);
void draw_data_object(const SceneObject& object);

// The layout of a text block in its object's frame, shared by the drawing,
// the highlight and the picking pass.
struct TextBlockLayout {
    float scale;        // 1 / pixels_per_unit
    float line_height;  // d: the font's line height x scale x font scale
    float top;          // y of the block's top edge
    int64_t lines;
};
TextBlockLayout text_block_layout(const TextBlock& text);
// False for a block whose pixels_per_unit is not a finite positive number (a
// damaged or hand-made file): it has no size and is neither drawn nor picked.
bool text_block_has_size(const TextBlock& text);
// The block's rectangle (the whole text measured) as the matrix that maps
// (0, 0)..(W, H) onto it, with W and H written out.
Mat4 text_block_rectangle(const SceneObject& object, float* width, float* height);
// Appends the rectangle (0, 0)..(width, height) through `m` with the current
// color; `both_sides` adds the reversed copy so it shows from behind too.
void text_rectangle_append(Mat4 m, float width, float height, bool both_sides);
// Model matrix of a quad object (2 x 2 units) with its four corners appended
// with the current color and uv rectangle `uv`.
void quad_object_append(const SceneObject& object, Vec4 uv);

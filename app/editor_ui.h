// The editor's own interface around the viewport: the toolbar and what its
// buttons do, the Control shortcuts, the contents of the panels by kind, the
// save question and the window title. The editor frame calls these after the
// scene pass. Relies on the widgets, the panels, scene file management
// (scene/file_dialog) and the editor state.
#pragma once

#include <cstdint>

#include "app/panels.h"
#include "math/math.h"
#include "ui/widgets.h"

// The toolbar's widgets, left to right.
enum : int32_t {
    TOOLBAR_NEW, TOOLBAR_OPEN, TOOLBAR_SAVE, TOOLBAR_EXPORT,
    TOOLBAR_PLACEMENT, TOOLBAR_PIVOT, TOOLBAR_PATH,
    TOOLBAR_GIZMO_FIRST,                              // four gizmo modes
    TOOLBAR_KIND_FIRST = TOOLBAR_GIZMO_FIRST + 4,     // five placement kinds
    TOOLBAR_SHOW_OBJECTS = TOOLBAR_KIND_FIRST + 5,
    TOOLBAR_SHOW_PROPERTIES,
    TOOLBAR_SHOW_GLOBAL_PROPERTIES,
};
static_assert(TOOLBAR_SHOW_GLOBAL_PROPERTIES + 1 == TOOLBAR_BUTTON_COUNT, "one state per toolbar widget");

// Which widgets were clicked this frame. Hidden widgets are not updated and
// keep their old state, so their clicks are taken only from this record.
struct ToolbarClicks {
    bool clicked[TOOLBAR_BUTTON_COUNT];
};

// The strip and its widgets (gizmo modes only while the gizmo is shown,
// placement kinds only in placement mode; a hidden group takes its gap along).
ToolbarClicks editor_toolbar();
// The buttons' and the Control shortcuts' actions, in their fixed order.
// The shortcuts act whoever has the keyboard.
void editor_actions(const ToolbarClicks& clicks);

// Opens the object list, property or global properties panel (300 x 400 at
// the bottom-left corner; panel_init builds a property panel's groups).
// Returns the index, -1 when it could not be made.
int64_t editor_open_tool_panel(uint8_t kind);

// The save question inside `rect`: its text, and "yes" / "no" / "cancel".
void save_prompt_update(SavePrompt* prompt, Vec4 rect);
// The question's text for the current scene path (frame pool).
String save_prompt_text();

// Draws one panel's content by its kind (panels_draw's content function).
void editor_panel_content(int64_t index, Vec4 rect);

// "tarnisk", or "tarnisk — NAME" with NAME the scene file's name without its
// folder, and " *" while the scene is modified (frame pool).
String editor_window_title();
// Hands the title to the window when it changed.
void editor_window_title_update();

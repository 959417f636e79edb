// The editor frame: camera matrices, the picking pass when the frame picks,
// the scene pass, then the interface in window pixels (status texts and
// statistics). Called once per frame by the main loop after input, camera
// and tools. Relies on the renderer (render/), ui/text and the editor state.
#pragma once

#include "core/containers.h"

void editor_frame();
// Frames composed since start-up (tests use it to tell whether the main loop
// ran the editor frame).
int64_t editor_frame_count();

// The interface over the viewport: panels with their contents, the
// toolbar, the toolbar's and the shortcuts' actions, the window title.
void editor_interface();
// Step 1 on its own: the camera's view and projection (perspective, or the
// orthographic top view in 2D mode) into the editor's matrices.
void editor_camera_matrices();
// The camera line shown at the bottom right: "position x,y,z yaw Y pitch P".
String editor_camera_line(int8_t pool);

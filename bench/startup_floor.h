// The start-up floor: the bare program every editor start-up is measured
// against (bench/startup_bench). Relies on the platform layer only.
#pragma once

// Opens the window and context, builds the four programs from the shader
// files of the current folder, draws one triangle with each into an RGBA16F
// target and presents once. False when there is no window or a program did
// not build; startup_floor_close releases what it made either way.
bool startup_floor_present();
void startup_floor_close();

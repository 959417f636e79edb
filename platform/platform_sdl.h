// What the SDL backend shows of itself to the test harness: the window, and
// the key table read both ways so that tests can inject real SDL key events.
// Editor code never includes this header.
#pragma once

#include <cstdint>

struct SDL_Window;

SDL_Window* platform_sdl_window();              // null while no window is open
int32_t platform_sdl_scancode_of_key(int32_t key);      // first SDL scancode of an editor key; 0 none
int32_t platform_sdl_key_of_scancode(int32_t scancode); // editor key of an SDL scancode; 0 none

// The one editor state and the pointer-area stack every widget consults.
#include "app/editor.h"

Editor editor;

void input_enable_push(uint8_t value) { array_push(&editor.input_enable_stack, value); }

void input_enable_pop() {
    if (editor.input_enable_stack.count > 0) editor.input_enable_stack.count--;
}

uint8_t input_enable_top() {
    const Array<uint8_t>& stack = editor.input_enable_stack;
    return stack.count > 0 ? stack.data[stack.count - 1] : 0;
}

bool editor_mode_2d() { return editor.scene.settings.view_2d; }

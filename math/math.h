// Placeholder until the math module lands: the records the editor state needs.
#pragma once
struct Vec4 { float x, y, z, w; };
struct Mat4 { float m[16]; };

// Resource list, textures, the icon table and the name tables. Relies on the
// platform's image and texture calls and on the editor's asset record.
#include "app/editor.h"
#include "assets/assets.h"

Texture texture_find(String name) {
    int64_t index = 0;
    if (map_lookup(&editor.assets.texture_map, name, &index)) return editor.assets.textures.data[index];
    return editor.assets.icons[ICON_WHITE];
}

Font* font_find(String name) {
    int64_t index = 0;
    if (map_lookup(&editor.assets.font_map, name, &index)) return editor.assets.fonts.data[index];
    return &editor.assets.default_font;
}

Mesh* mesh_find(String name) {
    int64_t index = 0;
    if (map_lookup(&editor.assets.mesh_map, name, &index)) return editor.assets.meshes.data[index];
    return nullptr;
}

Texture texture_load(String, int32_t, int32_t, int32_t, int32_t) { return 0; }
void icons_load() {}
bool manifest_load(String) { return false; }
void textures_release() {}
void meshes_release() {}
bool font_load(String, Font*) { return false; }
bool mesh_import(Mesh*, String) { return false; }
bool mesh_load_builtin(Mesh* slot, String) { *slot = Mesh{}; return false; }
void theme_defaults(Theme* theme) { *theme = Theme{}; }
void theme_apply(Theme*, String) {}
void theme_load(Theme*, String) {}

// Previews of generated data, for looking at, never shipped: sample textures
// tiled 2x2, and OBJ meshes drawn by a small software rasteriser (flat
// shading, depth buffer, back faces culled as in the editor, material colors
// shown as written and diffuse maps looked up by their resource names).
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "datagen.h"

bool samples_preview(const std::string& data_dir, const std::string& path) {
    const char* names[] = {"checker", "bricks", "wood"};
    Canvas out = canvas_make(3 * 2 * 256 + 4 * 8, 2 * 256 + 16, {0.1f, 0.1f, 0.1f, 1});
    for (int i = 0; i < 3; i++) {
        Canvas t;
        if (!canvas_read_png(&t, data_dir + "/samples/" + names[i] + ".png")) return false;
        for (int k = 0; k < 4; k++) canvas_blit(out, t, 8 + i * (512 + 8) + (k % 2) * 256, 8 + (k / 2) * 256);
    }
    return canvas_write_png(out, path);
}

namespace {

struct P3 {
    double x, y, z;
};

struct Material {
    double r = 1, g = 1, b = 1;
    Canvas* map = nullptr;
};

}  // namespace

// Draws each OBJ in its own cell, seen from (yaw, pitch) in degrees.
bool mesh_preview(const std::string& data_dir, const std::vector<std::string>& objs, double yaw, double pitch,
                  const std::string& path) {
    const int cell = 256;
    Canvas out = canvas_make(cell * (int)objs.size(), cell, {0.12f, 0.13f, 0.16f, 1});
    std::vector<float> depth((size_t)out.width * out.height, 1e30f);
    std::map<std::string, Canvas> textures;
    for (const char* t : {"checker", "bricks", "wood"}) canvas_read_png(&textures[t], data_dir + "/samples/" + t + ".png");

    double cy = std::cos(yaw * M_PI / 180), sy = std::sin(yaw * M_PI / 180);
    double cp = std::cos(pitch * M_PI / 180), sp = std::sin(pitch * M_PI / 180);
    // World is Z up. Camera: turn about Z by yaw, then tilt by pitch; screen
    // x right, y up, depth towards the viewer.
    auto view = [&](P3 p) {
        double x = p.x * cy - p.y * sy, y = p.x * sy + p.y * cy, z = p.z;
        // y is now the depth axis (away from the viewer), z up.
        double up = z * cp + y * sp, away = y * cp - z * sp;
        return P3{x, up, -away};
    };
    P3 light = {0.4, 0.7, 0.6};

    for (size_t m = 0; m < objs.size(); m++) {
        std::ifstream in(data_dir + "/" + objs[m]);
        if (!in) return false;
        std::vector<P3> v;
        std::vector<std::pair<double, double>> vt;
        std::map<std::string, Material> materials;
        Material current;
        struct Tri {
            P3 p[3];
            double u[3], w[3];
            Material mat;
        };
        std::vector<Tri> tris;
        std::string line;
        std::string dir = objs[m].substr(0, objs[m].rfind('/') + 1);
        while (std::getline(in, line)) {
            std::istringstream ls(line);
            std::string tag;
            ls >> tag;
            if (tag == "v") {
                P3 p;
                ls >> p.x >> p.y >> p.z;
                v.push_back(p);
            } else if (tag == "vt") {
                double a, b;
                ls >> a >> b;
                vt.push_back({a, b});
            } else if (tag == "mtllib") {
                std::string name;
                ls >> name;
                std::ifstream mtl(data_dir + "/" + dir + name);
                std::string ml, mname;
                while (std::getline(mtl, ml)) {
                    std::istringstream ms(ml);
                    std::string mt;
                    ms >> mt;
                    if (mt == "newmtl") ms >> mname;
                    if (mt == "Kd") {
                        ms >> materials[mname].r >> materials[mname].g >> materials[mname].b;
                    }
                    if (mt == "map_Kd") {
                        std::string t;
                        ms >> t;
                        if (textures.count(t)) materials[mname].map = &textures[t];
                    }
                }
            } else if (tag == "usemtl") {
                std::string name;
                ls >> name;
                current = materials[name];
            } else if (tag == "f") {
                std::vector<int> pi, ti;
                std::string c;
                while (ls >> c) {
                    int a = 0, b = 0;
                    std::sscanf(c.c_str(), "%d/%d", &a, &b);
                    pi.push_back(a - 1);
                    ti.push_back(b - 1);
                }
                for (size_t k = 1; k + 1 < pi.size(); k++) {
                    Tri t;
                    int idx[3] = {0, (int)k, (int)k + 1};
                    for (int j = 0; j < 3; j++) {
                        t.p[j] = v[pi[idx[j]]];
                        t.u[j] = ti[idx[j]] >= 0 ? vt[ti[idx[j]]].first : 0;
                        t.w[j] = ti[idx[j]] >= 0 ? vt[ti[idx[j]]].second : 0;
                    }
                    t.mat = current;
                    tris.push_back(t);
                }
            }
        }
        // Fit the mesh into its cell.
        P3 lo = {1e9, 1e9, 1e9}, hi = {-1e9, -1e9, -1e9};
        for (const Tri& t : tris)
            for (const P3& p : t.p) {
                P3 q = view(p);
                lo = {std::min(lo.x, q.x), std::min(lo.y, q.y), 0};
                hi = {std::max(hi.x, q.x), std::max(hi.y, q.y), 0};
            }
        double scale = (cell - 24) / std::max(hi.x - lo.x, hi.y - lo.y);
        double ox = cell * m + cell / 2.0 - (lo.x + hi.x) / 2 * scale, oy = cell / 2.0 + (lo.y + hi.y) / 2 * scale;
        for (const Tri& t : tris) {
            P3 s[3];
            for (int j = 0; j < 3; j++) {
                P3 q = view(t.p[j]);
                s[j] = {ox + q.x * scale, oy - q.y * scale, q.z};
            }
            // Screen y is down, so a counter-clockwise front face has a
            // negative signed area here.
            double area = (s[1].x - s[0].x) * (s[2].y - s[0].y) - (s[2].x - s[0].x) * (s[1].y - s[0].y);
            if (area >= 0) continue;
            P3 e1 = {t.p[1].x - t.p[0].x, t.p[1].y - t.p[0].y, t.p[1].z - t.p[0].z};
            P3 e2 = {t.p[2].x - t.p[0].x, t.p[2].y - t.p[0].y, t.p[2].z - t.p[0].z};
            P3 n = {e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x};
            double nl = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
            double lambert = std::max(0.0, (n.x * light.x + n.y * light.y + n.z * light.z) / nl / 1.0);
            double shade = 0.35 + 0.65 * lambert;
            int x0 = (int)std::floor(std::min({s[0].x, s[1].x, s[2].x})), x1 = (int)std::ceil(std::max({s[0].x, s[1].x, s[2].x}));
            int y0 = (int)std::floor(std::min({s[0].y, s[1].y, s[2].y})), y1 = (int)std::ceil(std::max({s[0].y, s[1].y, s[2].y}));
            for (int y = std::max(0, y0); y <= std::min(out.height - 1, y1); y++) {
                for (int x = std::max(0, x0); x <= std::min(out.width - 1, x1); x++) {
                    double px = x + 0.5, py = y + 0.5;
                    double w0 = ((s[1].x - px) * (s[2].y - py) - (s[2].x - px) * (s[1].y - py)) / area;
                    double w1 = ((s[2].x - px) * (s[0].y - py) - (s[0].x - px) * (s[2].y - py)) / area;
                    double w2 = 1 - w0 - w1;
                    if (w0 < 0 || w1 < 0 || w2 < 0) continue;
                    float z = (float)-(w0 * s[0].z + w1 * s[1].z + w2 * s[2].z);
                    float& d = depth[(size_t)y * out.width + x];
                    if (z >= d) continue;
                    d = z;
                    double r = t.mat.r, g = t.mat.g, b = t.mat.b;
                    if (t.mat.map) {
                        double u = w0 * t.u[0] + w1 * t.u[1] + w2 * t.u[2];
                        double w = w0 * t.w[0] + w1 * t.w[1] + w2 * t.w[2];
                        const Canvas& img = *t.mat.map;
                        int tx = ((int)std::floor(u * img.width) % img.width + img.width) % img.width;
                        int ty = ((int)std::floor(w * img.height) % img.height + img.height) % img.height;
                        Color c = canvas_get(img, tx, img.height - 1 - ty);
                        r *= c.r;
                        g *= c.g;
                        b *= c.b;
                    }
                    canvas_set(out, x, y, {(float)(r * shade), (float)(g * shade), (float)(b * shade), 1});
                }
            }
        }
    }
    return canvas_write_png(out, path);
}

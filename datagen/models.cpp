// Built-in models (cube, sphere, torus, arrow, cylinder) and the sample
// meshes, written as Wavefront OBJ with positions, texture coordinates and
// normals, faces wound counter-clockwise seen from outside (culling is on).
// Every mesh uses a material: meshes are drawn one material range at a time,
// and corners without a material belong to no range.
#include <cmath>
#include <string>
#include <vector>

#include "datagen.h"

namespace {

const double PI = 3.14159265358979323846;

struct V3 {
    double x, y, z;
};
V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(V3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
V3 cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double dot3(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 normalize(V3 a) {
    double l = std::sqrt(dot3(a, a));
    return l > 0 ? a * (1.0 / l) : a;
}

struct Corner {
    int p, t, n;  // 0-based
};

struct Face {
    std::vector<Corner> corners;
    int material;
};

struct MeshBuilder {
    std::vector<V3> positions;
    std::vector<V3> normals;
    std::vector<double> uvs;  // pairs
    std::vector<Face> faces;
    int material = 0;

    int pos(V3 p) {
        positions.push_back(p);
        return (int)positions.size() - 1;
    }
    int nrm(V3 n) {
        normals.push_back(normalize(n));
        return (int)normals.size() - 1;
    }
    int uv(double u, double v) {
        uvs.push_back(u);
        uvs.push_back(v);
        return (int)uvs.size() / 2 - 1;
    }
    void face(std::vector<Corner> c) { faces.push_back({c, material}); }

    // A flat quad from `origin` spanning `du` and `dv`; its front (the side
    // the counter-clockwise order faces) is du x dv. Texture coordinates run
    // 0..u_size and 0..v_size.
    void quad(V3 origin, V3 du, V3 dv, double u_size = 1, double v_size = 1) {
        int n = nrm(cross(du, dv));
        int p0 = pos(origin), p1 = pos(origin + du), p2 = pos(origin + du + dv), p3 = pos(origin + dv);
        int t0 = uv(0, 0), t1 = uv(u_size, 0), t2 = uv(u_size, v_size), t3 = uv(0, v_size);
        face({{p0, t0, n}, {p1, t1, n}, {p2, t2, n}, {p3, t3, n}});
    }

    // Texture coordinates are planar: u along a->b, v up the triangle's
    // plane, both measured from `uv_origin` so that a pattern can continue
    // from a neighbouring face.
    void triangle(V3 a, V3 b, V3 c, double uv_scale, V3 uv_origin) {
        V3 n = cross(b - a, c - a);
        int ni = nrm(n);
        V3 ux = normalize(b - a), uy = normalize(cross(normalize(n), ux));
        auto t = [&](V3 p) { return uv(dot3(p - uv_origin, ux) * uv_scale, dot3(p - uv_origin, uy) * uv_scale); };
        face({{pos(a), t(a), ni}, {pos(b), t(b), ni}, {pos(c), t(c), ni}});
    }

    // An axis-aligned box; texture coordinates scaled by `uv_scale` per unit
    // (0 maps every face to 0..1). Faces named in `skip` ("-z" ...) are left out.
    void box(V3 lo, V3 hi, double uv_scale = 0, const std::string& skip = "") {
        V3 d = hi - lo;
        auto s = [&](double len) { return uv_scale > 0 ? len * uv_scale : 1.0; };
        if (skip.find("+x") == std::string::npos) quad({hi.x, lo.y, lo.z}, {0, d.y, 0}, {0, 0, d.z}, s(d.y), s(d.z));
        if (skip.find("-x") == std::string::npos) quad({lo.x, hi.y, lo.z}, {0, -d.y, 0}, {0, 0, d.z}, s(d.y), s(d.z));
        if (skip.find("+y") == std::string::npos) quad({hi.x, hi.y, lo.z}, {-d.x, 0, 0}, {0, 0, d.z}, s(d.x), s(d.z));
        if (skip.find("-y") == std::string::npos) quad({lo.x, lo.y, lo.z}, {d.x, 0, 0}, {0, 0, d.z}, s(d.x), s(d.z));
        if (skip.find("+z") == std::string::npos) quad({lo.x, lo.y, hi.z}, {d.x, 0, 0}, {0, d.y, 0}, s(d.x), s(d.y));
        if (skip.find("-z") == std::string::npos) quad({lo.x, hi.y, lo.z}, {d.x, 0, 0}, {0, -d.y, 0}, s(d.x), s(d.y));
    }
};

// A solid of revolution around +X: `profile` holds (x, radius) points from
// the back to the front; consecutive points form one band. A radius of 0
// closes the solid at that point (a cap centre or a cone tip).
void revolve_x(MeshBuilder& m, const std::vector<std::pair<double, double>>& profile, int segments,
               bool smooth_bands) {
    for (size_t k = 0; k + 1 < profile.size(); k++) {
        auto [x0, r0] = profile[k];
        auto [x1, r1] = profile[k + 1];
        // Normal of a band in the (axial, radial) plane.
        double ax = r0 - r1, rad = x1 - x0;
        if (x0 == x1) {
            ax = r0 > r1 ? 1 : -1;
            rad = 0;
        }
        for (int i = 0; i < segments; i++) {
            double a0 = 2 * PI * i / segments, a1 = 2 * PI * (i + 1) / segments;
            auto at = [&](double x, double r, double a) { return V3{x, r * std::cos(a), r * std::sin(a)}; };
            auto normal_at = [&](double a) { return V3{ax, rad * std::cos(a), rad * std::sin(a)}; };
            double am = (a0 + a1) / 2;
            int n0 = m.nrm(smooth_bands ? normal_at(a0) : normal_at(am));
            int n1 = m.nrm(smooth_bands ? normal_at(a1) : normal_at(am));
            double u0 = (double)i / segments, u1 = (double)(i + 1) / segments;
            double v0 = (double)k / (profile.size() - 1), v1 = (double)(k + 1) / (profile.size() - 1);
            // Going round in +a with the band from x0 to x1 makes the outward
            // side counter-clockwise for a band whose radius shrinks or grows
            // along +X alike.
            std::vector<Corner> c;
            if (r0 > 0) {
                c.push_back({m.pos(at(x0, r0, a0)), m.uv(u0, v0), n0});
            } else {
                c.push_back({m.pos(at(x0, 0, 0)), m.uv((u0 + u1) / 2, v0), m.nrm(normal_at(am))});
            }
            if (r0 > 0) c.push_back({m.pos(at(x0, r0, a1)), m.uv(u1, v0), n1});
            if (r1 > 0) {
                c.push_back({m.pos(at(x1, r1, a1)), m.uv(u1, v1), n1});
                c.push_back({m.pos(at(x1, r1, a0)), m.uv(u0, v1), n0});
            } else {
                c.push_back({m.pos(at(x1, 0, 0)), m.uv((u0 + u1) / 2, v1), m.nrm(normal_at(am))});
            }
            m.face(c);
        }
    }
}

std::string obj_text(const MeshBuilder& m, const std::string& header, const std::string& mtllib,
                     const std::string& object, const std::vector<std::string>& materials) {
    std::string s = header;
    s += "mtllib " + mtllib + "\n";
    s += "o " + object + "\n";
    // Positions, coordinates and normals are written without duplicates so
    // that corners shared between faces become shared vertices on import.
    std::vector<int> p_remap, t_remap, n_remap;
    auto emit = [&](const char* tag, const std::vector<double>& values, int width, std::vector<int>& remap) {
        std::vector<std::string> seen;
        std::vector<std::string> lines;
        for (size_t i = 0; i < values.size() / width; i++) {
            std::string line = tag;
            for (int k = 0; k < width; k++) {
                line += " ";
                append_number(line, values[i * width + k]);
            }
            int found = -1;
            for (size_t j = 0; j < lines.size() && found < 0; j++)
                if (lines[j] == line) found = (int)j;
            if (found < 0) {
                lines.push_back(line);
                found = (int)lines.size() - 1;
            }
            remap.push_back(found);
        }
        for (const std::string& l : lines) s += l + "\n";
    };
    std::vector<double> flat;
    for (V3 p : m.positions) flat.insert(flat.end(), {p.x, p.y, p.z});
    emit("v", flat, 3, p_remap);
    emit("vt", m.uvs, 2, t_remap);
    flat.clear();
    for (V3 n : m.normals) flat.insert(flat.end(), {n.x, n.y, n.z});
    emit("vn", flat, 3, n_remap);
    for (size_t mat = 0; mat < materials.size(); mat++) {
        s += "usemtl " + materials[mat] + "\n";
        for (const Face& f : m.faces) {
            if (f.material != (int)mat) continue;
            s += "f";
            for (const Corner& c : f.corners) {
                s += ' ';
                s += std::to_string(p_remap[c.p] + 1);
                s += '/';
                s += std::to_string(t_remap[c.t] + 1);
                s += '/';
                s += std::to_string(n_remap[c.n] + 1);
            }
            s += "\n";
        }
    }
    return s;
}

const char* BUILTIN_HEADER = "# tarnisk built-in model, generated by datagen; see README.md in this folder.\n";

MeshBuilder make_cube() {
    MeshBuilder m;
    m.box({-1, -1, -1}, {1, 1, 1});
    return m;
}

MeshBuilder make_sphere(int segments, int rings) {
    MeshBuilder m;
    // Poles on the Z axis; u runs once round, v from the south pole (0) to
    // the north pole (1). Shared positions and normals make it smooth.
    std::vector<std::vector<int>> grid(rings + 1, std::vector<int>(segments + 1));
    std::vector<std::vector<int>> normals(rings + 1, std::vector<int>(segments + 1));
    for (int j = 0; j <= rings; j++) {
        double theta = PI * j / rings - PI / 2;
        for (int i = 0; i <= segments; i++) {
            double phi = 2 * PI * (i % segments) / segments;
            V3 p = {std::cos(theta) * std::cos(phi), std::cos(theta) * std::sin(phi), std::sin(theta)};
            if (j == 0) p = {0, 0, -1};
            if (j == rings) p = {0, 0, 1};
            if (i < segments) {
                grid[j][i] = m.pos(p);
                normals[j][i] = m.nrm(p);
            } else {
                grid[j][i] = grid[j][0];
                normals[j][i] = normals[j][0];
            }
        }
    }
    for (int j = 0; j < rings; j++) {
        for (int i = 0; i < segments; i++) {
            double u0 = (double)i / segments, u1 = (double)(i + 1) / segments;
            double v0 = (double)j / rings, v1 = (double)(j + 1) / rings;
            // At the poles the two corners on the pole collapse into one,
            // with the texture coordinate in the middle of the segment.
            Corner a = {grid[j][i], 0, normals[j][i]};
            Corner b = {grid[j][i + 1], 0, normals[j][i + 1]};
            Corner c = {grid[j + 1][i + 1], 0, normals[j + 1][i + 1]};
            Corner d = {grid[j + 1][i], 0, normals[j + 1][i]};
            if (j == 0) {
                a.t = m.uv((u0 + u1) / 2, 0);
                c.t = m.uv(u1, v1);
                d.t = m.uv(u0, v1);
                m.face({a, c, d});
            } else if (j == rings - 1) {
                a.t = m.uv(u0, v0);
                b.t = m.uv(u1, v0);
                c.t = m.uv((u0 + u1) / 2, 1);
                m.face({a, b, c});
            } else {
                a.t = m.uv(u0, v0);
                b.t = m.uv(u1, v0);
                c.t = m.uv(u1, v1);
                d.t = m.uv(u0, v1);
                m.face({a, b, c, d});
            }
        }
    }
    return m;
}

// Ring around the X axis (lying in the YZ plane), centre line radius
// `major`, tube radius `minor`.
MeshBuilder make_torus(double major, double minor, int segments, int sides) {
    MeshBuilder m;
    std::vector<std::vector<int>> p(segments, std::vector<int>(sides)), n(segments, std::vector<int>(sides));
    for (int i = 0; i < segments; i++) {
        double a = 2 * PI * i / segments;
        V3 radial = {0, std::cos(a), std::sin(a)};
        for (int k = 0; k < sides; k++) {
            double b = 2 * PI * k / sides;
            V3 normal = radial * std::cos(b) + V3{1, 0, 0} * std::sin(b);
            p[i][k] = m.pos(radial * major + normal * minor);
            n[i][k] = m.nrm(normal);
        }
    }
    for (int i = 0; i < segments; i++) {
        for (int k = 0; k < sides; k++) {
            int i1 = (i + 1) % segments, k1 = (k + 1) % sides;
            double u0 = (double)i / segments, u1 = (double)(i + 1) / segments;
            double v0 = (double)k / sides, v1 = (double)(k + 1) / sides;
            m.face({{p[i][k], m.uv(u0, v0), n[i][k]},
                    {p[i1][k], m.uv(u1, v0), n[i1][k]},
                    {p[i1][k1], m.uv(u1, v1), n[i1][k1]},
                    {p[i][k1], m.uv(u0, v1), n[i][k1]}});
        }
    }
    return m;
}

MeshBuilder make_arrow() {
    MeshBuilder m;
    // Shaft from the origin to x = 1, then a cone head from 1 to 1.25.
    revolve_x(m, {{0, 0}, {0, 0.015}}, 16, false);  // back cap
    revolve_x(m, {{0, 0.015}, {1, 0.015}}, 16, true);
    revolve_x(m, {{1, 0.015}, {1, 0.06}}, 16, false);  // underside of the head
    revolve_x(m, {{1, 0.06}, {1.25, 0}}, 16, true);
    return m;
}

MeshBuilder make_cylinder() {
    MeshBuilder m;
    revolve_x(m, {{0, 0}, {0, 0.015}}, 16, false);
    revolve_x(m, {{0, 0.015}, {1, 0.015}}, 16, true);
    revolve_x(m, {{1, 0.015}, {1, 0}}, 16, false);
    return m;
}

bool write_builtin(const std::string& data_dir, const std::string& name, const MeshBuilder& m) {
    return write_text_file(data_dir + "/models/" + name + ".obj",
                           obj_text(m, BUILTIN_HEADER, "builtin.mtl", name, {"default"}));
}

// ---------------------------------------------------------------------------
// Sample meshes (Z up, units of one metre or so).

MeshBuilder make_table() {
    MeshBuilder m;
    m.material = 0;  // top: wood
    m.box({-1, -0.6, 0.92}, {1, 0.6, 1}, 0.5);
    m.material = 1;  // legs and frame: painted metal
    double lx[2] = {-0.9, 0.84}, ly[2] = {-0.5, 0.44};
    for (double x : lx)
        for (double y : ly) m.box({x, y, 0}, {x + 0.06, y + 0.06, 0.92}, 0, "+z");
    m.box({-0.9, -0.5, 0.84}, {0.9, -0.47, 0.92}, 0, "+z");
    m.box({-0.9, 0.47, 0.84}, {0.9, 0.5, 0.92}, 0, "+z");
    return m;
}

MeshBuilder make_house() {
    MeshBuilder m;
    const double w = 2, d = 1.5, h = 2.4, ridge = 3.6, over = 0.25;
    m.material = 0;  // walls: bricks, one texture repeat per metre
    m.box({-w, -d, 0}, {w, d, h}, 0.5, "-z+z");
    m.triangle({-w, d, h}, {-w, -d, h}, {-w, 0, ridge}, 0.5, {-w, d, 0});  // gable ends
    m.triangle({w, -d, h}, {w, d, h}, {w, 0, ridge}, 0.5, {w, -d, 0});
    m.material = 1;  // roof: plain tiles color, with an underside for the eaves
    V3 front_eave = {-w - over, -d - over, h - over * (ridge - h) / d};
    V3 back_eave = {-w - over, d + over, h - over * (ridge - h) / d};
    V3 along = {2 * (w + over), 0, 0};
    V3 top = {-w - over, 0, ridge};
    m.quad(front_eave, along, top - front_eave, 2, 1);
    m.quad(top, along, back_eave - top, 2, 1);
    m.quad(front_eave + along, along * -1, top - front_eave, 2, 1);
    m.quad(top + along, along * -1, back_eave - top, 2, 1);
    m.material = 2;  // door: wood
    m.box({-0.45, -d - 0.05, 0}, {0.45, -d, 1.9}, 0, "-z+y");
    m.material = 3;  // windows: glass color
    m.box({-1.6, -d - 0.03, 1.0}, {-0.9, -d, 1.7}, 0, "+y");
    m.box({0.9, -d - 0.03, 1.0}, {1.6, -d, 1.7}, 0, "+y");
    m.box({-1.6, d, 1.0}, {-0.9, d + 0.03, 1.7}, 0, "-y");
    m.box({0.9, d, 1.0}, {1.6, d + 0.03, 1.7}, 0, "-y");
    return m;
}

}  // namespace

bool models_generate(const std::string& data_dir) {
    if (!make_directories(data_dir + "/models") || !make_directories(data_dir + "/samples")) return false;
    bool ok = true;
    ok = write_builtin(data_dir, "arrow", make_arrow()) && ok;
    ok = write_builtin(data_dir, "cylinder", make_cylinder()) && ok;
    ok = write_builtin(data_dir, "cube", make_cube()) && ok;
    ok = write_builtin(data_dir, "torus", make_torus(1.0, 0.02, 48, 8)) && ok;
    ok = write_builtin(data_dir, "sphere", make_sphere(32, 16)) && ok;
    // One white material: the renderers write their colors into it.
    ok = write_text_file(data_dir + "/models/builtin.mtl",
                         "# material of the tarnisk built-in models; the editor sets its color at draw time.\n"
                         "newmtl default\nKd 1 1 1\n") &&
         ok;

    const char* sample_header = "# tarnisk sample mesh, generated by datagen.\n";
    // Kd is a display color: the editor turns it linear once when it draws.
    const char* SAMPLE_MTL_HEADER =
        "# tarnisk sample materials; map_Kd names a texture of resources.txt.\n"
        "# Kd is the color as shown (display space).\n";
    ok = write_text_file(data_dir + "/samples/table.obj",
                         obj_text(make_table(), sample_header, "table.mtl", "table", {"tabletop", "legs"})) &&
         ok;
    ok = write_text_file(data_dir + "/samples/table.mtl",
                         std::string(SAMPLE_MTL_HEADER) +
                             "newmtl tabletop\nKd 1 1 1\nmap_Kd wood\n\n"
                             "newmtl legs\nKd 0.22 0.23 0.26\n") &&
         ok;
    ok = write_text_file(data_dir + "/samples/house.obj",
                         obj_text(make_house(), sample_header, "house.mtl", "house",
                                  {"walls", "roof", "door", "windows"})) &&
         ok;
    ok = write_text_file(data_dir + "/samples/house.mtl",
                         std::string(SAMPLE_MTL_HEADER) +
                             "newmtl walls\nKd 1 1 1\nmap_Kd bricks\n\n"
                             "newmtl roof\nKd 0.55 0.2 0.14\n\n"
                             "newmtl door\nKd 0.85 0.75 0.65\nmap_Kd wood\n\n"
                             "newmtl windows\nKd 0.6 0.8 0.95\n") &&
         ok;
    return ok;
}

// The importer's whole output, pinned: hashes of the vertex and index arrays,
// the ranges and the materials of every test file and of generated files that
// stress number forms, index forms and the vertex merge, against a checked-in
// list. Any change to what an import yields, by one byte, shows here.
//
// The list is rewritten (instead of compared) when TARNISK_WRITE_IMPORT_HASHES
// is set; do that only for an intended change of the output.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "assets/mesh.h"
#include "support/pool_fixture.h"

namespace {

struct Hash {
    uint64_t value = 0xcbf29ce484222325ull;
    void bytes(const void* data, size_t size) {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        for (size_t i = 0; i < size; i++) value = (value ^ p[i]) * 0x100000001b3ull;
    }
    template <typename T>
    void add(const T& v) { bytes(&v, sizeof v); }
    void text(String s) {
        add(s.length);
        if (s.length > 0) bytes(s.data, (size_t)s.length);
    }
};

std::string hex(uint64_t v) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", (unsigned long long)v);
    return text;
}

// One line per import: counts, then hashes of vertices, indices, ranges and
// materials (names by their bytes, since they are views).
std::string summary(const MeshBuild& b) {
    Hash vertices, indices, ranges, materials;
    if (b.vertex_count > 0) vertices.bytes(b.vertices, (size_t)b.vertex_count * sizeof(MeshVertex));
    if (b.index_count > 0) indices.bytes(b.indices, (size_t)b.index_count * sizeof(uint32_t));
    for (int64_t i = 0; i < b.material_count; i++) {
        const MaterialRange& r = b.ranges[i];
        ranges.add(r.first_vertex);
        ranges.add(r.first_index);
        ranges.add(r.vertex_count);
        ranges.add(r.index_count);
        ranges.text(r.object_name);
        ranges.text(r.material_name);
        const ParsedMaterial& m = b.materials[i];
        materials.text(m.name);
        for (const Vec4* c : {&m.ambient, &m.diffuse, &m.specular, &m.emissive, &m.diffuse_raw}) materials.add(*c);
        materials.add(m.shininess);
        materials.add(m.dissolve);
        materials.text(m.diffuse_map);
        materials.text(m.specular_map);
        materials.text(m.emissive_map);
    }
    Hash bounds;
    bounds.add(b.bounds_min);
    bounds.add(b.bounds_max);
    std::ostringstream line;
    line << "v" << b.vertex_count << " i" << b.index_count << " m" << b.material_count << " d" << b.default_index_count
         << " x" << b.dropped_faces << " " << hex(vertices.value) << " " << hex(indices.value) << " "
         << hex(ranges.value) << " " << hex(materials.value) << " " << hex(bounds.value);
    return line.str();
}

// Deterministic text: raw engine output only (distributions differ between
// standard libraries).
struct Maker {
    std::mt19937_64 random;
    explicit Maker(uint64_t seed) : random(seed) {}
    uint64_t below(uint64_t n) { return random() % n; }
    double unit() { return (double)(random() >> 11) * (1.0 / 9007199254740992.0); }
    std::string digits(int count) {
        std::string s;
        for (int i = 0; i < count; i++) s += (char)('0' + below(10));
        return s;
    }
    // A number in one of the forms exporters write, or one they should not.
    std::string number() {
        char text[128];
        switch (below(16)) {
        case 0: std::snprintf(text, sizeof text, "%.6f", (unit() - 0.5) * 200); return text;
        case 1: std::snprintf(text, sizeof text, "%.4f", (unit() - 0.5) * 2); return text;
        case 2: std::snprintf(text, sizeof text, "%.9g", (unit() - 0.5) * 1e4); return text;
        case 3: std::snprintf(text, sizeof text, "%.17g", (unit() - 0.5) * 1e3); return text;
        case 4: std::snprintf(text, sizeof text, "%g", (unit() - 0.5) * std::pow(10.0, (double)below(40) - 20)); return text;
        case 5: std::snprintf(text, sizeof text, "%.8e", (unit() - 0.5) * 1e5); return text;
        case 6: return std::to_string((int64_t)below(2000000) - 1000000);
        case 7: return (below(2) ? "-" : "") + digits(1 + (int)below(25)) + "." + digits((int)below(30));
        case 8: return (below(2) ? "-." : ".") + digits(1 + (int)below(12));
        case 9: return digits(1 + (int)below(8)) + ".";
        case 10: return "+" + digits(1 + (int)below(6)) + "." + digits((int)below(7));
        case 11: return "0." + std::string(below(30), '0') + digits(1 + (int)below(20));
        case 12: return digits(1 + (int)below(3)) + "." + digits((int)below(4)) + (below(2) ? "e" : "E") +
                        (below(2) ? "-" : (below(2) ? "+" : "")) + std::to_string(below(420));
        case 13: return digits(60 + (int)below(20)) + "." + digits((int)below(20));
        case 14: {
            static const char* odd[] = {"-", "nan", "inf", "1.2.3", "--1", "0x10", "1e", "1e+", ".", "-.", "+",
                                        "5-3", "1,5", "7#", "-0", "0.0000", "1e400", "1e-400", "3.4028236e38"};
            return odd[below(sizeof odd / sizeof odd[0])];
        }
        default: {
            // Halfway and boundary cases of float narrowing.
            float f = (float)((unit() - 0.5) * 100);
            std::snprintf(text, sizeof text, "%.12g", (double)f + (double)f * 5.9604644775390625e-8);
            return text;
        }
        }
    }
    std::string blank() {
        static const char* blanks[] = {" ", " ", " ", "  ", "\t", " \t "};
        return blanks[below(6)];
    }
};

struct Generated {
    std::string name, obj, mtl;
};

std::string grid_text(int grid, bool uvs_and_normals, bool crlf) {
    std::string out = "# grid\nmtllib grid.mtl\no sheet\n";
    const char* end = crlf ? "\r\n" : "\n";
    char line[160];
    int points = grid + 1;
    for (int y = 0; y < points; y++)
        for (int x = 0; x < points; x++) {
            std::snprintf(line, sizeof line, "v %.6f %.6f %.6f%s", x * 0.01 - 4.0, y * 0.01 - 4.0,
                          0.25 * std::sin(x * 0.05) * std::cos(y * 0.07), end);
            out += line;
        }
    if (uvs_and_normals) {
        for (int y = 0; y < points; y++)
            for (int x = 0; x < points; x++) {
                std::snprintf(line, sizeof line, "vt %.6f %.6f%s", (double)x / grid, (double)y / grid, end);
                out += line;
            }
        for (int y = 0; y < points; y++)
            for (int x = 0; x < points; x++) {
                std::snprintf(line, sizeof line, "vn %.6f %.6f %.6f%s", 0.01 * x / grid, 0.01 * y / grid, 0.99995, end);
                out += line;
            }
    }
    static const char* materials[] = {"red", "green", "blue", "white"};
    for (int y = 0; y < grid; y++) {
        if (y % (grid / 4) == 0) out += std::string("usemtl ") + materials[(y * 4 / grid) & 3] + end;
        for (int x = 0; x < grid; x++) {
            int a = y * points + x + 1, b = a + 1, c = a + points + 1, d = a + points;
            if (uvs_and_normals)
                std::snprintf(line, sizeof line, "f %d/%d/%d %d/%d/%d %d/%d/%d %d/%d/%d%s", a, a, a, b, b, b, c, c, c, d,
                              d, d, end);
            else
                std::snprintf(line, sizeof line, "f %d %d %d %d%s", a, b, c, d, end);
            out += line;
        }
    }
    return out;
}

// Every number form on "v" and "vt" lines, read back through a few faces.
Generated numbers_text() {
    Maker m(7);
    Generated g{"numbers", "", "newmtl a\nKd 0.5 0.25 1e-1\nNs 9.5e1\nd .5\n"};
    for (int i = 0; i < 6000; i++) {
        g.obj += "v" + m.blank() + m.number() + m.blank() + m.number() + m.blank() + m.number();
        if (m.below(5) == 0) g.obj += m.blank() + m.number();
        if (m.below(7) == 0) g.obj += " # " + m.number();
        g.obj += m.below(9) == 0 ? "\r\n" : "\n";
        g.obj += "vt " + m.number() + m.blank() + m.number() + "\n";
    }
    g.obj += "mtllib a.mtl\nusemtl a\n";
    for (int i = 0; i < 4000; i++) {
        uint64_t a = 1 + m.below(6000), b = 1 + m.below(6000), c = 1 + m.below(6000);
        g.obj += "f " + std::to_string(a) + "/" + std::to_string(a) + " " + std::to_string(b) + "/" + std::to_string(b) +
                 " " + std::to_string(c) + "/" + std::to_string(c) + "\n";
    }
    return g;
}

// Index forms: relative, forward, out of range, malformed, wide faces,
// material runs that come back, unknown materials, object lines.
Generated indices_text() {
    Maker m(11);
    Generated g{"indices", "", ""};
    for (int i = 0; i < 8; i++) g.mtl += "newmtl mat " + std::to_string(i) + (i == 3 ? " #3" : "") + "\nKd 0.1 0.2 0.3\n";
    g.obj = "f 1 2 3\nf 1/1/1 2/2/2 3/3/3\n";   // forward references before any vertex
    g.obj += "mtllib a.mtl\n";
    int positions = 0, uvs = 0, normals = 0;
    auto corner = [&](bool allow_bad) {
        auto index = [&](int count) -> std::string {
            uint64_t kind = m.below(allow_bad ? 24 : 20);
            if (count == 0 || kind >= 20) {
                static const char* bad[] = {"0", "99999999", "-99999", "x", "", "+2", "4294967297", "-0"};
                return bad[m.below(8)];
            }
            if (kind < 6) return std::to_string(-1 - (int64_t)m.below((uint64_t)count));
            if (kind < 8) return std::to_string(count + 1 + (int64_t)m.below(40));   // forward
            return std::to_string(1 + (int64_t)m.below((uint64_t)count));
        };
        std::string c = index(positions);
        switch (m.below(5)) {
        case 0: break;
        case 1: c += "/" + index(uvs); break;
        case 2: c += "//" + index(normals); break;
        case 3: c += "/" + index(uvs) + "/" + index(normals); break;
        default: c += m.below(8) == 0 ? "/" : "/" + index(uvs) + "/" + index(normals) + (m.below(30) == 0 ? "/1" : "");
        }
        return c;
    };
    for (int i = 0; i < 5000; i++) {
        switch (m.below(12)) {
        case 0: case 1: case 2:
            g.obj += "v " + std::to_string(i % 97) + " " + std::to_string(i % 13) + " " + std::to_string(i % 7) + "\n";
            positions++;
            break;
        case 3: g.obj += "vt 0." + std::to_string(i % 89) + " 0.5\n"; uvs++; break;
        case 4: g.obj += "vn 0 0 1\n"; normals++; break;
        case 5: g.obj += "usemtl mat " + std::to_string(m.below(10)) + (m.below(4) == 0 ? " #3" : "") + "\n"; break;
        case 6: g.obj += "o part " + std::to_string(m.below(5)) + (m.below(3) == 0 ? "  \t" : "") + "\n"; break;
        case 7: g.obj += m.below(3) == 0 ? "# comment\n" : "g group\ns 1\n\n"; break;
        default: {
            int count = m.below(40) == 0 ? 3 + (int)m.below(120) : 1 + (int)m.below(5);
            std::string line = m.below(6) == 0 ? "  f" : "f";
            for (int c = 0; c < count; c++) line += m.blank() + corner(m.below(6) == 0);
            if (m.below(10) == 0) line += " # trailing";
            if (m.below(10) == 0) line += " ";
            g.obj += line + (m.below(8) == 0 ? "\r\n" : "\n");
        }
        }
    }
    g.obj += "v 1 1 1";   // no final line feed
    return g;
}

// Many corners on few positions, and a large random mesh: the merge table
// changes placement and grows several times.
Generated merge_text() {
    Maker m(23);
    Generated g{"merge", "", "newmtl a\nnewmtl b\n"};
    g.obj = "mtllib a.mtl\n";
    for (int i = 0; i < 20000; i++) g.obj += "v " + std::to_string(i) + " " + std::to_string(i / 7) + " 0\n";
    for (int i = 0; i < 3000; i++) g.obj += "vt " + std::to_string(i) + " 1\n";
    for (int i = 0; i < 40; i++) g.obj += "vn 0 1 0\n";
    for (int i = 0; i < 60000; i++) {
        if (m.below(500) == 0) g.obj += m.below(2) ? "usemtl a\n" : "usemtl b\n";
        bool few = i % 10000 < 2000;
        std::string line = "f";
        for (int c = 0; c < 3 + (int)m.below(2); c++) {
            uint64_t p = few ? 1 + m.below(3) : 1 + (m.below(2) ? m.below(20000) : (uint64_t)(i % 19990) + m.below(10));
            line += " " + std::to_string(p) + "/" + std::to_string(1 + m.below(3000)) + "/" +
                    std::to_string(1 + m.below(40));
        }
        g.obj += line + "\n";
    }
    return g;
}

std::vector<Generated> generated() {
    std::string grid_mtl = "newmtl red\nKd 1 0 0\nnewmtl green\nKd 0 1 0\nnewmtl blue\nKd 0 0 1\nnewmtl white\n";
    return {
        {"grid_ptn", grid_text(120, true, false), grid_mtl},
        {"grid_p", grid_text(160, false, false), grid_mtl},
        {"grid_crlf", grid_text(40, true, true), grid_mtl},
        numbers_text(),
        indices_text(),
        merge_text(),
        {"empty", "", ""},
        {"comments_only", "# nothing\n\n   \n# v 1 2 3\n", ""},
        {"no_final_feed", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3", ""},
    };
}

std::string expected_path() { return TARNISK_TEST_DATA_DIR "/assets/obj_import_hashes.txt"; }

class MeshOutputTest : public PoolTest {
protected:
    std::vector<std::string> lines;

    void import_file(const std::string& label, const std::string& path) {
        MeshBuild build;
        ScratchArena arena;
        testing::internal::CaptureStdout();
        int32_t status = mesh_build_file(&build, &arena, String{reinterpret_cast<const uint8_t*>(path.data()), (int64_t)path.size()});
        std::string output = testing::internal::GetCapturedStdout();
        Hash console;
        // Paths differ between machines; only the message shapes count.
        for (size_t at = output.find(path); at != std::string::npos; at = output.find(path)) output.replace(at, path.size(), "P");
        std::string dir = path.substr(0, path.rfind('/') + 1);
        for (size_t at = output.find(dir); at != std::string::npos; at = output.find(dir)) output.replace(at, dir.size(), "D/");
        console.bytes(output.data(), output.size());
        lines.push_back(label + " s" + std::to_string(status) + " " + (status == 0 ? summary(build) : "") + " c" +
                        hex(console.value));
        scratch_release(&arena);
    }
    void import_all();
    void import_text(const std::string& label, const std::string& obj, const std::string& mtl) {
        lines.push_back(label + " " + build_text(obj, mtl, nullptr));
    }
    // The summary of a build of `obj` ("failed" when it failed), as
    // mesh_splitting and mesh_plain_reading stand; what it printed goes to
    // *console.
    static std::string build_text(const std::string& obj, const std::string& mtl, std::string* console) {
        MeshBuild b;
        ScratchArena arena;
        testing::internal::CaptureStdout();
        bool ok = mesh_build(&b, &arena, String{reinterpret_cast<const uint8_t*>(obj.data()), (int64_t)obj.size()},
                             S("models/generated.obj"), false,
                             String{reinterpret_cast<const uint8_t*>(mtl.data()), (int64_t)mtl.size()});
        std::string printed = testing::internal::GetCapturedStdout();
        if (console) *console = printed;
        std::string line = ok ? summary(b) : "failed";
        scratch_release(&arena);
        return line;
    }
    // The same with what it printed appended.
    static std::string build_text(const std::string& obj, const std::string& mtl) {
        std::string console;
        std::string line = build_text(obj, mtl, &console);
        return line + " " + console;
    }
};

void MeshOutputTest::import_all() {
    std::vector<std::filesystem::path> files;
    for (const char* folder : {TARNISK_TEST_DATA_DIR "/assets/obj", TARNISK_DATA_DIR "/models"})
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().extension() == ".obj") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files) import_file(file.parent_path().filename().string() + "/" + file.filename().string(), file.string());

    std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tarnisk_output_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    for (const Generated& g : generated()) {
        std::ofstream(folder / (g.name + ".obj"), std::ios::binary) << g.obj;
        std::ofstream(folder / (g.name == "grid_ptn" || g.name == "grid_p" || g.name == "grid_crlf" ? "grid.mtl" : "a.mtl"),
                      std::ios::binary)
            << g.mtl;
        import_file("generated/" + g.name, (folder / (g.name + ".obj")).string());
        import_text("text/" + g.name, g.obj, g.mtl);
    }
    std::filesystem::remove_all(folder);
}

std::vector<std::string> pinned_lines() {
    std::ifstream in(expected_path(), std::ios::binary);
    std::vector<std::string> expected;
    for (std::string line; std::getline(in, line);) expected.push_back(line);
    return expected;
}

TEST_F(MeshOutputTest, EveryImportMatchesItsPinnedHashes) {
    import_all();
    if (std::getenv("TARNISK_WRITE_IMPORT_HASHES")) {
        std::ofstream out(expected_path(), std::ios::binary);
        for (const std::string& line : lines) out << line << "\n";
        GTEST_SKIP() << "wrote " << expected_path();
    }
    std::ifstream in(expected_path(), std::ios::binary);
    ASSERT_TRUE(in.good()) << expected_path();
    std::vector<std::string> expected;
    for (std::string line; std::getline(in, line);) expected.push_back(line);
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); i++) EXPECT_EQ(lines[i], expected[i]);
}

// Large files are read by two threads, the second starting at a line near
// a share of the file. Wherever that line falls (inside the vertex lists,
// between faces that refer back across it with negative indices, before a
// material's first use, or so that one part is nearly empty), every import
// must come out as the pinned single-thread one, byte for byte.
TEST_F(MeshOutputTest, ReadingInTwoPartsChangesNothing) {
    std::vector<std::string> expected = pinned_lines();
    ASSERT_FALSE(expected.empty());
    MeshSplitting saved = mesh_splitting;
    for (int32_t share : {1, 37, 96, 128, 201, 255}) {
        SCOPED_TRACE("head share " + std::to_string(share));
        mesh_splitting = MeshSplitting{0, share, true};
        lines.clear();
        import_all();
        ASSERT_EQ(lines.size(), expected.size());
        for (size_t i = 0; i < lines.size(); i++) EXPECT_EQ(lines[i], expected[i]);
    }
    mesh_splitting = saved;
}

// Lines the second thread cannot hand over (an index between 2^31 and the
// largest list, a relative index past 2^29) stop it there; the first thread
// reads the rest itself, with materials, object names, messages and
// relative indices that reach back across both places.
TEST_F(MeshOutputTest, ATailThatStopsEarlyIsFinishedByTheFirstThread) {
    std::string obj = "mtllib a.mtl\n";
    for (int i = 0; i < 400; i++) obj += "v " + std::to_string(i % 17) + " " + std::to_string(i / 17) + " 0.5\nvt 0." + std::to_string(i) + " 1\n";
    for (int i = 0; i < 600; i++) {
        if (i % 50 == 0) obj += "usemtl " + std::string(i % 100 == 0 ? "red" : "missing") + "\no part " + std::to_string(i) + "\n";
        if (i == 300) obj += "f 1 2 3000000000\nf 1 2 -700000000\n";
        if (i % 7 == 0) obj += "v 9 9 " + std::to_string(i) + "\n";
        obj += "f " + std::to_string(1 + i % 390) + "/" + std::to_string(1 + i % 400) + " -1/-2 -3/-4 " + std::to_string(2 + i % 390) + "/1\n";
    }
    std::string mtl = "newmtl red\nKd 1 0 0\n";
    auto build = [&](MeshSplitting split) {
        mesh_splitting = split;
        return build_text(obj, mtl);
    };
    MeshSplitting saved = mesh_splitting;
    std::string whole = build(MeshSplitting{INT64_MAX, 96, false});
    EXPECT_NE(whole.find("failed to find material missing"), std::string::npos);
    for (int32_t share : {10, 64, 128, 160, 250}) EXPECT_EQ(build(MeshSplitting{0, share, true}), whole) << share;
    mesh_splitting = saved;
}

// Lines that are nearly of the plain forms read by the short path: each
// must come out as the general reading makes it, on one thread and split.
TEST_F(MeshOutputTest, PlainLinesReadAsTheGeneralReadingDoes) {
    const char* lines_of[] = {
        "v 1 2 3\r\n", "v 1 2\n", "v 1 2 3 0.5 0.25 1\n", "v -.5 1. +2\n", "v 12345678901234567890.5 1 1\n",
        "v 0.12345678901234567890123 0 0\n", "v 9007199254740993 0 -0\n", "v 1 2 3 \n", "v\n", "v \n",
        "v 1e3 2 3\n", "v 1 2 3#c\n", "v 1\t2 3\n", "v 1 2 3\r\r\n", "vt 0.5 0.25\n", "vt 0.5\n", "vt 1 2 3\n",
        "vt 0.5 0.25\r\n", "vn 0 0 1\n", "vn\n", "vnx 1\n", "vt\n", "f 1 2 3\n", "f 1/1 2/2 3/3\r\n",
        "f 1//1 2//1 3//1\n", "f 1/1/1 2/2/2 3/3/3 4/4/4\n", "f 0 1 2\n", "f 1 2 99999\n", "f 1 2 1234567890\n",
        "f 1 2\n", "f 1/ 2/ 3/\n", "f 1/1/ 2 3\n", "f 1 2 3 \n", "f 1  2 3\n", "f -1 -2 -3\n", "f 1 2 3 # c\n",
        "f 1/1/999 2/1/1 3/1/1\n", "f 1/999 2 3\n", "f 1/2/3/4 2 3\n", "f 3 2 1\r\n", "usemtl red\n", "f 1 2 3\n",
        "f 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18\n", "f 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16\n", "ff 1 2 3\n",
        "f\n", "\n", "usemtl none\n", "f 4 5 6\n"};
    std::string obj = "mtllib a.mtl\n";
    for (int i = 0; i < 20; i++) obj += "v " + std::to_string(i) + " " + std::to_string(i % 3) + ".5 0\nvt 0.25 0.5\nvn 0 1 0\n";
    for (int round = 0; round < 40; round++)
        for (size_t i = 0; i < std::size(lines_of); i++) obj += lines_of[(i * 7 + (size_t)round * 3) % std::size(lines_of)];
    obj += "f 1 2 3";   // no final line feed
    std::string mtl = "newmtl red\nKd 1 0 0\n";
    auto build = [&](MeshSplitting split, bool plain) {
        mesh_splitting = split;
        mesh_plain_reading = plain;
        return build_text(obj, mtl);
    };
    MeshSplitting saved = mesh_splitting;
    std::string general = build(MeshSplitting{INT64_MAX, 96, false}, false);
    EXPECT_NE(general.find("failed to find material none"), std::string::npos);
    EXPECT_EQ(build(MeshSplitting{INT64_MAX, 96, false}, true), general);
    for (int32_t share : {16, 100, 200}) EXPECT_EQ(build(MeshSplitting{0, share, true}, true), general) << share;
    // The scratch kept between imports is given back; the next starts afresh.
    mesh_scratch_trim();
    EXPECT_EQ(build(MeshSplitting{0, 100, true}, true), general);
    mesh_scratch_trim();
    mesh_splitting = saved;
    mesh_plain_reading = true;
}

// Files read in blocks on both threads: a line longer than a block where
// the split falls (the second thread starts after it), a split inside the
// last line (no second part at all), CR LF endings and no final line feed.
// The file is large enough (past 8 MB) that every array starts on large pages.
TEST_F(MeshOutputTest, SplitFilesWithLongLinesAndOddEndsMatchOneThread) {
    std::string obj = "mtllib a.mtl\r\nusemtl red\r\n";
    for (int i = 0; i < 3000; i++) obj += "v " + std::to_string(i % 31) + ".5 " + std::to_string(i / 31) + " -0.25\r\n";
    obj += "o " + std::string(4800000, 'n') + "\r\n# " + std::string(3700000, 'c') + "\r\n";
    for (int i = 0; i < 2000; i++) obj += "f " + std::to_string(1 + i) + " -1 " + std::to_string(3 + i) + " " + std::to_string(2 + i) + "\r\n";
    obj += "f 1 2 3";
    std::filesystem::path folder = std::filesystem::temp_directory_path() / ("tarnisk_split_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::string path = (folder / "split.obj").string();
    std::ofstream(path, std::ios::binary) << obj;
    std::ofstream(folder / "a.mtl", std::ios::binary) << "newmtl red\nKd 1 0 0\n";
    MeshSplitting saved = mesh_splitting;
    auto import = [&](MeshSplitting split) {
        mesh_splitting = split;
        lines.clear();
        import_file("split", path);
        return lines[0];
    };
    std::string whole = import(MeshSplitting{INT64_MAX, 96, false});
    EXPECT_NE(whole.find(" s0 v"), std::string::npos);
    for (int32_t share : {20, 60, 90, 128, 180, 255}) EXPECT_EQ(import(MeshSplitting{0, share, true}), whole) << share;
    mesh_splitting = saved;
    std::filesystem::remove_all(folder);
}

}  // namespace

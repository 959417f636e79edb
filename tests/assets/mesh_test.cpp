// The OBJ/MTL importer on text in memory and on the real exporters' files in
// tests/data/assets/obj, without a GPU.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "assets/mesh.h"
#include "support/pool_fixture.h"

static String view(const std::string& text) { return String{reinterpret_cast<const uint8_t*>(text.data()), (int64_t)text.size()}; }
static std::string str(String s) { return std::string(reinterpret_cast<const char*>(s.data), (size_t)s.length); }

static std::string captured() {
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

class MeshTest : public PoolTest {
protected:
    MeshBuild build{};
    ScratchArena arena{};
    std::string output;

    // Builds `obj`; every "mtllib" line reads `mtl`. Console output is kept.
    void import(const std::string& obj, const std::string& mtl = "") {
        scratch_release(&arena);
        testing::internal::CaptureStdout();
        bool ok = mesh_build(&build, &arena, view(obj), S("models/test.obj"), false, view(mtl));
        output = captured();
        ASSERT_TRUE(ok);
    }
    int32_t import_file(const std::string& path) {
        scratch_release(&arena);
        testing::internal::CaptureStdout();
        int32_t status = mesh_build_file(&build, &arena, view(path));
        output = captured();
        return status;
    }
    std::vector<uint32_t> indices() const { return std::vector<uint32_t>(build.indices, build.indices + build.index_count); }
    Vec3 position(int64_t vertex) const { return build.vertices[vertex].position; }
    void TearDown() override {
        scratch_release(&arena);
        PoolTest::TearDown();
    }
};

static const char* square_positions = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";

TEST_F(MeshTest, QuadIsAFanOfTwoTrianglesOverFourVertices) {
    import(std::string(square_positions) + "f 1 2 3 4\n");
    EXPECT_EQ(build.vertex_count, 4);
    EXPECT_EQ(indices(), (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(build.material_count, 0);   // no library: indices but no ranges
    EXPECT_FLOAT_EQ(position(2).x, 1);
    EXPECT_FLOAT_EQ(position(2).y, 1);
    EXPECT_FLOAT_EQ(build.vertices[0].color.w, 1);
    EXPECT_EQ(output, "");
}

TEST_F(MeshTest, EmptyFileImportsWithNothing) {
    import("");
    EXPECT_EQ(build.vertex_count, 0);
    EXPECT_EQ(build.index_count, 0);
    EXPECT_FLOAT_EQ(build.bounds_min.x, 0);
    EXPECT_FLOAT_EQ(build.bounds_max.z, 0);
}

TEST_F(MeshTest, SharedCornersMergeOnlyWhenAllFourValuesMatch) {
    std::string mtl = "newmtl a\nnewmtl b\n";
    std::string obj = std::string("mtllib x.mtl\n") + square_positions + "vt 0 0\nvt 1 1\n" +
                      "usemtl a\nf 1/1 2/1 3/1\nf 1/1 3/1 4/1\n"   // shares the edge 1-3
                      "f 1/2 2/1 4/1\n"                              // position 1 with another uv
                      "usemtl b\nf 1/1 2/1 3/1\n";                   // same corners, other material
    import(obj, mtl);
    EXPECT_EQ(build.vertex_count, 4 + 1 + 3);
    EXPECT_EQ(indices(), (std::vector<uint32_t>{0, 1, 2, 0, 2, 3, 4, 1, 3, 5, 6, 7}));
    ASSERT_EQ(build.material_count, 2);
    EXPECT_EQ(str(build.ranges[0].material_name), "a");
    EXPECT_EQ(build.ranges[0].first_index, 0u);
    EXPECT_EQ(build.ranges[0].index_count, 9u);
    EXPECT_EQ(build.ranges[0].vertex_count, 5u);
    EXPECT_EQ(build.ranges[1].first_vertex, 5u);
    EXPECT_EQ(build.ranges[1].first_index, 9u);
    EXPECT_EQ(build.ranges[1].vertex_count, 3u);
    EXPECT_FLOAT_EQ(build.vertices[4].uv.x, 1);   // the second texture coordinate
}

TEST_F(MeshTest, BoundsAlwaysContainTheOrigin) {
    import("v 2 1 1\nv 3 1 1\nv 3 2 1\nf 1 2 3\n");
    EXPECT_FLOAT_EQ(build.bounds_min.x, 0);
    EXPECT_FLOAT_EQ(build.bounds_min.y, 0);
    EXPECT_FLOAT_EQ(build.bounds_max.x, 3);
    EXPECT_FLOAT_EQ(build.bounds_max.y, 2);
}

TEST_F(MeshTest, MaterialColorsAndMaps) {
    std::string mtl =
        "newmtl plain\n"
        "newmtl gray\nKd 0.5 0.5 0.5\nKs 1 1 1\nNs 10\nd 0.5\nmap_Kd  wood   planks.png \n"
        "newmtl ambient_map\nmap_Ka stone.png\nmap_Ks shiny.png\nKd 0.25\n";
    import("mtllib m.mtl\n", mtl);
    ASSERT_EQ(build.material_count, 3);
    const ParsedMaterial* m = build.materials;
    EXPECT_FLOAT_EQ(m[0].diffuse.x, 1);
    EXPECT_EQ(m[0].diffuse_map.length, 0);
    EXPECT_NEAR(m[1].diffuse.x, 0.2176, 1e-4);   // 0.5 ^ 2.2
    EXPECT_FLOAT_EQ(m[1].diffuse.w, 1);
    EXPECT_FLOAT_EQ(m[1].diffuse_raw.x, 0.5f);
    EXPECT_FLOAT_EQ(m[1].shininess, 10);
    EXPECT_FLOAT_EQ(m[1].dissolve, 0.5f);
    EXPECT_EQ(str(m[1].diffuse_map), "wood   planks.png");
    EXPECT_EQ(str(m[2].diffuse_map), "stone.png");
    EXPECT_EQ(str(m[2].specular_map), "shiny.png");
    EXPECT_FLOAT_EQ(m[2].diffuse_raw.z, 0.25f);   // one value stands for gray
}

TEST_F(MeshTest, TextureOptionsBeforeTheMapName) {
    std::string mtl =
        "newmtl a\nmap_Kd -o 0.1 0.2 -s 1 1 1 -clamp on -blendu off -bm 3 -mm 0 1 -imfchan r albedo.png\n"
        "newmtl b\nmap_Kd -t 0.5 -type sphere -texres 512 -cc on -boost 2 -blendv on env map #2.png \t\n"
        "newmtl c\nmap_Kd -dash-name.png\n";
    import("mtllib m.mtl\n", mtl);
    ASSERT_EQ(build.material_count, 3);
    EXPECT_EQ(str(build.materials[0].diffuse_map), "albedo.png");
    EXPECT_EQ(str(build.materials[1].diffuse_map), "env map #2.png");
    EXPECT_EQ(str(build.materials[2].diffuse_map), "-dash-name.png");
}

TEST_F(MeshTest, CrLfFilesReadLikeLfFiles) {
    std::string mtl = "newmtl red\r\nKd 1 0 0\r\nmap_Kd bricks\r\n";
    std::string obj = "mtllib m.mtl\r\nv 0 0 0\r\nv 1 0 0\r\nv 1 1 0\r\no thing\r\nusemtl red\r\no thing\r\nf 1 2 3\r\n";
    import(obj, mtl);
    EXPECT_EQ(output, "");
    ASSERT_EQ(build.material_count, 1);
    EXPECT_EQ(str(build.ranges[0].material_name), "red");
    EXPECT_EQ(str(build.ranges[0].object_name), "thing");
    EXPECT_EQ(str(build.materials[0].diffuse_map), "bricks");
    EXPECT_EQ(build.ranges[0].index_count, 3u);
}

TEST_F(MeshTest, ExporterSpacingCommentsAndExponents) {
    std::string obj =
        "  # indented comment\n"
        "v\t1.5e1   -2.0E-1\t3 # trailing comment\n"
        "\tv  +1 0 0 1.0 0.5 0.2\n"   // w or vertex colors after z are ignored
        "v 0 1 0\n"
        "vt  0.25\t0.75\n"
        "   f\t1/1   2/1\t3/1   # a comment\n";
    import(obj);
    EXPECT_EQ(build.dropped_faces, 0);
    ASSERT_EQ(build.vertex_count, 3);
    EXPECT_FLOAT_EQ(position(0).x, 15);
    EXPECT_FLOAT_EQ(position(0).y, -0.2f);
    EXPECT_FLOAT_EQ(position(0).z, 3);
    EXPECT_FLOAT_EQ(position(1).x, 1);
    EXPECT_FLOAT_EQ(build.vertices[2].uv.y, 0.75f);
}

TEST_F(MeshTest, RelativeIndicesCountFromTheListSoFar) {
    import("v 0 0 0\nv 1 0 0\nv 1 1 0\nf -3 -2 -1\nv 5 5 5\nf -4 -3 -1\n");
    EXPECT_EQ(build.dropped_faces, 0);
    EXPECT_EQ(indices(), (std::vector<uint32_t>{0, 1, 2, 0, 1, 3}));
    EXPECT_FLOAT_EQ(position(3).x, 5);
}

TEST_F(MeshTest, BadFacesAreDroppedAndReportedOnce) {
    std::string obj = std::string(square_positions) +
                      "f 1 2 3\n"
                      "f 1 2 9\n"        // past the end
                      "f -5 1 2\n"       // before the first
                      "f 0 1 2\n"        // zero is not an index
                      "f 1/7 2 3\n"      // texture coordinate that does not exist: kept as none
                      "f 1 2\n"          // two corners
                      "f 1\n"
                      "f 1 x 3\n"        // not a number
                      "f 2 3 4 \n";      // a trailing space adds no corner
    import(obj);
    EXPECT_EQ(build.dropped_faces, 6);
    EXPECT_EQ(indices(), (std::vector<uint32_t>{0, 1, 2, 0, 1, 2, 1, 2, 3}));
    EXPECT_EQ(output, "skipped 6 faces of models/test.obj (corner index out of range or fewer than three corners)\n");
}

// Real files name normals they never define (or whose "vn" lines were
// commented out) and texture coordinates past the list; only a bad position
// loses the face.
TEST_F(MeshTest, BadNormalOrTextureIndexKeepsTheFace) {
    std::string obj = std::string(square_positions) + "vt 0.5 0.25\nvn 0 0 1\n" +
                      "f 1//4 2//4 3//4 4//4\n"   // no such normals
                      "# vn 0 0 1\n"
                      "f 1/1/2 2/1/1 3/9/-7\n"    // normal and texture coordinate out of range
                      "f 2//0 3/1 9/1\n";          // a position out of range still drops it
    import(obj);
    EXPECT_EQ(build.dropped_faces, 1);
    ASSERT_EQ(build.index_count, 9);
    // The quad's corners carry no normal. The second face's first two corners
    // keep their texture coordinate; its last reads as none, which makes it
    // the quad's third vertex again.
    EXPECT_EQ(indices(), (std::vector<uint32_t>{0, 1, 2, 0, 2, 3, 4, 5, 2}));
    EXPECT_FLOAT_EQ(build.vertices[4].uv.x, 0.5f);
    EXPECT_FLOAT_EQ(build.vertices[5].uv.y, 0.25f);
    EXPECT_FLOAT_EQ(build.vertices[2].uv.x, 0);
    EXPECT_EQ(build.default_index_count, 9);
}

// Exporters name materials "Material #25": a "#" inside a name is no comment,
// so two such materials stay two and each face keeps its own color.
TEST_F(MeshTest, NamesRunToTheEndOfTheLine) {
    std::string mtl = "newmtl Material #1\nKd 1 0 0 # red\nnewmtl Material #2  \t\r\nKd 0 1 0\nmap_Kd leaf #2.png   \n";
    std::string obj = std::string("mtllib lib #1.mtl\n") + square_positions +
                      "usemtl Material #2\t\no part #7 \nf 1 2 3 # a comment after numbers\n"
                      "usemtl Material #1\nf 1 3 4\n";
    import(obj, mtl);
    EXPECT_EQ(output, "");
    ASSERT_EQ(build.material_count, 2);
    EXPECT_EQ(str(build.ranges[0].material_name), "Material #1");
    EXPECT_EQ(str(build.ranges[1].material_name), "Material #2");
    EXPECT_FLOAT_EQ(build.materials[0].diffuse_raw.x, 1);
    EXPECT_FLOAT_EQ(build.materials[1].diffuse_raw.y, 1);
    EXPECT_EQ(str(build.materials[1].diffuse_map), "leaf #2.png");
    EXPECT_EQ(str(build.ranges[1].object_name), "part #7");
    EXPECT_EQ(build.ranges[1].first_index, 0u);
    EXPECT_EQ(build.ranges[1].index_count, 3u);
    EXPECT_EQ(build.ranges[0].first_index, 3u);
    EXPECT_EQ(build.ranges[0].index_count, 3u);
}

// Faces without a material lead the index list, whatever the ranges do.
TEST_F(MeshTest, FacesWithoutAMaterialAreTheFirstIndices) {
    import(std::string(square_positions) + "f 1 2 3 4\n");
    EXPECT_EQ(build.default_index_count, 6);

    std::string obj = std::string("mtllib m\n") + square_positions + "f 1 2 3\nusemtl a\nf 1 3 4\n";
    import(obj, "newmtl a\n");
    EXPECT_EQ(build.default_index_count, 3);
    EXPECT_EQ(build.ranges[0].first_index, 3u);

    // Regrouped (a used twice): still first.
    obj = std::string("mtllib m\n") + square_positions + "f 1 2 3\nusemtl a\nf 1 3 4\nusemtl b\nf 2 3 4\nusemtl a\nf 1 2 4\n";
    import(obj, "newmtl a\nnewmtl b\n");
    EXPECT_EQ(build.default_index_count, 3);
    EXPECT_EQ(build.ranges[0].first_index, 3u);
    EXPECT_EQ(build.ranges[0].index_count, 6u);
    EXPECT_EQ(build.ranges[1].first_index, 9u);

    // Every "usemtl" unknown: the whole mesh has the default material.
    import(std::string("mtllib m\n") + square_positions + "usemtl x\nf 1 2 3\n", "newmtl a\n");
    EXPECT_EQ(build.default_index_count, 3);
    EXPECT_EQ(build.ranges[0].index_count, 0u);
}

TEST_F(MeshTest, UnknownMaterialKeepsTheCurrentOne) {
    import(std::string("mtllib m\n") + square_positions + "usemtl a\nf 1 2 3\nusemtl nothing\nf 1 3 4\n", "newmtl a\n");
    EXPECT_EQ(output, "failed to find material nothing\n");
    ASSERT_EQ(build.material_count, 1);
    EXPECT_EQ(build.ranges[0].index_count, 6u);
}

TEST_F(MeshTest, ObjectLineNamesTheCurrentMaterialsRange) {
    // The build views the text it read: keep the text alive while the names are read.
    std::string obj = std::string("mtllib m\no before\n") + square_positions + "usemtl a\no first\no second\nf 1 2 3\n";
    import(obj, "newmtl a\nnewmtl b\n");
    EXPECT_EQ(str(build.ranges[0].object_name), "second");
    EXPECT_EQ(build.ranges[1].object_name.length, 0);
}

// A material used in separate runs of faces gets one range over all of them.
TEST_F(MeshTest, MaterialUsedTwiceIsRegroupedIntoOneRange) {
    std::string obj = std::string("mtllib m\n") + square_positions +
                      "f 1 2 3\n"                        // no material
                      "usemtl a\nf 1 2 3\n"
                      "usemtl b\nf 2 3 4\n"
                      "usemtl a\nf 1 3 4\n";
    import(obj, "newmtl a\nnewmtl b\n");
    // Vertex numbers follow the file order (the last face reuses two of the
    // second face's vertices); triangles are grouped by material.
    EXPECT_EQ(build.vertex_count, 3 + 3 + 3 + 1);
    EXPECT_EQ(indices(), (std::vector<uint32_t>{0, 1, 2, 3, 4, 5, 3, 5, 9, 6, 7, 8}));
    EXPECT_EQ(build.ranges[0].first_index, 3u);
    EXPECT_EQ(build.ranges[0].index_count, 6u);
    EXPECT_EQ(build.ranges[0].first_vertex, 3u);
    EXPECT_EQ(build.ranges[0].vertex_count, 4u);
    EXPECT_EQ(build.ranges[1].first_index, 9u);
    EXPECT_EQ(build.ranges[1].index_count, 3u);
    EXPECT_EQ(build.ranges[1].first_vertex, 6u);
}

// ---------------------------------------------------------------------------
// The hashed merge gives exactly what comparing every corner with all
// earlier ones gives.

struct RefCorner { int p, n, t, m; };

static void reference_merge(const std::vector<RefCorner>& corners, std::vector<RefCorner>* vertices,
                            std::vector<uint32_t>* indices) {
    std::vector<uint32_t> vertex_of;
    for (size_t i = 0; i < corners.size(); i++) {
        const RefCorner& c = corners[i];
        int64_t found = -1;
        for (int64_t j = (int64_t)i - 1; j >= 0; j--) {
            const RefCorner& e = corners[(size_t)j];
            if (e.p == c.p && e.n == c.n && e.t == c.t && e.m == c.m) {
                found = vertex_of[(size_t)j];
                break;
            }
        }
        if (found < 0) {
            found = (int64_t)vertices->size();
            vertices->push_back(c);
        }
        vertex_of.push_back((uint32_t)found);
        indices->push_back((uint32_t)found);
    }
}

TEST_F(MeshTest, HashedMergeMatchesTheBackwardSearchOnRandomMeshes) {
    std::mt19937 random(12345);
    for (int round = 0; round < 30; round++) {
        int positions = 1 + (int)(random() % 12), uvs = (int)(random() % 5), normals = (int)(random() % 4);
        int materials = (int)(random() % 3);
        std::string mtl, obj = materials ? "mtllib m\n" : "";
        for (int m = 0; m < materials; m++) mtl += "newmtl m" + std::to_string(m) + "\n";
        for (int i = 0; i < positions; i++) obj += "v " + std::to_string(i) + " " + std::to_string(i * 2) + " 0\n";
        for (int i = 0; i < uvs; i++) obj += "vt 0." + std::to_string(i) + " 0.5\n";
        for (int i = 0; i < normals; i++) obj += "vn 0 0 1\n";
        std::vector<RefCorner> corners;   // triangulated, faces in file order
        int material = -1;
        int faces = 1 + (int)(random() % 40);
        for (int f = 0; f < faces; f++) {
            if (materials && random() % 4 == 0) {
                material = (int)(random() % materials);
                obj += "usemtl m" + std::to_string(material) + "\n";
            }
            int count = 3 + (int)(random() % 3);
            std::vector<RefCorner> face;
            obj += "f";
            for (int c = 0; c < count; c++) {
                RefCorner corner{(int)(random() % positions), uvs ? (int)(random() % (normals + 1)) - 1 : -1, -1, material};
                if (normals == 0) corner.n = -1;
                if (uvs) corner.t = (int)(random() % (uvs + 1)) - 1;
                obj += " " + std::to_string(corner.p + 1);
                if (corner.t >= 0 || corner.n >= 0) obj += "/" + (corner.t >= 0 ? std::to_string(corner.t + 1) : "");
                if (corner.n >= 0) obj += "/" + std::to_string(corner.n + 1);
                face.push_back(corner);
            }
            obj += "\n";
            for (int c = 2; c < count; c++) {
                corners.push_back(face[0]);
                corners.push_back(face[(size_t)c - 1]);
                corners.push_back(face[(size_t)c]);
            }
        }
        std::vector<RefCorner> ref_vertices;
        std::vector<uint32_t> ref_indices;
        reference_merge(corners, &ref_vertices, &ref_indices);
        // The importer groups the triangles of a material used in several
        // runs; apply the same stable grouping to the reference.
        std::vector<uint32_t> grouped;
        for (int m = -1; m < materials; m++) {
            for (size_t i = 0; i < corners.size(); i++) {
                if (corners[i].m == m) grouped.push_back(ref_indices[i]);
            }
        }
        bool repeated_run = false;
        std::vector<int> runs;
        for (size_t i = 0; i < corners.size(); i++) {
            if (runs.empty() || runs.back() != corners[i].m) runs.push_back(corners[i].m);
        }
        for (size_t a = 0; a < runs.size(); a++)
            for (size_t b = a + 1; b < runs.size(); b++)
                if (runs[a] == runs[b] && runs[a] >= 0) repeated_run = true;

        import(obj, mtl);
        ASSERT_EQ(build.vertex_count, (int64_t)ref_vertices.size()) << obj;
        for (size_t v = 0; v < ref_vertices.size(); v++) {
            EXPECT_FLOAT_EQ(build.vertices[v].position.x, (float)ref_vertices[v].p) << "round " << round;
            float u = ref_vertices[v].t >= 0 ? std::stof("0." + std::to_string(ref_vertices[v].t)) : 0.0f;
            EXPECT_FLOAT_EQ(build.vertices[v].uv.x, u) << "round " << round;
        }
        EXPECT_EQ(indices(), repeated_run ? grouped : ref_indices) << "round " << round;
    }
}

// Many keys on one position: the table leaves placement by position.
TEST_F(MeshTest, ManyCornersOnOnePositionStillMergeExactly) {
    std::string obj = "v 1 2 3\n";
    for (int i = 0; i < 300; i++) obj += "vt " + std::to_string(i) + " 0\n";
    for (int i = 1; i + 2 <= 300; i += 2) obj += "f 1/" + std::to_string(i) + " 1/" + std::to_string(i + 1) + " 1/" + std::to_string(i + 2) + "\n";
    obj += "f 1/300 1/1 1/2\n";
    import(obj);
    ASSERT_EQ(build.vertex_count, 300);
    for (int64_t v = 0; v < 300; v++) EXPECT_FLOAT_EQ(build.vertices[v].uv.x, (float)v);
    std::vector<uint32_t> got = indices();
    EXPECT_EQ(got[0], 0u);
    EXPECT_EQ(got[3], 2u);   // the second face reuses the first face's last corner
    EXPECT_EQ(std::vector<uint32_t>(got.end() - 3, got.end()), (std::vector<uint32_t>{299, 0, 1}));
}

// ---------------------------------------------------------------------------
// Real exporters' files

class MeshFileTest : public MeshTest {
protected:
    static std::string data(const char* name) { return std::string(TARNISK_TEST_DATA_DIR "/assets/obj/") + name; }
    std::string material_name(int64_t i) const { return str(build.ranges[i].material_name); }
};

TEST_F(MeshFileTest, CornellBox) {
    ASSERT_EQ(import_file(data("cornell_box.obj")), 0);
    EXPECT_EQ(output, "");
    ASSERT_EQ(build.material_count, 5);
    const char* names[] = {"white", "red", "green", "blue", "light"};
    for (int i = 0; i < 5; i++) EXPECT_EQ(material_name(i), names[i]);
    EXPECT_EQ(build.dropped_faces, 0);
    // 3 floor quads, light, ceiling, back wall, green and red walls, and two
    // blocks of 5 quads each; the front wall's face is commented out.
    EXPECT_EQ(build.index_count, (3 + 5 + 10) * 6);
    // White is used in three separate runs; its range covers all of them.
    EXPECT_EQ(build.ranges[0].index_count, (3 + 1 + 1 + 10) * 6u);
    EXPECT_EQ(build.ranges[3].index_count, 0u);   // blue has no face
    EXPECT_FLOAT_EQ(build.bounds_max.x, 556);
    EXPECT_FLOAT_EQ(build.bounds_max.y, 548.8f);
    EXPECT_NEAR(build.materials[4].ambient.x, std::pow(20.0, 2.2), 1e-2);
}

TEST_F(MeshFileTest, MaterialSwitchInsideOneObject) {
    ASSERT_EQ(import_file(data("cornell_box_multimaterial.obj")), 0);
    EXPECT_EQ(build.index_count, (3 + 5 + 10) * 6);
    uint32_t total = 0;
    for (int64_t i = 0; i < build.material_count; i++) total += build.ranges[i].index_count;
    EXPECT_EQ(total, build.index_count);
}

TEST_F(MeshFileTest, TextureNamesWithSpacesAndOptions) {
    ASSERT_EQ(import_file(data("texture-filename-with-whitespace.obj")), 0);
    ASSERT_EQ(build.material_count, 5);
    EXPECT_EQ(str(build.materials[0].diffuse_map), "texture 01.png");
    EXPECT_EQ(build.index_count, 6 * 6);

    ASSERT_EQ(import_file(data("texture-options-issue-85.obj")), 0);
    ASSERT_EQ(build.material_count, 3);
    EXPECT_EQ(str(build.materials[0].diffuse_map), "diffuse.jpg");   // after "map_Ka ambient.jpg"
    EXPECT_EQ(str(build.materials[0].specular_map), "specular.jpg");
    EXPECT_EQ(str(build.materials[1].diffuse_map), "diffuse.jpg");
    EXPECT_EQ(str(build.materials[2].diffuse_map), "ambient.jpg");   // "map_Ka" comes last there
    EXPECT_EQ(material_name(0), "default");
    EXPECT_EQ(str(build.ranges[0].object_name), "");   // "o Test" precedes "usemtl"
    EXPECT_EQ(build.index_count, 3);
}

TEST_F(MeshFileTest, BrokenFacesAreSkippedWithOneLine) {
    ASSERT_EQ(import_file(data("invalid-face-definition.obj")), 0);
    EXPECT_EQ(build.index_count, 0);
    EXPECT_EQ(build.dropped_faces, 2);
    EXPECT_NE(output.find("skipped 2 faces of "), std::string::npos);

    ASSERT_EQ(import_file(data("invalid-relative-vertex-index.obj")), 0);
    EXPECT_EQ(build.index_count, 0);
    EXPECT_EQ(build.dropped_faces, 1);

    // Both faces name normal 0; only the one with position 0 is lost.
    ASSERT_EQ(import_file(data("issue-140-zero-face-idx.obj")), 0);
    EXPECT_EQ(build.dropped_faces, 1);
    EXPECT_EQ(build.index_count, 3);
    EXPECT_EQ(build.material_count, 1);
}

TEST_F(MeshFileTest, MixedCornerFormsAndLargePolygons) {
    ASSERT_EQ(import_file(data("issue-161-inconsistent-f.obj")), 0);
    EXPECT_EQ(build.index_count, 12 * 3);
    EXPECT_EQ(build.dropped_faces, 0);
    // Its library is not there: reported, and the import goes on.
    EXPECT_EQ(output.rfind("failed to load material: cube.mtl (path " TARNISK_TEST_DATA_DIR "/assets/obj/)\n", 0), 0u)
        << output;
    EXPECT_NE(output.find("failed to find material cube\n"), std::string::npos);

    ASSERT_EQ(import_file(data("issue-319-002.obj")), 0);
    EXPECT_EQ(build.index_count, (5 + 6 + 3) * 3);   // fans of 7, 8 and 5 corners
    EXPECT_EQ(build.dropped_faces, 0);
    EXPECT_NEAR(build.bounds_max.x, 8233.45, 0.01);
}

TEST_F(MeshFileTest, MaterialsWithoutALibraryAreReported) {
    ASSERT_EQ(import_file(data("missing_material_file.obj")), 0);   // its "mtllib" is commented out
    EXPECT_EQ(output.rfind("failed to find material white\nfailed to find material light\n", 0), 0u) << output;
    EXPECT_EQ(build.material_count, 0);
    EXPECT_EQ(build.index_count, (3 + 5 + 10) * 6);
}

TEST_F(MeshFileTest, TrianglesWithNormalsAndTwoMaterials) {
    ASSERT_EQ(import_file(data("map-bump.obj")), 0);
    EXPECT_EQ(output, "");
    EXPECT_EQ(build.index_count, 400 * 3);
    ASSERT_EQ(build.material_count, 2);
    EXPECT_EQ(material_name(0), "Material.001");
    EXPECT_EQ(build.ranges[0].index_count + build.ranges[1].index_count, 400 * 3u);
}

// One "mtllib" line may name several libraries; a name with blanks that
// exists as one file is still that file.
TEST_F(MeshFileTest, SeveralLibrariesOnOneLine) {
    std::filesystem::path folder = std::filesystem::temp_directory_path() / ("tarnisk_mtllib_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "a.mtl") << "newmtl a\nKd 1 0 0\n";
    std::ofstream(folder / "b.mtl") << "newmtl b\n";
    std::ofstream(folder / "my materials.mtl") << "newmtl spaced\n";
    std::ofstream(folder / "m.obj") << "mtllib a.mtl  b.mtl\t\nmtllib my materials.mtl\nmtllib b.mtl gone.mtl a.mtl\n"
                                       "v 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl b\nf 1 2 3\n";
    int32_t status = import_file((folder / "m.obj").string());
    std::filesystem::remove_all(folder);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(output, "failed to load material: gone.mtl (path " + folder.string() + "/)\n");
    ASSERT_EQ(build.material_count, 5);
    const char* names[] = {"a", "b", "spaced", "b", "a"};
    for (int i = 0; i < 5; i++) EXPECT_EQ(material_name(i), names[i]);
    EXPECT_FLOAT_EQ(build.materials[0].diffuse_raw.y, 0);
    EXPECT_EQ(build.ranges[1].index_count, 3u);
    EXPECT_EQ(build.default_index_count, 0);
}

TEST_F(MeshFileTest, MissingFileIsNotOpened) {
    EXPECT_EQ(import_file(data("no-such-file.obj")), 1);
    EXPECT_EQ(output, "");
}

TEST_F(MeshFileTest, ImportFailsCleanlyWhenTheMeshCannotBeKept) {
    Mesh mesh{};
    testing::internal::CaptureStdout();
    EXPECT_FALSE(mesh_import(&mesh, S("no/such/model.obj")));   // silent: the caller reports
    EXPECT_EQ(captured(), "");

    // A full persistent pool: one line, nothing uploaded, the mesh untouched.
    Pool* pool = pool_get(POOL_PERSISTENT);
    ASSERT_NE(pool_alloc(POOL_PERSISTENT, pool->capacity - pool->used - 8), nullptr);
    std::string path = data("cornell_box.obj");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(mesh_import(&mesh, view(path)));
    EXPECT_EQ(captured(), "not enough memory for mesh: " + path + " (persistent pool full)\n");
    EXPECT_EQ(mesh.vertex_array, 0u);
    EXPECT_EQ(mesh.materials, nullptr);
}

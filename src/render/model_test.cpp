// The ".jm" reader, the model cache with its levels of detail, skinning and the export.
#include "render/model.h"

#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "render/render_test_home.h"

namespace {

// A unit quad in the x-y plane: u runs along +x, the file's v along +y.
const char *const QUAD_VERTICES =
    "0 0 0  0 0 1  0 0\n"
    "1 0 0  0 0 1  1 0\n"
    "1 1 0  0 0 1  1 1\n"
    "0 1 0  0 0 1  0 1\n";

}   // namespace

using ModelTest = RenderDataTest;

TEST_F(ModelTest, PlainFormReadsOneWhiteMeshWithTangents)
{
    put("quad.jm", std::string("4 2\n") + QUAD_VERTICES + "0 1 2\n0 2 3\n");
    Model *model = model_load("@quad.jm");
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->next_mesh, nullptr);
    EXPECT_EQ(model->vertex_count, 4);
    EXPECT_EQ(model->triangle_count, 2);
    EXPECT_EQ(model->bone_count, 0);
    EXPECT_EQ(model->material, 32);
    EXPECT_EQ(model->color[0], 1);
    EXPECT_EQ(model->color[3], 1);
    EXPECT_FALSE(model->reflective);
    EXPECT_EQ(model->positions[3 * 2 + 1], 1);
    EXPECT_EQ(model->uvs[2 * 1 + 0], 1);
    EXPECT_EQ(model->uvs[2 * 1 + 1], 1);   // file v 0 stored as 1 - v
    EXPECT_EQ(model->uvs[2 * 2 + 1], 0);
    EXPECT_EQ(model->indices[5], 3);
    EXPECT_EQ(model->bone_weights, nullptr);
    // Stored v runs against y, so the tangent (direction of growing u) is +x.
    for (int v = 0; v < 4; v++) {
        EXPECT_NEAR(model->tangents[3 * v], 1, 1e-6);
        EXPECT_NEAR(model->tangents[3 * v + 1], 0, 1e-6);
    }
    EXPECT_STREQ(model_name(model), "@quad.jm");
    model_free(model);
}

TEST_F(ModelTest, VersionedFormReadsMeshChainMaterialsAndBones)
{
    // Two bones; the second mesh is self-lit with alpha 0.5; the third reflective.
    std::string file = "JM2\n5 skeleton\n";
    file += "8 0.25 1 0.5 0 3 1\n"
            "0 0 0 0 1 0 0 0  0.5 0.3 0.1 0.1 0.2\n"   // five positive influences
            "1 0 0 0 1 0 1 0  0 0 0 0 0\n"
            "0 0 1 0 1 0 0 1  0 2 0 0 2\n"
            "0 1 2\n";
    file += "-2 0.5 0.1 0.2 0.3 1 0\n"
            "5 5 5 0 1 0 0 0  0 0 0 1 0\n";
    file += "-1 0.75 1 1 1 0 0\n";
    put("rider.jm", file);
    Model *model = model_load("@rider.jm");
    ASSERT_NE(model, nullptr);
    EXPECT_TRUE(console_said("Warning: vertex with more than 4 bone influences in '@rider.jm'"));
    EXPECT_TRUE(model->reflective);
    EXPECT_EQ(model->material, 8);
    EXPECT_EQ(model->color[3], 1);   // alpha counts only for negative materials
    EXPECT_EQ(model->bone_count, 5);
    ASSERT_NE(model->bone_weights, nullptr);
    // Kept: 0.5 (bone 0), 0.3 (1), 0.2 (4, in place of the first 0.1), 0.1 (3); sum 1.1.
    const float *w = model->bone_weights;
    const uint8_t *b = model->bone_indices;
    EXPECT_NEAR(w[0], 0.5 / 1.1, 1e-6);
    EXPECT_NEAR(w[1], 0.3 / 1.1, 1e-6);
    EXPECT_NEAR(w[2], 0.2 / 1.1, 1e-6);
    EXPECT_NEAR(w[3], 0.1 / 1.1, 1e-6);
    EXPECT_EQ(b[2], 4);
    EXPECT_EQ(b[3], 3);
    for (int k = 0; k < 4; k++)
        EXPECT_EQ(w[4 + k], 0.25f);   // no influence at all: an even share
    EXPECT_NEAR(w[8], 0.5, 1e-6);
    EXPECT_EQ(b[8], 1);
    EXPECT_EQ(b[9], 4);

    const Model *self_lit = model->next_mesh;
    ASSERT_NE(self_lit, nullptr);
    EXPECT_EQ(self_lit->material, MODEL_MATERIAL_SELF_LIT);
    EXPECT_FLOAT_EQ(self_lit->color[3], 0.5f);
    EXPECT_FLOAT_EQ(self_lit->color[2], 0.3f);
    const Model *reflection = self_lit->next_mesh;
    ASSERT_NE(reflection, nullptr);
    EXPECT_EQ(reflection->material, MODEL_MATERIAL_REFLECTION);
    EXPECT_EQ(reflection->next_mesh, nullptr);
    model_free(model);
}

TEST_F(ModelTest, BrokenFilesGiveNoModelOrEndTheChain)
{
    const std::string mesh = std::string("4 1 1 1 1 4 2\n") + QUAD_VERTICES + "0 1 2\n0 2 3\n";
    struct Case {
        const char *name;
        std::string file;
        int meshes;   // -1: no model
    } cases[] = {
        {"v3.jm", "JM3\n" + mesh, -1},
        {"jx.jm", "JX1\n" + mesh, -1},
        {"empty.jm", "", -1},
        {"plain_short.jm", "4 2\n0 0 0 0 0 1 0 0\n", -1},
        {"one.jm", "JM1\n" + mesh, 1},
        {"truncated.jm", "JM1\n" + mesh + "4 1 1 1 1 4 2\n0 0 0", 1},
        {"badindex.jm", "JM1\n" + mesh + "4 1 1 1 1 4 1\n" + QUAD_VERTICES + "0 1 4\n", 1},
        {"huge.jm", "JM1\n" + mesh + "4 1 1 1 1 99999999 1\n", 1},
        {"negative.jm", "JM1\n" + mesh + "4 1 1 1 1 -3 1\n", 1},
        {"infinite.jm", "JM1\n4 1 1 1 1 1 0\n1e999 0 0 0 0 1 0 0\n", -1},
        {"bones.jm", "JM2\n100000 x\n" + mesh, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        put(c.name, c.file);
        Model *model = model_load((std::string("@") + c.name).c_str());
        int meshes = model ? 0 : -1;
        for (const Model *m = model; m; m = m->next_mesh)
            meshes++;
        EXPECT_EQ(meshes, c.meshes);
        model_free(model);
    }
    EXPECT_EQ(model_load("@absent.jm"), nullptr);
}

TEST_F(ModelTest, CacheSharesModelsAndChainsLevelsOfDetail)
{
    const std::string quad = std::string("4 2\n") + QUAD_VERTICES + "0 1 2\n0 2 3\n";
    const std::string tri = std::string("3 1\n") + QUAD_VERTICES + "0 1 2\n";
    put("objects/tree.jm", quad);
    put("objects/tree_lod6.jm", tri);
    put("objects/tree_lod4.jm", tri);
    put("objects/tree_lod4.png", "not a model");
    put("objects/tree_lodx.jm", tri);
    data_reset();   // the names list is built once: make it see the files
    Model *tree = model_get("@objects/tree.jm");
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(model_get("@objects/tree.jm"), tree);
    EXPECT_EQ(model_get("@OBJECTS/tree.jm"), tree);
    EXPECT_TRUE(console_said("Warning: case mismatch on '@OBJECTS/tree.jm'"));
    ASSERT_NE(tree->next_lod, nullptr);
    EXPECT_EQ(tree->next_lod->lod_size, 16);
    EXPECT_STREQ(tree->next_lod->name, "@objects/tree_lod4.jm");
    ASSERT_NE(tree->next_lod->next_lod, nullptr);
    EXPECT_EQ(tree->next_lod->next_lod->lod_size, 64);
    EXPECT_EQ(tree->next_lod->next_lod->next_lod, nullptr);

    const Model *lod4 = tree->next_lod, *lod6 = lod4->next_lod;
    struct Case {
        float distance, scale, bias;
        const Model *expect;
    } cases[] = {
        {10, 1, 0, tree}, {15.9f, 1, 0, tree}, {16, 1, 0, lod4}, {63, 1, 0, lod4},
        {64, 1, 0, lod6}, {500, 1, 0, lod6}, {10, 2, 0, lod4}, {20, 1, 8, lod4}, {60, 1, 8, lod6},
        {0, 1, 16, lod4}, {0, 1, 64, lod6},
    };
    for (const Case &c : cases)
        EXPECT_EQ(model_choose_lod(tree, c.distance, c.scale, c.bias), c.expect)
            << c.distance << " " << c.scale << " " << c.bias;

    // Generation rule: a model the new track does not ask for again is freed.
    images_new_generation();
    ASSERT_NE(model_get("@objects/tree_lodx.jm"), nullptr);
    images_new_generation();
    EXPECT_EQ(models_purge(), 1);
    EXPECT_EQ(model_get("@objects/tree.jm"), tree);   // generation 0 stays
}

TEST_F(ModelTest, CpuSkinningBlendsBoneTransforms)
{
    put("skin.jm", "JM2 2 bones\n0 1 1 1 1 1 0\n1 0 0  1 0 0  0 0  0.5 0.5\n");
    Model *model = model_load("@skin.jm");
    ASSERT_NE(model, nullptr);
    const float centres[6] = {0, 0, 0, 1, 0, 0};
    const float translations[6] = {0, 0, 0, 0, 2, 0};
    // Bone 0: identity. Bone 1: a quarter turn about z (x goes to y).
    const float rotations[18] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, -1, 0, 1, 0, 0, 0, 0, 1};
    model_skin(model, 2, centres, translations, rotations);
    // Bone 0 leaves (1,0,0); bone 1 maps it to its translation (0,2,0): halfway (0.5,1,0).
    EXPECT_NEAR(model->skinned_positions[0], 0.5, 1e-6);
    EXPECT_NEAR(model->skinned_positions[1], 1.0, 1e-6);
    EXPECT_NEAR(model->skinned_normals[0], 0.5, 1e-6);
    EXPECT_NEAR(model->skinned_normals[1], 0.5, 1e-6);
    // Bones the caller does not supply are skipped.
    model_skin(model, 1, centres, translations, rotations);
    EXPECT_NEAR(model->skinned_positions[0], 0.5, 1e-6);
    EXPECT_NEAR(model->skinned_positions[1], 0.0, 1e-6);
    model_free(model);
}

TEST_F(ModelTest, PovExportWritesMesh2Blocks)
{
    put("tri.jm", "3 1\n0 0 0 0 0 1 0 0\n1 0 0 0 0 1 1 0\n0 1 0 0 0 1 0 1\n0 1 2\n");
    Model *model = model_load("@tri.jm");
    ASSERT_NE(model, nullptr);
    DataStream *out = data_open("@tri.pov", "wb");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(model_write_pov(model, out), 1);
    data_close(out);
    EXPECT_EQ(read_whole_file(user.at("Rutmoor/tri.pov")),
              "mesh2 {\n"
              "\tvertex_vectors {\n\t\t3\n"
              "\t\t<0.000000,0.000000,0.000000>,\n"
              "\t\t<1.000000,0.000000,0.000000>,\n"
              "\t\t<0.000000,1.000000,0.000000>\n\t}\n"
              "\tnormal_vectors {\n\t\t3\n"
              "\t\t<0.000000,0.000000,1.000000>,\n"
              "\t\t<0.000000,0.000000,1.000000>,\n"
              "\t\t<0.000000,0.000000,1.000000>\n\t}\n"
              "\tuv_vectors {\n\t\t3\n"
              "\t\t<0.000000,1.000000>,\n"
              "\t\t<1.000000,1.000000>,\n"
              "\t\t<0.000000,0.000000>\n\t}\n"
              "\tface_indices {\n\t\t1\n"
              "\t\t<0,1,2>\n\t}\n"
              "}\n");
    model_free(model);
}

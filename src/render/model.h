// Triangle-mesh models read from ".jm" files, kept decoded on the CPU: meshes with their
// materials, vertices, bone influences and computed tangents, the by-name model cache with
// its levels of detail, the level-of-detail choice, CPU skinning and the POV-Ray export.
// The renderer compiles display lists from these records; nothing here needs a display.
//
// Readers refuse meshes of more than MODEL_MAX_VERTICES vertices or MODEL_MAX_TRIANGLES
// triangles, files of more than MODEL_MAX_BONES bones, triangle indices outside the mesh
// and non-finite numbers, so hostile files cannot exhaust memory or index out of bounds.
#pragma once

#include <cstdint>

struct DataStream;

enum {
    MODEL_MAX_VERTICES = 1 << 20,    // per mesh
    MODEL_MAX_TRIANGLES = 1 << 21,   // per mesh
    MODEL_MAX_BONES = 256,           // per file
    MODEL_MAX_LODS = 32,             // simpler versions kept per model
};

// Material values with a meaning of their own; any other value is the specular shininess.
constexpr float MODEL_MATERIAL_REFLECTION = -1.0f;   // drawn only in the reflection pass
constexpr float MODEL_MATERIAL_SELF_LIT = -2.0f;     // lit by its own colour

// One mesh; a loaded model is the first mesh of a chain. Arrays are xmalloc'd and owned by
// the mesh. Vertex i's position is positions[3i .. 3i+2], and so on.
struct Model {
    Model *next_mesh;          // next mesh of the same model, or null
    int reflective;            // first mesh: 1 when any mesh has material -1
    unsigned display_list;     // filled by the renderer (0 = none compiled)
    int vertex_count;
    int triangle_count;
    int bone_count;            // bones named by the file (0 for unskinned meshes)
    float color[4];            // r, g, b, alpha (alpha is 1 unless material is negative)
    float material;            // >= 0 shininess; -1 reflection layer; -2 self-lit
    float *positions;          // V x 3, as read
    float *normals;            // V x 3, as read
    float *skinned_positions;  // V x 3 result of model_skin (skinned meshes only, else null)
    float *skinned_normals;    // V x 3 (skinned meshes only, else null)
    float *uvs;                // V x 2; v is stored as 1 - v of the file
    float *tangents;           // V x 3, unit length (0 where no triangle defines one)
    float *bone_weights;       // V x 4, the four strongest influences summing to 1 (or null)
    uint8_t *bone_indices;     // V x 4 bone numbers of those weights (or null)
    int *indices;              // T x 3, each 0 .. V-1
    int generation;            // first mesh: cache generation (0 = permanent)
    float lod_size;            // first mesh: distance size of this level (0 for the full model)
    Model *next_lod;           // first mesh: next simpler model, ascending lod_size, or null
    const char *name;          // data name (interned)
};

// Reads a ".jm" model from a stream (plain or "JM1"/"JM2" form). name is used in
// warnings and stored in the result. Null when nothing usable was read.
Model *model_read(DataStream *stream, const char *name);
// Opens and reads a model by data name (uncached, no levels of detail); null on failure.
Model *model_load(const char *name);
// Frees a model: every mesh of the chain and its levels of detail.
void model_free(Model *model);

// The cached model of a data name, giving it the current cache generation (images.h):
// an exact match, else a match that differs in letter case with "Warning: case mismatch on
// '%.900s'", else the model is read and, for "@" names, every data name made of the name
// without its extension, "_lod" and a number (an optional trailing ".gz" dropped) loads as
// a simpler version with lod_size 2^number. Null when the file cannot be read.
Model *model_get(const char *name);
// The data name of a model.
const char *model_name(const Model *model);
// Frees cached models of generations other than 0 and the current one; returns how many.
int models_purge();
// Frees every cached model (tests, shutdown).
void models_clear();

// The level of detail to draw at distance from the eye: starting with the full model, moves
// on to the next version while its lod_size - lod_bias is not positive or while
// lod_scale * distance >= its lod_size - lod_bias.
const Model *model_choose_lod(const Model *model, float distance, float lod_scale,
                              float lod_bias);

// CPU skinning of one mesh into skinned_positions / skinned_normals:
// position = sum w_i (R_i (p - c_i) + t_i), normal = sum w_i R_i n over its four
// influences. centres and translations are bone_count x 3 floats, rotations bone_count x 9
// (row major). Influences naming a bone at or past count are skipped.
void model_skin(Model *mesh, int count, const float *centres, const float *translations,
                const float *rotations);

// Writes the geometry of every mesh as POV-Ray "mesh2" blocks; 1 on success.
int model_write_pov(const Model *model, DataStream *stream);

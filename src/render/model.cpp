// The ".jm" model reader and the model cache. Numbers are text read with the data scanner;
// arrays grow with what the file really holds, so a header that claims millions of
// vertices costs nothing until they are there.
#include "render/model.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "common/common.h"
#include "common/console.h"
#include "files/data.h"
#include "render/image.h"

namespace {

struct ModelCache {
    std::vector<Model *> models;   // first meshes of cached models, owned
};

// Never destroyed: cached models stay reachable until the process ends, also while other
// static objects are torn down.
ModelCache &models_state = *new ModelCache;

template <typename T>
T *copy_out(const std::vector<T> &v)
{
    if (v.empty())
        return nullptr;
    T *out = static_cast<T *>(xmalloc(v.size() * sizeof(T)));
    memcpy(out, v.data(), v.size() * sizeof(T));
    return out;
}

bool finite_all(const float *v, int n)
{
    for (int i = 0; i < n; i++)
        if (!std::isfinite(v[i]))
            return false;
    return true;
}

// The four strongest positive influences of one vertex, normalised.
void weights_keep(const float *weights, int bones, float kept[4], uint8_t index[4],
                  int *warned, const char *name)
{
    int n = 0;
    for (int i = 0; i < 4; i++) {
        kept[i] = 0;
        index[i] = 0;
    }
    for (int b = 0; b < bones; b++) {
        const float w = weights[b];
        if (!(w > 0))
            continue;
        if (n < 4) {
            kept[n] = w;
            index[n++] = uint8_t(b);
            continue;
        }
        if (!*warned) {
            console_printf("Warning: vertex with more than 4 bone influences in '%.900s'", name);
            *warned = 1;
        }
        int smallest = 0;
        for (int i = 1; i < 4; i++)
            if (kept[i] < kept[smallest])
                smallest = i;
        if (w > kept[smallest]) {
            kept[smallest] = w;
            index[smallest] = uint8_t(b);
        }
    }
    const float sum = kept[0] + kept[1] + kept[2] + kept[3];
    for (int i = 0; i < 4; i++)
        kept[i] = sum > 0 ? kept[i] / sum : 0.25f;
}

// Per-vertex tangents from the triangles' texture-coordinate derivatives, made
// perpendicular to the normal and of unit length.
void tangents_compute(Model *mesh)
{
    const int V = mesh->vertex_count;
    mesh->tangents = static_cast<float *>(xcalloc(size_t(V) * 3 + 1, sizeof(float)));
    for (int t = 0; t < mesh->triangle_count; t++) {
        const int *tri = mesh->indices + 3 * t;
        const float *p0 = mesh->positions + 3 * tri[0], *p1 = mesh->positions + 3 * tri[1],
                    *p2 = mesh->positions + 3 * tri[2];
        const float *t0 = mesh->uvs + 2 * tri[0], *t1 = mesh->uvs + 2 * tri[1],
                    *t2 = mesh->uvs + 2 * tri[2];
        const float du1 = t1[0] - t0[0], dv1 = t1[1] - t0[1];
        const float du2 = t2[0] - t0[0], dv2 = t2[1] - t0[1];
        const float det = du1 * dv2 - du2 * dv1;
        if (std::fabs(det) < 1e-12f)
            continue;
        const float r = 1.0f / det;
        float tangent[3];
        for (int c = 0; c < 3; c++)
            tangent[c] = ((p1[c] - p0[c]) * dv2 - (p2[c] - p0[c]) * dv1) * r;
        if (!finite_all(tangent, 3))
            continue;
        for (int k = 0; k < 3; k++)
            for (int c = 0; c < 3; c++)
                mesh->tangents[3 * tri[k] + c] += tangent[c];
    }
    for (int v = 0; v < V; v++) {
        float *t = mesh->tangents + 3 * v;
        const float *n = mesh->normals + 3 * v;
        const float nn = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
        if (nn > 0) {
            const float d = (t[0] * n[0] + t[1] * n[1] + t[2] * n[2]) / nn;
            for (int c = 0; c < 3; c++)
                t[c] -= d * n[c];
        }
        const float length = std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
        for (int c = 0; c < 3; c++)
            t[c] = length > 1e-12f && std::isfinite(length) ? t[c] / length : 0;
    }
}

// One mesh body after its header; null when it ends early or holds bad numbers.
Model *mesh_read(DataStream *stream, int V, int T, int bones, const char *name)
{
    if (V < 0 || V > MODEL_MAX_VERTICES || T < 0 || T > MODEL_MAX_TRIANGLES)
        return nullptr;
    std::vector<float> positions, normals, uvs, weights;
    std::vector<uint8_t> bone_index;
    std::vector<int> indices;
    std::vector<float> vertex_weights(static_cast<size_t>(bones));
    int warned = 0;
    for (int i = 0; i < V; i++) {
        float f[8];
        if (data_scan(stream, "%f %f %f %f %f %f %f %f", &f[0], &f[1], &f[2], &f[3], &f[4],
                      &f[5], &f[6], &f[7]) != 8 ||
            !finite_all(f, 8))
            return nullptr;
        positions.insert(positions.end(), f, f + 3);
        normals.insert(normals.end(), f + 3, f + 6);
        uvs.push_back(f[6]);
        uvs.push_back(1.0f - f[7]);
        if (bones > 0) {
            for (int b = 0; b < bones; b++)
                if (data_scan(stream, "%f", &vertex_weights[size_t(b)]) != 1 ||
                    !std::isfinite(vertex_weights[size_t(b)]))
                    return nullptr;
            float kept[4];
            uint8_t index[4];
            weights_keep(vertex_weights.data(), bones, kept, index, &warned, name);
            weights.insert(weights.end(), kept, kept + 4);
            bone_index.insert(bone_index.end(), index, index + 4);
        }
    }
    for (int i = 0; i < T; i++) {
        int t[3];
        if (data_scan(stream, "%d %d %d", &t[0], &t[1], &t[2]) != 3)
            return nullptr;
        for (int k = 0; k < 3; k++)
            if (t[k] < 0 || t[k] >= V)
                return nullptr;
        indices.insert(indices.end(), t, t + 3);
    }
    Model *mesh = static_cast<Model *>(xcalloc(1, sizeof(Model)));
    mesh->vertex_count = V;
    mesh->triangle_count = T;
    mesh->bone_count = bones;
    mesh->positions = copy_out(positions);
    mesh->normals = copy_out(normals);
    mesh->uvs = copy_out(uvs);
    mesh->indices = copy_out(indices);
    if (bones > 0) {
        mesh->bone_weights = copy_out(weights);
        mesh->bone_indices = copy_out(bone_index);
        mesh->skinned_positions = copy_out(positions);
        mesh->skinned_normals = copy_out(normals);
    }
    tangents_compute(mesh);
    mesh->name = name;
    return mesh;
}

void mesh_free(Model *mesh)
{
    free(mesh->positions);
    free(mesh->normals);
    free(mesh->skinned_positions);
    free(mesh->skinned_normals);
    free(mesh->uvs);
    free(mesh->tangents);
    free(mesh->bone_weights);
    free(mesh->bone_indices);
    free(mesh->indices);
    free(mesh);
}

Model *cache_find(const char *name)
{
    for (Model *model : models_state.models)
        if (strcmp(model->name, name) == 0)
            return model;
    for (Model *model : models_state.models)
        if (strcasecmp(model->name, name) == 0) {
            console_printf("Warning: case mismatch on '%.900s'", name);
            return model;
        }
    return nullptr;
}

struct LodFile {
    int number;         // lod_size is 2^number
    std::string name;   // data name to load
};

// Simpler versions of an "@" model: data names made of the name without its extension,
// "_lod", a number and the same extension (a trailing ".gz" dropped).
void lods_attach(Model *model, const char *name)
{
    const char *slash = strrchr(name, '/');
    const char *dot = strrchr(slash ? slash : name, '.');
    const std::string base(name + 1, dot ? size_t(dot - name - 1) : strlen(name + 1));
    const std::string extension = dot ? dot : "";
    const std::string prefix = base + "_lod";
    std::vector<LodFile> lods;
    int count = 0;
    const char *const *names = data_names(&count);
    for (int i = 0; names && i < count; i++) {
        std::string candidate = names[i];
        if (candidate.compare(0, prefix.size(), prefix) != 0)
            continue;
        if (candidate.size() > 3 && candidate.compare(candidate.size() - 3, 3, ".gz") == 0)
            candidate.resize(candidate.size() - 3);
        const char *digits = candidate.c_str() + prefix.size();
        char *rest = nullptr;
        const long number = strtol(digits, &rest, 10);
        if (!isdigit(static_cast<unsigned char>(*digits)) || number > 60 || extension != rest)
            continue;
        std::string lod_name = "@" + candidate;
        bool seen = false;
        for (const LodFile &lod : lods)
            seen = seen || lod.name == lod_name;
        if (!seen && lods.size() < size_t(MODEL_MAX_LODS))
            lods.push_back({int(number), lod_name});
    }
    std::stable_sort(lods.begin(), lods.end(),
                     [](const LodFile &a, const LodFile &b) { return a.number < b.number; });
    Model *last = model;
    for (const LodFile &lod : lods) {
        Model *simpler = model_load(lod.name.c_str());
        if (!simpler)
            continue;
        simpler->lod_size = std::ldexp(1.0f, lod.number);
        last->next_lod = simpler;
        last = simpler;
    }
}

void pov_block(DataStream *stream, const char *title, int count)
{
    data_printf(stream, "\t%s {\n\t\t%d\n", title, count);
}

}   // namespace

Model *model_read(DataStream *stream, const char *name)
{
    if (!stream)
        return nullptr;
    name = intern_string(name ? name : "");
    char j[2];
    int version = 0, bones = 0;
    Model *first = nullptr, *last = nullptr;
    if (data_scan(stream, " %1[J]", j) != 1) {
        int V = 0, T = 0;
        if (data_scan(stream, "%d %d", &V, &T) != 2)
            return nullptr;
        first = mesh_read(stream, V, T, 0, name);
        if (!first)
            return nullptr;
        first->material = 32;
        for (float &c : first->color)
            c = 1;
        return first;
    }
    if (data_scan(stream, "M%d", &version) != 1 || (version != 1 && version != 2))
        return nullptr;
    if (version == 2) {
        char word[1024];
        if (data_scan(stream, "%d %1023s", &bones, word) != 2 || bones < 0 ||
            bones > MODEL_MAX_BONES)
            return nullptr;
    }
    int reflective = 0;
    for (;;) {
        float header[5];
        int V = 0, T = 0;
        if (data_scan(stream, "%f %f %f %f %f %d %d", &header[0], &header[1], &header[2],
                      &header[3], &header[4], &V, &T) != 7 ||
            !finite_all(header, 5))
            break;
        Model *mesh = mesh_read(stream, V, T, bones, name);
        if (!mesh)
            break;
        mesh->material = header[0];
        mesh->color[0] = header[2];
        mesh->color[1] = header[3];
        mesh->color[2] = header[4];
        mesh->color[3] = header[0] < 0 ? header[1] : 1.0f;
        reflective = reflective || header[0] == MODEL_MATERIAL_REFLECTION;
        if (last)
            last->next_mesh = mesh;
        else
            first = mesh;
        last = mesh;
    }
    if (first)
        first->reflective = reflective;
    return first;
}

Model *model_load(const char *name)
{
    if (!name)
        return nullptr;
    DataStream *stream = data_open(name, "rb");
    if (!stream)
        return nullptr;
    Model *model = model_read(stream, name);
    data_close(stream);
    return model;
}

void model_free(Model *model)
{
    while (model) {
        Model *next_lod = model->next_lod;
        for (Model *mesh = model; mesh;) {
            Model *next = mesh->next_mesh;
            mesh_free(mesh);
            mesh = next;
        }
        model = next_lod;
    }
}

Model *model_get(const char *name)
{
    if (!name)
        return nullptr;
    if (Model *model = cache_find(name)) {
        if (model->generation != 0)
            model->generation = images_generation();
        return model;
    }
    Model *model = model_load(name);
    if (!model)
        return nullptr;
    model->generation = images_generation();
    if (name[0] == '@')
        lods_attach(model, name);
    models_state.models.push_back(model);
    return model;
}

const char *model_name(const Model *model)
{
    return model ? model->name : nullptr;
}

int models_purge()
{
    const int current = images_generation();
    int freed = 0;
    std::vector<Model *> kept;
    for (Model *model : models_state.models) {
        if (model->generation == 0 || model->generation == current) {
            kept.push_back(model);
            continue;
        }
        model_free(model);
        freed++;
    }
    models_state.models.swap(kept);
    return freed;
}

void models_clear()
{
    for (Model *model : models_state.models)
        model_free(model);
    models_state.models.clear();
}

const Model *model_choose_lod(const Model *model, float distance, float lod_scale,
                              float lod_bias)
{
    while (model && model->next_lod) {
        const float size = model->next_lod->lod_size - lod_bias;
        if (size > 0 && lod_scale * distance < size)
            break;
        model = model->next_lod;
    }
    return model;
}

void model_skin(Model *mesh, int count, const float *centres, const float *translations,
                const float *rotations)
{
    if (!mesh || !mesh->bone_weights || !mesh->skinned_positions)
        return;
    for (int v = 0; v < mesh->vertex_count; v++) {
        const float *p = mesh->positions + 3 * v, *n = mesh->normals + 3 * v;
        float out_p[3] = {0, 0, 0}, out_n[3] = {0, 0, 0};
        for (int k = 0; k < 4; k++) {
            const float w = mesh->bone_weights[4 * v + k];
            const int b = mesh->bone_indices[4 * v + k];
            if (w == 0 || b >= count)
                continue;
            const float *c = centres + 3 * b, *t = translations + 3 * b,
                        *R = rotations + 9 * b;
            const float d[3] = {p[0] - c[0], p[1] - c[1], p[2] - c[2]};
            for (int r = 0; r < 3; r++) {
                out_p[r] += w * (R[3 * r] * d[0] + R[3 * r + 1] * d[1] + R[3 * r + 2] * d[2] +
                                 t[r]);
                out_n[r] += w * (R[3 * r] * n[0] + R[3 * r + 1] * n[1] + R[3 * r + 2] * n[2]);
            }
        }
        memcpy(mesh->skinned_positions + 3 * v, out_p, sizeof out_p);
        memcpy(mesh->skinned_normals + 3 * v, out_n, sizeof out_n);
    }
}

int model_write_pov(const Model *model, DataStream *stream)
{
    if (!model || !stream)
        return 0;
    for (const Model *mesh = model; mesh; mesh = mesh->next_mesh) {
        const int V = mesh->vertex_count, T = mesh->triangle_count;
        data_printf(stream, "mesh2 {\n");
        pov_block(stream, "vertex_vectors", V);
        for (int i = 0; i < V; i++)
            data_printf(stream, "\t\t<%f,%f,%f>%s\n", mesh->positions[3 * i],
                        mesh->positions[3 * i + 1], mesh->positions[3 * i + 2],
                        i + 1 < V ? "," : "");
        data_printf(stream, "\t}\n");
        pov_block(stream, "normal_vectors", V);
        for (int i = 0; i < V; i++)
            data_printf(stream, "\t\t<%f,%f,%f>%s\n", mesh->normals[3 * i],
                        mesh->normals[3 * i + 1], mesh->normals[3 * i + 2],
                        i + 1 < V ? "," : "");
        data_printf(stream, "\t}\n");
        pov_block(stream, "uv_vectors", V);
        for (int i = 0; i < V; i++)
            data_printf(stream, "\t\t<%f,%f>%s\n", mesh->uvs[2 * i], mesh->uvs[2 * i + 1],
                        i + 1 < V ? "," : "");
        data_printf(stream, "\t}\n");
        pov_block(stream, "face_indices", T);
        for (int i = 0; i < T; i++)
            data_printf(stream, "\t\t<%d,%d,%d>%s\n", mesh->indices[3 * i],
                        mesh->indices[3 * i + 1], mesh->indices[3 * i + 2],
                        i + 1 < T ? "," : "");
        data_printf(stream, "\t}\n}\n");
    }
    return 1;
}

// Models and collision shapes. Models are written in the versioned ".jm" form: per mesh a
// material line (shininess, alpha, colour), vertices with normals and texture coordinates
// (v runs up the picture) and triangles. Shapes are short lists of spheres.
#include "models.h"

#include <cmath>
#include <string>
#include <vector>

#include "assets.h"
#include "gen.h"

namespace {

struct Sphere {
    float x, y, z;       // centre in the body's frame, ft
    float radius;        // ft
    float friction;      // mu
    float stiffness;     // lbf/ft
    float damping;       // lbf s/ft
};

// The text of a ".shp" file: the count, then seven numbers per sphere.
std::string shape_text(const std::vector<Sphere> &spheres)
{
    std::string out = gen_format("%d\n", (int)spheres.size());
    for (const Sphere &s : spheres)
        out += gen_format("%.4f %.4f %.4f %.4f %.3f %.1f %.1f\n", s.x, s.y, s.z, s.radius,
                          s.friction, s.stiffness, s.damping);
    return out;
}

struct Vertex {
    float p[3], n[3], uv[2];
};

struct Mesh {
    float material;       // specular shininess
    float color[3];
    std::vector<Vertex> vertices;
    std::vector<int> triangles;
};

void quad(Mesh *m, const float a[3], const float b[3], const float c[3], const float d[3],
          const float n[3], float u0, float v0, float u1, float v1)
{
    int base = (int)m->vertices.size();
    const float *corners[4] = {a, b, c, d};
    const float uvs[4][2] = {{u0, v0}, {u1, v0}, {u1, v1}, {u0, v1}};
    for (int i = 0; i < 4; i++) {
        Vertex v = {{corners[i][0], corners[i][1], corners[i][2]}, {n[0], n[1], n[2]},
                    {uvs[i][0], uvs[i][1]}};
        m->vertices.push_back(v);
    }
    for (int t : {0, 1, 2, 0, 2, 3})
        m->triangles.push_back(base + t);
}

// A box from (x0, y0, z0) to (x1, y1, z1); the picture repeats every `repeat` ft.
void box(Mesh *m, float x0, float y0, float z0, float x1, float y1, float z1, float repeat)
{
    float r = 1 / repeat;
    const float p[8][3] = {{x0, y0, z0}, {x1, y0, z0}, {x1, y1, z0}, {x0, y1, z0},
                           {x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}};
    const float nx[3] = {1, 0, 0}, mx[3] = {-1, 0, 0}, ny[3] = {0, 1, 0}, my[3] = {0, -1, 0};
    const float nz[3] = {0, 0, 1}, mz[3] = {0, 0, -1};
    quad(m, p[4], p[5], p[6], p[7], nz, x0 * r, y0 * r, x1 * r, y1 * r);   // +z
    quad(m, p[1], p[0], p[3], p[2], mz, x0 * r, y0 * r, x1 * r, y1 * r);   // -z
    quad(m, p[5], p[1], p[2], p[6], nx, z0 * r, y0 * r, z1 * r, y1 * r);   // +x
    quad(m, p[0], p[4], p[7], p[3], mx, z0 * r, y0 * r, z1 * r, y1 * r);   // -x
    quad(m, p[7], p[6], p[2], p[3], ny, x0 * r, z0 * r, x1 * r, z1 * r);   // top
    quad(m, p[0], p[1], p[5], p[4], my, x0 * r, z0 * r, x1 * r, z1 * r);   // bottom
}

// An upright cylinder (axis y) with a top cap: the picture wraps once round it.
void cylinder(Mesh *m, float cx, float cz, float radius, float y0, float y1, int sides)
{
    int base = (int)m->vertices.size();
    for (int i = 0; i <= sides; i++) {
        float a = 6.2831853f * i / sides, c = cosf(a), s = sinf(a);
        for (int k = 0; k < 2; k++) {
            Vertex v = {{cx + c * radius, k ? y1 : y0, cz + s * radius}, {c, 0, s},
                        {(float)i / sides, k ? 1.0f : 0.0f}};
            m->vertices.push_back(v);
        }
    }
    for (int i = 0; i < sides; i++) {
        int a = base + 2 * i;
        for (int t : {0, 1, 3, 0, 3, 2})
            m->triangles.push_back(a + t);
    }
    int centre = (int)m->vertices.size();
    m->vertices.push_back({{cx, y1, cz}, {0, 1, 0}, {0.5f, 0.5f}});
    for (int i = 0; i <= sides; i++) {
        float a = 6.2831853f * i / sides;
        m->vertices.push_back({{cx + cosf(a) * radius * 0.55f, y1, cz + sinf(a) * radius * 0.55f},
                               {0, 1, 0},
                               {0.5f + 0.25f * cosf(a), 0.5f + 0.25f * sinf(a)}});
    }
    for (int i = 0; i < sides; i++) {
        m->triangles.push_back(centre);
        m->triangles.push_back(centre + 2 + i);
        m->triangles.push_back(centre + 1 + i);
    }
}

std::string model_text(const std::vector<Mesh> &meshes)
{
    std::string out = "JM1\n";
    for (const Mesh &m : meshes) {
        out += gen_format("%g 1 %g %g %g %d %d\n", m.material, m.color[0], m.color[1],
                          m.color[2], (int)m.vertices.size(), (int)m.triangles.size() / 3);
        for (const Vertex &v : m.vertices)
            out += gen_format("%.4f %.4f %.4f %.4f %.4f %.4f %.4f %.4f\n", v.p[0], v.p[1], v.p[2],
                              v.n[0], v.n[1], v.n[2], v.uv[0], v.uv[1]);
        for (size_t t = 0; t < m.triangles.size(); t += 3)
            out += gen_format("%d %d %d\n", m.triangles[t], m.triangles[t + 1], m.triangles[t + 2]);
    }
    return out;
}

void write_model(const char *name, const std::vector<Mesh> &meshes)
{
    gen_write_text(name + 1, model_text(meshes));   // the home tree holds the name after '@'
}

void write_shape(const char *name, const std::vector<Sphere> &spheres)
{
    gen_write_text(name + 1, shape_text(spheres));
}

// Objects stand on the ground at y = 0 with their length along x.
void statue_models()
{
    Mesh hay = {8, {1, 1, 1}, {}, {}};
    box(&hay, -2.0f, 0, -0.9f, 2.0f, 1.5f, 0.9f, 2.0f);
    write_model(HAY_MODEL, {hay});
    write_shape(HAY_SHAPE, {{-1.2f, 0.75f, 0, 0.85f, 0.8f, 3000, 300},
                            {0, 0.75f, 0, 0.85f, 0.8f, 3000, 300},
                            {1.2f, 0.75f, 0, 0.85f, 0.8f, 3000, 300}});

    Mesh tuff = {24, {1, 1, 1}, {}, {}};
    box(&tuff, -2.5f, 0, -1.0f, 2.5f, 1.8f, 1.0f, 2.5f);
    write_model(TUFF_MODEL, {tuff});
    std::vector<Sphere> tuff_spheres;
    for (float x : {-1.6f, -0.53f, 0.53f, 1.6f})
        tuff_spheres.push_back({x, 0.9f, 0, 0.95f, 0.6f, 8000, 400});
    write_shape(TUFF_SHAPE, tuff_spheres);

    Mesh tyres = {4, {1, 1, 1}, {}, {}};
    for (int i = 0; i < 3; i++)
        cylinder(&tyres, 0, 0, 1.3f, i * 0.75f, i * 0.75f + 0.72f, 16);
    write_model(TYRE_MODEL, {tyres});
    write_shape(TYRE_SHAPE, {{0, 0.6f, 0, 1.25f, 0.9f, 4000, 500},
                             {0, 1.6f, 0, 1.25f, 0.9f, 4000, 500}});

    // The start gate: a plate across the start place that the front wheel rests against,
    // on two posts and a foot bar; the rider faces -z.
    Mesh gate = {16, {1, 1, 1}, {}, {}};
    box(&gate, -1.55f, 0.15f, -0.06f, 1.55f, 1.85f, 0.06f, 3.1f);
    box(&gate, -1.62f, 0, -0.08f, -1.5f, 2.0f, 0.08f, 2.0f);
    box(&gate, 1.5f, 0, -0.08f, 1.62f, 2.0f, 0.08f, 2.0f);
    box(&gate, -1.62f, 0, 0.08f, 1.62f, 0.15f, 0.6f, 3.2f);
    write_model(STARTGATE_MODEL, {gate});
    std::vector<Sphere> gate_spheres;
    for (float y : {0.55f, 1.35f})
        for (float x : {-1.15f, -0.38f, 0.38f, 1.15f})
            gate_spheres.push_back({x, y, 0, 0.4f, 0.5f, 20000, 1000});
    write_shape(STARTGATE_SHAPE, gate_spheres);
}

// The seven bike part shapes in each part's own frame. Rest positions of the shared chassis
// (ft): frame centre (0, 1.98, 3.6), fork upper (0, 2.9, 2.16), fork lower (0, 1.77, 1.59),
// swingarm centre (0, 1.34, 4.99) with its pivot at (0, 1.58, 4.17), front wheel
// (0, 1.09, 1.11), rear wheel (0, 1.04, 6.0), rider torso (0, 4.5, 4.12).
struct Part {
    const char *name;
    float origin[3];
};

std::vector<Sphere> relative(const Part &part, std::vector<Sphere> world)
{
    for (Sphere &s : world) {
        s.x -= part.origin[0];
        s.y -= part.origin[1];
        s.z -= part.origin[2];
    }
    return world;
}

void bike_shapes()
{
    const float MU = 0.5f, K = 2500, C = 120;
    Part frame = {"@generic_frame.shp", {0, 1.98f, 3.6f}};
    write_shape(frame.name, relative(frame, {
        {0, 2.75f, 2.3f, 0.3f, MU, K, C},        // steering head
        {0, 3.0f, 3.0f, 0.4f, MU, K, C},         // tank
        {0, 3.05f, 3.85f, 0.35f, MU, K, C},      // seat
        {0, 3.12f, 4.85f, 0.3f, MU, K, C},       // seat, rear
        {0, 3.15f, 5.8f, 0.25f, MU, K, C},       // rear fender
        {0, 1.75f, 3.4f, 0.55f, MU, K, C},       // engine
        {0, 1.2f, 3.5f, 0.35f, 0.3f, K, C},      // skid plate
        {-0.45f, 2.6f, 2.8f, 0.3f, MU, K, C},    // radiator shrouds
        {0.45f, 2.6f, 2.8f, 0.3f, MU, K, C},
        {-0.72f, 1.43f, 4.18f, 0.14f, 0.4f, K, C},   // foot pegs
        {0.72f, 1.43f, 4.18f, 0.14f, 0.4f, K, C},
        {0.42f, 2.45f, 5.5f, 0.22f, MU, K, C},   // silencer
    }));
    Part upper = {"@generic_fork_upper.shp", {0, 2.9f, 2.16f}};
    write_shape(upper.name, relative(upper, {
        {0, 2.9f, 2.16f, 0.3f, MU, K, C},                   // triple clamps
        {-1.097f, 4.045f, 2.913f, 0.16f, MU, K, C},         // bar ends at the grips
        {1.097f, 4.045f, 2.913f, 0.16f, MU, K, C},
        {0, 4.0f, 2.86f, 0.22f, MU, K, C},                  // bar clamp
        {0, 3.05f, 1.65f, 0.32f, MU, K, C},                 // number plate
        {0, 2.4f, 1.75f, 0.3f, MU, K, C},                   // front fender
    }));
    Part lower = {"@generic_fork_lower.shp", {0, 1.77f, 1.59f}};
    write_shape(lower.name, relative(lower, {
        {-0.42f, 1.77f, 1.59f, 0.18f, MU, K, C},            // fork legs
        {0.42f, 1.77f, 1.59f, 0.18f, MU, K, C},
        {-0.42f, 1.15f, 1.16f, 0.16f, MU, K, C},            // axle lugs
        {0.42f, 1.15f, 1.16f, 0.16f, MU, K, C},
    }));
    Part arm = {"@generic_swingarm.shp", {0, 1.34f, 4.99f}};
    std::vector<Sphere> arm_spheres;
    for (float t : {0.15f, 0.55f, 0.95f}) {
        float y = 1.58f + (1.04f - 1.58f) * t, z = 4.17f + (6.0f - 4.17f) * t;
        arm_spheres.push_back({-0.36f, y, z, 0.16f, MU, K, C});
        arm_spheres.push_back({0.36f, y, z, 0.16f, MU, K, C});
    }
    write_shape(arm.name, relative(arm, arm_spheres));
    // Wheels: spheres round the tyre, in the wheel's plane (y-z).
    const struct {
        const char *name;
        float centre[3];
        float ring;
    } wheels[] = {{"@front_wheel.shp", {0, 1.09f, 1.11f}, 0.8333333f},
                  {"@rear_wheel.shp", {0, 1.04f, 6.0f}, 0.75f}};
    for (const auto &w : wheels) {
        std::vector<Sphere> spheres;
        for (int i = 0; i < 8; i++) {
            float a = 6.2831853f * i / 8;
            spheres.push_back({0, w.ring * sinf(a), w.ring * cosf(a), 0.3333333f, 0.9f, K, C});
        }
        write_shape(w.name, spheres);
    }
    Part rider = {"@generic_rider.shp", {0, 4.5f, 4.12f}};
    const float R = 0.6f;
    write_shape(rider.name, {
        {0, 0.808383f, -0.943369f, 0.45f, R, K, C},         // helmet
        {0, 0, 0, 0.6f, R, K, C},                           // torso
        {0, 0.45f, -0.5f, 0.5f, R, K, C},                   // chest
        {0, -0.570887f, 0.670607f, 0.5f, R, K, C},          // hips
        {-0.556f, 0.580375f, -0.654514f, 0.28f, R, K, C},   // shoulders
        {0.556f, 0.580375f, -0.654514f, 0.28f, R, K, C},
    });
}

}   // namespace

void models_write_all()
{
    statue_models();
    bike_shapes();
}

// Tyre and ground: the torus-triangle contact search over the chessboard triangles, the soft
// tyre contact that stiffens with the cube of its squash, rolling resistance, the air-spring
// fork and the linkage shock, roost and ruts.
#include "bike/contact.h"

#include <cmath>
#include <cstring>

#include "bike/bike_local.h"
#include "bike/particles.h"
#include "common/mt19937.h"
#include "track/terrain.h"

namespace {

struct ContactState {
    int roost_frequency;     // 0..1000
    int default_ready;
    Surface default_surface; // for a terrain without surface types
};
ContactState contact_state = {100, 0, {}};

Vec3 grid_point(const Terrain *t, int c, int r) {
    int s = t->grid_size;
    int cc = c < 0 ? 0 : (c > s - 1 ? s - 1 : c);
    int rr = r < 0 ? 0 : (r > s - 1 ? s - 1 : r);
    return vec3((float)c * t->spacing, t->heights[rr * s + cc], (float)r * t->spacing);
}

// Calls visit(p0, p1, p2) for both triangles of every cell under the square of half-size
// half around (x, z): rows outer, columns inner, split like the height query.
template <typename F>
void ground_triangles(const Terrain *t, float x, float z, float half, F visit) {
    float sp = t->spacing;
    int c0 = (int)floorf((x - half) / sp), c1 = (int)ceilf((x + half) / sp) - 1;
    int r0 = (int)floorf((z - half) / sp), r1 = (int)ceilf((z + half) / sp) - 1;
    for (int j = r0; j <= r1; j++) {
        for (int i = c0; i <= c1; i++) {
            int d = ((i ^ j) & 1) == 0 ? 1 : 0;
            visit(grid_point(t, i, j), grid_point(t, i, j + 1), grid_point(t, i + 1, j + d));
            visit(grid_point(t, i + 1, j + 1), grid_point(t, i + 1, j), grid_point(t, i, j + 1 - d));
        }
    }
}

// Squared distance from p to the box around the triangle: no point of the triangle is nearer.
float box_distance_sq(Vec3 p, Vec3 p0, Vec3 p1, Vec3 p2) {
    float lo = fminf(p0.x, fminf(p1.x, p2.x)), hi = fmaxf(p0.x, fmaxf(p1.x, p2.x));
    float dx = p.x < lo ? lo - p.x : (p.x > hi ? p.x - hi : 0);
    lo = fminf(p0.y, fminf(p1.y, p2.y));
    hi = fmaxf(p0.y, fmaxf(p1.y, p2.y));
    float dy = p.y < lo ? lo - p.y : (p.y > hi ? p.y - hi : 0);
    lo = fminf(p0.z, fminf(p1.z, p2.z));
    hi = fmaxf(p0.z, fmaxf(p1.z, p2.z));
    float dz = p.z < lo ? lo - p.z : (p.z > hi ? p.z - hi : 0);
    return dx * dx + dy * dy + dz * dz;
}

Vec3 triangle_normal(Vec3 p0, Vec3 p1, Vec3 p2) {
    Vec3 n = vec_cross(p1 - p0, p2 - p0);
    if (n.y < 0) n = -n;
    return vec_normalize(n);
}

// 1 when the projection of q along n lies inside the triangle.
int inside_triangle(Vec3 q, Vec3 p0, Vec3 p1, Vec3 p2, Vec3 n) {
    float s0 = vec_dot(vec_cross(p1 - p0, q - p0), n);
    float s1 = vec_dot(vec_cross(p2 - p1, q - p1), n);
    float s2 = vec_dot(vec_cross(p0 - p2, q - p2), n);
    return (s0 >= 0 && s1 >= 0 && s2 >= 0) || (s0 <= 0 && s1 <= 0 && s2 <= 0);
}

Vec3 segment_closest(Vec3 a, Vec3 b, Vec3 p) {
    Vec3 ab = b - a;
    float len = vec_dot(ab, ab);
    float t = len > 0 ? clampf(vec_dot(p - a, ab) / len, 0, 1) : 0;
    return a + ab * t;
}

Vec3 triangle_closest(Vec3 p, Vec3 p0, Vec3 p1, Vec3 p2, Vec3 n) {
    Vec3 q = p - n * vec_dot(p - p0, n);
    if (inside_triangle(q, p0, p1, p2, n)) return q;
    Vec3 best = segment_closest(p0, p1, p);
    Vec3 e = segment_closest(p1, p2, p);
    if (vec_length_sq(e - p) < vec_length_sq(best - p)) best = e;
    e = segment_closest(p2, p0, p);
    if (vec_length_sq(e - p) < vec_length_sq(best - p)) best = e;
    return best;
}

// Closest point of the circle (centre c, unit axis a, radius r) to p.
Vec3 circle_closest(Vec3 c, Vec3 a, float r, Vec3 p) {
    Vec3 v = p - c;
    v = v - a * vec_dot(a, v);
    float len = vec_length(v);
    if (len < 1e-9f) {
        Vec3 any = fabsf(a.x) < 0.9f ? vec3(1, 0, 0) : vec3(0, 1, 0);
        v = vec_cross(a, any);
        len = vec_length(v);
    }
    return c + v * (r / len);
}

struct Penetration {
    Vec3 point, normal;
    float depth;
};

// Closest approach of the core circle to one edge, by alternating closest points from
// three starts along the edge.
void circle_edge(Vec3 c, Vec3 a, float ring, Vec3 e0, Vec3 e1, Vec3 *circle_pt, Vec3 *edge_pt,
                 float *dist_sq) {
    Vec3 ab = e1 - e0;
    float len = vec_dot(ab, ab);
    for (int start = 0; start < 3; start++) {
        Vec3 s = e0 + ab * (0.5f * (float)start);
        Vec3 q = circle_closest(c, a, ring, s);
        for (int it = 0; it < 12; it++) {
            float t = len > 0 ? clampf(vec_dot(q - e0, ab) / len, 0, 1) : 0;
            s = e0 + ab * t;
            q = circle_closest(c, a, ring, s);
        }
        float d = vec_length_sq(q - s);
        if (d < *dist_sq) {
            *dist_sq = d;
            *circle_pt = q;
            *edge_pt = s;
        }
    }
}

// Torus against one triangle with upward unit normal n; depth <= 0 means no penetration. An
// edge contact no deeper than beat (>= 0) may be reported as no penetration.
Penetration torus_triangle(Vec3 c, Vec3 a, float ring, float tube, Vec3 p0, Vec3 p1, Vec3 p2,
                           Vec3 n, float beat) {
    Penetration out = {c, vec3(0, 1, 0), 0};
    Vec3 w = n - a * vec_dot(a, n);   // a x n x a: the in-plane direction of the normal
    float wl = vec_length(w);
    if (wl < 1e-6f) {
        Vec3 q = c;
        if (inside_triangle(q, p0, p1, p2, n)) {
            out.point = q;
            out.depth = 2 * ring;
        }
        return out;
    }
    Vec3 q = c - w * (ring / wl);     // the core point deepest towards the triangle
    if (inside_triangle(q, p0, p1, p2, n)) {
        float above = vec_dot(q - p0, n);
        out.normal = n;
        out.point = q - n * tube;
        out.depth = tube - above;
        return out;
    }
    // Where the core circle crosses the triangle's plane inside it, it cuts the triangle.
    Vec3 u = w * (1.0f / wl);
    Vec3 v = vec_cross(a, u);
    float h = vec_dot(c - p0, n);     // centre above the plane
    float un = vec_dot(u, n), vn = vec_dot(v, n);
    float amp = sqrtf(un * un + vn * vn) * ring;
    if (amp > fabsf(h) && amp > 0) {
        float phi = atan2f(vn, un), alpha = acosf(clampf(-h / amp, -1, 1));
        for (int k = -1; k <= 1; k += 2) {
            float th = phi + (float)k * alpha;
            Vec3 x = c + (u * cosf(th) + v * sinf(th)) * ring;
            if (inside_triangle(x, p0, p1, p2, n)) {
                out.normal = n;
                out.point = x - n * tube;
                out.depth = tube - 1.0f / 1048576.0f;
                return out;
            }
        }
    }
    Vec3 cp = c, tp = p0;
    float best = 1e30f;
    const Vec3 edges[3][2] = {{p0, p1}, {p1, p2}, {p2, p0}};
    // An edge whose contact could be no deeper than beat is put off, and searched only when
    // a later edge's test needs what it would have found.
    int put_off[3], put_off_count = 0;
    float put_off_floor = 1e30f;
    for (int k = 0; k < 3; k++) {
        const Vec3 *e = edges[k];
        // Only an edge that passes within ring + tube of the centre can touch the tyre.
        float near = vec_length(c - segment_closest(e[0], e[1], c)) - ring;
        if (!(near < tube && near * near < best)) continue;
        if (put_off_count > 0 && near * near >= put_off_floor) {
            for (int i = 0; i < put_off_count; i++)
                circle_edge(c, a, ring, edges[put_off[i]][0], edges[put_off[i]][1], &cp, &tp, &best);
            put_off_count = 0;
            put_off_floor = 1e30f;
            if (!(near * near < best)) continue;
        }
        // Every point of the edge is at least side from the wheel's plane.
        float s0 = vec_dot(e[0] - c, a), s1 = vec_dot(e[1] - c, a);
        float side = s0 * s1 <= 0 ? 0 : fminf(fabsf(s0), fabsf(s1));
        if (side * side >= best) continue;
        float least = fmaxf(near, side);
        if (least >= tube - beat) {
            put_off[put_off_count++] = k;
            put_off_floor = fminf(put_off_floor, least * least);
            continue;
        }
        circle_edge(c, a, ring, e[0], e[1], &cp, &tp, &best);
    }
    float dist = sqrtf(best);
    if (dist >= tube) return out;
    out.normal = dist > 1e-9f ? (cp - tp) * (1.0f / dist) : n;
    out.point = cp - out.normal * tube;
    out.depth = tube - dist;
    return out;
}

// A downward normal keeps only its horizontal part (or becomes straight up).
Vec3 fix_normal(Vec3 n) {
    if (n.y < 0) {
        if (n.x * n.x + n.z * n.z >= 1.0f / 1024.0f) n.y = 0;
        else n = vec3(0, 1, 0);
    }
    return vec_normalize(n);
}

float random_unit() { return (float)(mt_next() >> 8) * (1.0f / 16777216.0f); }

Vec3 rotate_about(Vec3 p, Vec3 centre, Vec3 axis, float angle) {
    Vec3 v = p - centre;
    float c = cosf(angle), s = sinf(angle);
    Vec3 r = v * c + vec_cross(axis, v) * s + axis * (vec_dot(axis, v) * (1 - c));
    return centre + r;
}

}  // namespace

const Surface *surface_under(const Terrain *terrain, float x, float z) {
    if (terrain && terrain->surface_count > 0) return &terrain->surfaces[surface_at(terrain, x, z)];
    if (!contact_state.default_ready) {
        surface_defaults(&contact_state.default_surface);
        contact_state.default_ready = 1;
    }
    return &contact_state.default_surface;
}

int wheel_find_contact(const Terrain *terrain, WheelContact *wheel) {
    if (!terrain || !terrain->heights) return 0;
    Vec3 c = body_pos(wheel->body);
    Vec3 a = vec_normalize(body_to_world(wheel->body, wheel->axle));
    float outer = wheel->ring_radius + wheel->tube_radius;
    Penetration best = {c, vec3(0, 1, 0), 0};
    ground_triangles(terrain, c.x, c.z, outer, [&](Vec3 p0, Vec3 p1, Vec3 p2) {
        // Every point of the core circle lies within ring_radius of the centre: a triangle
        // farther than that plus what it would take to beat the best cannot win. Its box
        // tells the far ones cheaply.
        float limit = wheel->tube_radius - best.depth + wheel->ring_radius;
        if (limit <= 0 || box_distance_sq(c, p0, p1, p2) >= limit * limit) return;
        Vec3 n = triangle_normal(p0, p1, p2);
        float reach = vec_length(c - triangle_closest(c, p0, p1, p2, n)) - wheel->ring_radius;
        if (wheel->tube_radius - reach <= best.depth) return;
        Penetration p = torus_triangle(c, a, wheel->ring_radius, wheel->tube_radius, p0, p1, p2,
                                       n, best.depth);
        if (p.depth > best.depth) best = p;
    });
    if (!(best.depth > 0)) return 0;
    wheel->contact_point = best.point;
    wheel->contact_normal = fix_normal(best.normal);
    wheel->depth = best.depth;
    return 1;
}

int sphere_ground(const Terrain *terrain, Vec3 centre, float radius, Vec3 *point,
                  Vec3 *normal, float *depth) {
    if (!terrain || !terrain->heights) return 0;
    float best = 0;
    Vec3 bp = centre, bn = vec3(0, 1, 0);
    ground_triangles(terrain, centre.x, centre.z, radius, [&](Vec3 p0, Vec3 p1, Vec3 p2) {
        // A sphere that clears the triangle's highest corner does not reach it, nor is its
        // centre under the face.
        if (centre.y - radius >= fmaxf(p0.y, fmaxf(p1.y, p2.y))) return;
        Vec3 n = triangle_normal(p0, p1, p2);
        Vec3 q = triangle_closest(centre, p0, p1, p2, n);
        Vec3 d = centre - q;
        float dist = vec_length(d);
        // A centre that sank under a face still pushes out along its normal. Only under the
        // face itself: beside a steep face a centre on the ground above lies behind that
        // face's plane too, and is not in the ground.
        float height = vec_dot(centre - p0, n);
        int below = height < 0 && inside_triangle(centre - n * height, p0, p1, p2, n);
        float pen = below ? radius + dist : radius - dist;
        if (pen > best) {
            best = pen;
            bp = q;
            bn = below || dist < 1e-9f ? n : d * (1.0f / dist);
        }
    });
    if (!(best > 0)) return 0;
    *point = bp;
    *normal = fix_normal(bn);
    *depth = best;
    return 1;
}

int wheel_contact(const Terrain *terrain, WheelContact *wheel, float friction_scale) {
    if (!wheel_find_contact(terrain, wheel)) {
        wheel->depth = 0;
        return 0;
    }
    wheel->slip_velocity = body_point_vel(wheel->body, wheel->contact_point);
    const Surface *surface = surface_under(terrain, wheel->contact_point.x, wheel->contact_point.z);
    float mu = surface_friction(surface, vec_length_sq(wheel->slip_velocity));

    float p = fminf(1.0f, wheel->depth / wheel->tube_radius);
    float q = p * p * p;
    float k = 24000 * q + 1000, c = 2300 * q + 200;

    dContact ct;
    memset(&ct, 0, sizeof ct);
    ct.surface.mode = dContactSoftERP | dContactSoftCFM | dContactApprox1;
    ct.surface.mu = mu * friction_scale;
    ct.surface.soft_erp = soft_erp(k, c);
    ct.surface.soft_cfm = soft_cfm(k, c);
    Vec3 n = wheel->contact_normal;
    ct.geom.pos[0] = wheel->contact_point.x;
    ct.geom.pos[1] = wheel->contact_point.y;
    ct.geom.pos[2] = wheel->contact_point.z;
    ct.geom.normal[0] = n.x;
    ct.geom.normal[1] = n.y;
    ct.geom.normal[2] = n.z;
    ct.geom.depth = wheel->depth;
    Vec3 dir = vec_cross(n, wheel->slip_velocity);
    if (vec_length_sq(dir) < 1.0f / 1024.0f) dir = vec_cross(n, body_to_world(wheel->body, wheel->axle));
    if (vec_length_sq(dir) > 0) {
        dir = vec_normalize(dir);
        ct.surface.mode |= dContactFDir1;
        ct.fdir1[0] = dir.x;
        ct.fdir1[1] = dir.y;
        ct.fdir1[2] = dir.z;
    }
    dJointID j = dJointCreateContact(physics_world(), physics_contacts(), &ct);
    dJointAttach(j, wheel->body, 0);
    dJointSetFeedback(j, &wheel->feedback);

    Vec3 v = body_vel(wheel->body);
    v = v - n * vec_dot(v, n);
    float speed = vec_length(v);
    RollResist rr = surface_roll_resist(surface, speed);
    float resistance = rr.low + (rr.high - rr.low) * p;
    Vec3 f = speed > 1 ? v * (-resistance / speed) : v * -resistance;
    dBodyAddForce(wheel->body, f.x, f.y, f.z);
    return 1;
}

// ---- Suspension ----

float fork_force(const Bike *bike, float x, float v) {
    float c = v >= 0 ? bike->fork_rebound : bike->fork_compression;
    float travel = bike->model.fork_travel;
    float l0 = travel + bike->fork_air_gap;
    float s = fminf(fmaxf(-x, 0), travel);
    float air = 82.46169f * (powf(l0 / (l0 - s), 1.4f) - 1);
    float f = air + (bike->fork_preload - x) * bike->fork_spring - c * v;
    // The force fades in over the first 1/32 of the travel.
    float g = -32 * x / travel;
    if (g < 0) return 0;
    return f * fminf(g, 1);
}

float shock_torque(const Bike *bike, float a, float w) {
    float l = bike->model.swingarm_travel;
    float r0 = bike->model.linkage[0], r1 = bike->model.linkage[1];
    float u = -a / l;
    float ratio = r0 + (r1 - r0) * u / l;
    float displacement = r0 * u + (r1 - r0) * u * u / (2 * l);
    float d = w >= 0 ? -w * bike->shock_rebound : -w * bike->shock_compression;
    float t = d * ratio * ratio + (displacement + bike->shock_preload) * bike->shock_spring * ratio;
    float g = a / (-l / 32);
    return t * clampf(g, 0, 1);
}

void suspension_step(Bike *bike) {
    dJointID fork = bike->joint[JOINT_FORK_SLIDER];
    float f = fork_force(bike, (float)dJointGetSliderPosition(fork), (float)dJointGetSliderPositionRate(fork));
    dJointSetSliderParam(fork, dParamVel, f >= 0 ? 100 : 0);
    dJointSetSliderParam(fork, dParamFMax, fabsf(f));

    dJointID pivot = bike->joint[JOINT_SWINGARM_PIVOT];
    float t = shock_torque(bike, (float)dJointGetHingeAngle(pivot), (float)dJointGetHingeAngleRate(pivot));
    dJointSetHingeParam(pivot, dParamVel, t >= 0 ? 100 : 0);
    dJointSetHingeParam(pivot, dParamFMax, fabsf(t));
}

// ---- Roost ----

void roost_set_frequency(int frequency) {
    contact_state.roost_frequency = frequency < 0 ? 0 : (frequency > 1000 ? 1000 : frequency);
}
int roost_frequency() { return contact_state.roost_frequency; }

void roost_emit(Bike *bike, int remote) {
    int n = contact_state.roost_frequency;
    int cap = n / 100;
    if ((int)(mt_next() % 100) < n % 100) cap++;
    if (cap == 0) return;
    const Terrain *terrain = physics_terrain();
    const float dt = STEP_F;
    for (int w = 0; w < 2; w++) {
        WheelContact *wc = &bike->wheel[w];
        float spread = w == 0 ? 0.3926991f : 2 * PI_F;
        if (remote) {
            if (wheel_find_contact(terrain, wc)) wc->slip_velocity = body_point_vel(wc->body, wc->contact_point);
            else wc->depth = 0;
        }
        if (!(wc->depth > 0)) continue;
        const Surface *surface = surface_under(terrain, wc->contact_point.x, wc->contact_point.z);
        Vec3 omega = body_avel(wc->body);
        Vec3 centre = body_pos(wc->body);
        Vec3 v = body_vel(wc->body);
        Vec3 axis = vec_normalize(body_to_world(wc->body, wc->axle));
        for (int s = 0; s < SURFACE_ROOST_SLOTS; s++) {
            const RoostType *rt = &surface->roost[s];
            if (rt->kind == 0) break;
            int m = (int)floorf(rt->count);
            if (random_unit() < rt->count - floorf(rt->count)) m++;
            if (m > cap) m = cap;
            if (m <= 0) continue;
            if (rt->kind == 2) {
                Vec3 nn = wc->contact_normal;
                Vec3 vt = v - nn * vec_dot(v, nn);
                float l = vec_length(vt);
                if (!(l > 0)) continue;
                Vec3 d = vt * (1.0f / l);
                Vec3 e = vec_cross(nn, d);
                Vec3 vp = (nn + e) * (l * 0.70710677f), vm = (nn - e) * (l * 0.70710677f);
                for (int i = 0; i < m; i++) {
                    Vec3 throw_v = ((physics_step_count() ^ i) & 1) == 0 ? vp : vm;
                    Vec3 pos = wc->contact_point + throw_v * ((float)i * dt / (float)m);
                    float r1 = random_unit(), r2 = random_unit(), r3 = random_unit(), r4 = random_unit();
                    Vec3 jitter = vec3(r1 - 0.5f, r2 - 0.5f, r3 - 0.5f) * rt->randomize;
                    particle_spawn(pos, (throw_v + jitter) * (rt->vscale * r4), rt);
                }
                continue;
            }
            if (vec_length_sq(wc->slip_velocity) < rt->slip_threshold * rt->slip_threshold) continue;
            float angle = 0.049087387f;
            if (vec_dot(v, wc->slip_velocity) < 0) {
                float lo = rt->slow_speed * rt->slow_speed, hi = rt->fast_speed * rt->fast_speed;
                float t = hi != lo ? clampf((vec_length_sq(omega) - lo) / (hi - lo), 0, 1) : 1;
                angle = fminf(rt->slow_angle + (rt->fast_angle - rt->slow_angle) * t, spread);
            }
            for (int i = 0; i < m; i++) {
                float theta = angle * random_unit();
                Vec3 start = rotate_about(wc->contact_point, centre, axis, -theta);
                Vec3 wv = body_point_vel(wc->body, start);
                start = start + wv * ((float)i * dt / (float)m);
                float r1 = random_unit(), r2 = random_unit(), r3 = random_unit();
                Vec3 jitter = vec3(r1 - 0.5f, r2 - 0.5f, r3 - 0.5f) * rt->randomize;
                particle_spawn(start, (wv + jitter) * rt->vscale, rt);
            }
        }
    }
}

// ---- Ruts ----

int rut_pending(const Bike *bike) { return bike->rut_tail - bike->rut_head; }

void rut_queue(Bike *bike) {
    const Terrain *terrain = physics_terrain();
    for (int w = 0; w < 2; w++) {
        const WheelContact *wc = &bike->wheel[w];
        if (!(wc->depth > 0)) continue;
        if (rut_pending(bike) >= RUT_QUEUE_SIZE) return;
        const ErodeParams &e = surface_under(terrain, wc->contact_point.x, wc->contact_point.z)->erode;
        float s = vec_length(body_vel(wc->body));
        float span = e.erode_on_speed - e.erode_off_speed;
        float u = span != 0 ? clampf((s - e.erode_off_speed) / span, 0, 1) : (s >= e.erode_on_speed ? 1.0f : 0.0f);
        float fx = u * (float)wc->feedback.f1[0], fz = u * (float)wc->feedback.f1[2];
        float f2 = fx * fx + fz * fz;
        if (f2 > e.erode_lower * e.erode_lower && f2 > 1.0f / 1024.0f) {
            RutEvent *ev = &bike->ruts[bike->rut_tail % RUT_QUEUE_SIZE];
            *ev = RutEvent{wc->contact_point.x, wc->contact_point.z, fx, fz};
            bike->rut_tail++;
        }
    }
}

void rut_apply(Bike *bike) {
    Terrain *terrain = physics_terrain();
    if (!terrain) return;
    Vec3 frame = body_pos(bike->body[BODY_FRAME]);
    for (int k = 0; k < 4 && rut_pending(bike) > 0; k++) {
        const RutEvent ev = bike->ruts[bike->rut_head % RUT_QUEUE_SIZE];
        float dx = ev.x - frame.x, dz = ev.z - frame.z;
        if (dx * dx + dz * dz < 100) break;   // ruts appear only behind a bike that moved on
        bike->rut_head++;
        const ErodeParams &e = surface_under(terrain, ev.x, ev.z)->erode;
        float f = sqrtf(ev.fx * ev.fx + ev.fz * ev.fz);
        float span = e.erode_upper - e.erode_lower;
        float t = span != 0 ? clampf((f - e.erode_lower) / span, 0, 1) : 1.0f;
        float d = t * e.erode_displacement;
        float x2 = ev.x - ev.fx / f * d, z2 = ev.z - ev.fz / f * d;
        if (terrain_height(terrain, x2, z2) - terrain_height(terrain, ev.x, ev.z) <= d * e.erode_max_slope) {
            float a = erosion_amount(e.erode_depth);
            terrain_deform(terrain, ev.x, ev.z, e.erode_radius, -a);
            terrain_deform(terrain, x2, z2, e.erode_radius, a);
        }
    }
}

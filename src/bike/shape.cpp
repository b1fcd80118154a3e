// The ".shp" part-shape reader and the shape cache. Shapes are small (a handful of spheres)
// and shared by every bike and statue that names the same file, so they are read once.
#include "bike/shape.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/common.h"
#include "common/console.h"
#include "files/data.h"

namespace {

struct ShapeCache {
    std::vector<Shape *> shapes;   // loaded shapes, owned, never reloaded
};

// Never destroyed: cached shapes stay reachable until the process ends, also while other
// static objects are torn down.
ShapeCache &shapes_state = *new ShapeCache;

}   // namespace

float shape_bounding_radius(const ShapeSphere *spheres, int count)
{
    float radius = 0;
    for (int i = 0; i < count; i++) {
        const float *c = spheres[i].centre;
        const float reach = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]) + spheres[i].radius;
        if (reach > radius)
            radius = reach;
    }
    return radius;
}

Shape *shape_read(DataStream *stream, const char *name)
{
    int count = 0;
    if (!stream || data_scan(stream, "%d", &count) != 1 || count < 1 ||
        count > SHAPE_MAX_SPHERES)
        return nullptr;
    std::vector<ShapeSphere> spheres;
    for (int i = 0; i < count; i++) {
        ShapeSphere s;
        if (data_scan(stream, "%f %f %f %f %f %f %f", &s.centre[0], &s.centre[1],
                      &s.centre[2], &s.radius, &s.friction, &s.stiffness, &s.damping) != 7)
            return nullptr;
        const float values[7] = {s.centre[0], s.centre[1], s.centre[2], s.radius,
                                 s.friction, s.stiffness, s.damping};
        for (float v : values)
            if (!std::isfinite(v))
                return nullptr;
        if (s.radius < 0 || s.stiffness < 0 || s.damping < 0)
            return nullptr;
        spheres.push_back(s);
    }
    // Centres far enough out overflow the bounding radius; such a shape is no use.
    const float bounding = shape_bounding_radius(spheres.data(), count);
    if (!std::isfinite(bounding))
        return nullptr;
    Shape *shape = static_cast<Shape *>(xcalloc(1, sizeof(Shape)));
    shape->name = intern_string(name ? name : "");
    shape->count = count;
    shape->spheres = static_cast<ShapeSphere *>(xmalloc(sizeof(ShapeSphere) * size_t(count)));
    memcpy(shape->spheres, spheres.data(), sizeof(ShapeSphere) * size_t(count));
    shape->bounding_radius = bounding;
    return shape;
}

void shape_free(Shape *shape)
{
    if (!shape)
        return;
    free(shape->spheres);
    free(shape);
}

const Shape *shape_load(const char *name)
{
    if (!name)
        return nullptr;
    for (const Shape *shape : shapes_state.shapes)
        if (strcmp(shape->name, name) == 0)
            return shape;
    DataStream *stream = data_open(name, "rb");
    if (!stream)
        return nullptr;
    Shape *shape = shape_read(stream, name);
    data_close(stream);
    if (!shape) {
        console_printf("Can't load shape '%.900s'", name);
        return nullptr;
    }
    shapes_state.shapes.push_back(shape);
    return shape;
}

void shapes_clear()
{
    for (Shape *shape : shapes_state.shapes)
        shape_free(shape);
    shapes_state.shapes.clear();
}

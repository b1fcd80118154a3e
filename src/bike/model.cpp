// The bike model table: 45 models in their fixed order, built once from the shared chassis
// and one parameter row per class. Lookup, the fallback for unknown names and variant names
// of part models.
#include "bike/model.h"

#include <cstdio>
#include <cstring>

#include "common/console.h"

namespace {

// Everything in which models differ. The five rows below are the reference bikes of their
// classes (yz125, yz250(2012), yz250f(2013), crf450(2013), rs50yz). Every other model of a
// class takes its class row unchanged: bikes of one class share displacement, gearing
// practice and chassis weight closely enough that the riding differences would be smaller
// than the setup range, so the table keeps them equal and they differ in looks only.
struct ClassRow {
    const char *model_class;
    float frame_mass;
    float fork_mass;
    float fork_spring[2];
    float fork_rebound;
    float swingarm_mass;
    float shock_spring[2];
    float shock_rebound;
    float primary_ratio;
    float countershaft_teeth, rear_teeth;
    float gear_ratio[6];
    float engine_inertia;
    float clutch_stiffness, clutch_damping;
    float shift_down_rpm, shift_up_rpm;
    float rider_mass;
    float peak_torque;       // open-throttle curve: peak value, lbf ft
    float peak_rpm;          // where the peak lies
    float zero_rpm;          // where the curve falls to 0, just above the rev limit
    int four_stroke;         // closed-throttle curve form
};

const ClassRow CLASS_125 = {"125", 3.65375f, 0.7396875f, {322.545f, 860.12f}, 30, 0.541875f,
                            {1814.32f, 4502.19f}, 600, 3.368421f, 13, 48,
                            {2.385f, 1.933f, 1.588f, 1.353f, 1.2f, 1.095f}, 0.0048828f, 7500,
                            0.75f, 9400, 12000, 4.6875f, 15.861f, 10000, 13000, 0};
const ClassRow CLASS_250 = {"250", 4.365625f, 0.75375f, {322.545f, 860.12f}, 30, 0.589375f,
                            {2083.10f, 4770.98f}, 600, 3.0f, 14, 50,
                            {1.929f, 1.533f, 1.278f, 1.091f, 0.952f, -1}, 0.0068359f, 7500,
                            0.75f, 6000, 9000, 5.46875f, 29.902f, 7500, 10500, 0};
const ClassRow CLASS_250F = {"250f", 4.24f, 0.703125f, {335.984f, 873.56f}, 30, 0.504375f,
                             {2217.50f, 4905.37f}, 600, 3.352941f, 13, 50,
                             {2.143f, 1.75f, 1.444f, 1.222f, 1.042f, -1}, 0.0048828f, 7500,
                             0.75f, 8000, 12500, 4.6875f, 18.68f, 8000, 14000, 1};
const ClassRow CLASS_450F = {"450f", 4.735f, 0.703125f, {376.303f, 913.878f}, 32, 0.5025f,
                             {2486.29f, 5174.16f}, 650, 2.739130f, 13, 48,
                             {1.8f, 1.471f, 1.235f, 1.05f, 0.909f, -1}, 0.0088501f, 7500,
                             0.75f, 6000, 10500, 5.46875f, 31.0f, 7000, 12000, 1};
const ClassRow CLASS_50 = {"50", 3.34125f, 0.7396875f, {309.106f, 846.681f}, 30, 0.541875f,
                           {1814.32f, 4502.19f}, 600, 3.714286f, 12, 55,
                           {3.091f, 2.0f, 1.5f, 1.2f, 1.045f, 0.957f}, 0.0011936f, 1200, 1.0f,
                           9400, 12000, 4.6875f, 4.312f, 9500, 13500, 0};

struct TableRow {
    const char *name;
    const ClassRow *row;
    const char *base;            // graphics base
    const char *bike_texture;    // default bike texture when it is not "@<base>.png"
};

const TableRow TABLE[MODEL_COUNT] = {
    {"crf450(2013)", &CLASS_450F, "crf450v2013", nullptr},
    {"kx450f(2013)", &CLASS_450F, "kx450f", nullptr},
    {"rmz450(2013)", &CLASS_450F, "rmz450", nullptr},
    {"yz450f(2013)", &CLASS_450F, "yz450f", nullptr},
    {"450sxf(2013)", &CLASS_450F, "450sxfv2013", nullptr},
    {"350sxf(2013)", &CLASS_250F, "350sxfv2013", nullptr},
    {"crf450(2011)", &CLASS_450F, "crf450", nullptr},
    {"kx450f(2011)", &CLASS_450F, "kx450f", nullptr},
    {"rmz450(2011)", &CLASS_450F, "rmz450", nullptr},
    {"yz450f(2011)", &CLASS_450F, "yz450f", nullptr},
    {"450sxf(2011)", &CLASS_450F, "450sxf", nullptr},
    {"350sxf(2011)", &CLASS_450F, "350sxf", nullptr},
    {"250sx(2012)", &CLASS_250, "250sx", nullptr},
    {"cr250(2007)", &CLASS_250, "cr250", nullptr},
    {"kx250(2006)", &CLASS_250, "kx250", nullptr},
    {"rm250(2008)", &CLASS_250, "rm250", nullptr},
    {"yz250(2012)", &CLASS_250, "yz250", nullptr},
    {"crf250(2013)", &CLASS_250F, "crf250v2010", nullptr},
    {"kx250f(2013)", &CLASS_250F, "kx250fv2013", nullptr},
    {"rmz250(2013)", &CLASS_250F, "rmz250v2010", nullptr},
    {"yz250f(2013)", &CLASS_250F, "yz250fv2010", nullptr},
    {"250sxf(2013)", &CLASS_250F, "250sxfv2013", nullptr},
    {"crf250(2009)", &CLASS_250F, "crf250", nullptr},
    {"kx250f(2009)", &CLASS_250F, "kx250f", nullptr},
    {"rmz250(2009)", &CLASS_250F, "rmz250", nullptr},
    {"yz250f(2009)", &CLASS_250F, "yz250f", nullptr},
    {"250sxf(2009)", &CLASS_250F, "250sxf", nullptr},
    {"crf250(2008)", &CLASS_250F, "crf250", nullptr},
    {"kx250f(2008)", &CLASS_250F, "kx250f", nullptr},
    {"rmz250(2008)", &CLASS_250F, "rmz250", nullptr},
    {"yz250f(2008)", &CLASS_250F, "yz250f", nullptr},
    {"cr125", &CLASS_125, "cr125", nullptr},
    {"kx125", &CLASS_125, "kx125", nullptr},
    {"rm125", &CLASS_125, "rm125", nullptr},
    {"yz125", &CLASS_125, "yz125", nullptr},
    {"125sx", &CLASS_125, "125sx", nullptr},
    {"crf250(2007)", &CLASS_250F, "crf250", nullptr},
    {"kx250f(2007)", &CLASS_250F, "kx250f", nullptr},
    {"rmz250(2007)", &CLASS_250F, "rmz250", nullptr},
    {"yz250f(2007)", &CLASS_250F, "yz250f", nullptr},
    {"yz250f_se(2006)", &CLASS_250F, "yz250f", "@yz250f_se.png"},
    {"rs50cr", &CLASS_50, "cr125", nullptr},
    {"rs50kx", &CLASS_50, "kx125", nullptr},
    {"rs50rm", &CLASS_50, "rm125", nullptr},
    {"rs50yz", &CLASS_50, "yz125", nullptr},
};

// The reference open-throttle curve of the 125 class, point k at 500 k rpm.
const float OPEN_125[28] = {5, 5, 5, 5, 5, 6, 7.1f, 8.2f, 9.3f, 10.4f, 11.555f, 10.791f,
                            10.504f, 12.12f, 13.13f, 13.655f, 13.787f, 14.273f, 14.881f,
                            15.369f, 15.861f, 15.706f, 15.661f, 15.163f, 13.655f, 5.042f, 0, 0};

// Closed-throttle curves: a small idle torque below 1500 rpm, then engine braking.
void closed_curve(const ClassRow *row, float *out) {
    const float idle[4] = {2, 2, 1, 0};
    for (int k = 0; k < 4; k++) out[k] = idle[k];
    if (row->four_stroke) {
        for (int k = 4; k < TORQUE_POINTS; k++) out[k] = -(float)((k - 4) / 2 + 1);
        return;
    }
    const float two_stroke[13] = {-1, -1.2f, -1.4f, -1.6f, -1.8f, -2, -2.25f, -2.5f, -2.75f,
                                  -3, -3.33f, -3.67f, -4};
    for (int k = 4; k < 17; k++) out[k] = two_stroke[k - 4];
    for (int k = 17; k < 23; k++) out[k] = -(float)(k - 12);     // -5 .. -10
    out[23] = -10;
    for (int k = 24; k < TORQUE_POINTS; k++) out[k] = -(float)(11 + (k - 24) / 2);
    if (row == &CLASS_50)
        for (int k = 4; k < TORQUE_POINTS; k++) out[k] *= 0.5f;
}

// Open-throttle curves. The 125 curve is the measured reference; the others are drawn from
// their peak and rev limit: a flat third of the peak at low rpm, a rise that slows towards
// the peak, a gentle fall to 80 % of it, a sharp drop to 0 just above the rev limit and
// engine braking beyond it that grows one fifteenth of the peak every 1000 rpm.
void open_curve(const ClassRow *row, float *out) {
    if (row == &CLASS_125) {
        for (int k = 0; k < 28; k++) out[k] = OPEN_125[k];
        for (int k = 28; k < TORQUE_POINTS; k++) out[k] = -(float)((k - 28) / 2 + 1);
        return;
    }
    float peak = row->peak_torque;
    int kp = (int)(row->peak_rpm / 500.0f + 0.5f);
    int kz = (int)(row->zero_rpm / 500.0f + 0.5f);
    float low = peak / 3.0f;
    for (int k = 0; k < TORQUE_POINTS; k++) {
        float t;
        if (k <= 3) {
            t = low;
        } else if (k < kp) {
            float u = (float)(k - 3) / (float)(kp - 3);
            t = low + (peak - low) * (1.0f - (1.0f - u) * (1.0f - u));
        } else if (k <= kz - 2) {
            float u = kz - 2 > kp ? (float)(k - kp) / (float)(kz - 2 - kp) : 0.0f;
            t = peak * (1.0f - 0.2f * u);
        } else if (k == kz - 1) {
            t = peak * 0.35f;
        } else if (k <= kz + 1) {
            t = 0;
        } else {
            t = -(float)((k - kz) / 2) * peak / 15.0f;
        }
        out[k] = t;
    }
}

struct ModelTable {
    int built;
    BikeModel models[MODEL_COUNT];
    char names[MODEL_COUNT][MODEL_FILE_COUNT][48];
};
ModelTable table;

// "@" + graphics base + suffix, kept in the table's name store.
const char *file_name(int m, int f, const char *base, const char *suffix) {
    char *out = table.names[m][f];
    snprintf(out, sizeof table.names[m][f], "@%s%s", base, suffix);
    return out;
}

void build_model(int m) {
    const TableRow *t = &TABLE[m];
    const ClassRow *c = t->row;
    BikeModel *b = &table.models[m];
    *b = BikeModel{};
    b->name = t->name;
    b->model_class = c->model_class;
    b->graphics_base = t->base;
    b->front = WheelBlock{vec3(0, 1.09f, 1.11f), 10.0f / 12.0f, 1.0f / 3.0f, 0.40625f, 0.5f,
                          0.15625f};
    b->rear = WheelBlock{vec3(0, 1.04f, 6.0f), 0.75f, 1.0f / 3.0f, 0.46875f, 0.5f, 0.3125f};
    b->frame_centre = vec3(0, 1.98f, 3.6f);
    b->frame_mass = c->frame_mass;
    b->frame_box = vec3(0.8333333f, 1.6666667f, 1.6666667f);
    b->fork_upper = vec3(0, 2.9f, 2.16f);
    b->swingarm_centre = vec3(0, 1.34f, 4.99f);
    b->swingarm_pivot = vec3(0, 1.58f, 4.17f);
    b->fork_lower = vec3(0, 1.77f, 1.59f);
    b->fork_spacing = 0.8333333f;
    b->fork_length = 3;
    b->fork_mass = c->fork_mass;
    b->fork_spring[0] = c->fork_spring[0];
    b->fork_spring[1] = c->fork_spring[1];
    b->fork_preload[0] = 0;
    b->fork_preload[1] = 1.0f / 12.0f;
    b->fork_air_gap[0] = 0.4166667f;
    b->fork_air_gap[1] = 0.25f;
    b->fork_compression = 60;
    b->fork_rebound = c->fork_rebound;
    b->fork_travel = 1.0f;
    b->swingarm_mass = c->swingarm_mass;
    b->shock_spring[0] = c->shock_spring[0];
    b->shock_spring[1] = c->shock_spring[1];
    b->shock_preload[0] = 0;
    b->shock_preload[1] = 0.0275f;
    b->shock_compression = 800;
    b->shock_rebound = c->shock_rebound;
    b->swingarm_travel = 0.55f;
    b->linkage[0] = b->linkage[1] = 0.6153846f;
    b->primary_ratio = c->primary_ratio;
    b->countershaft_teeth = c->countershaft_teeth;
    b->rear_teeth = c->rear_teeth;
    for (int g = 0; g < 6; g++) b->gear_ratio[g] = c->gear_ratio[g];
    b->engine_inertia = c->engine_inertia;
    b->clutch_stiffness = c->clutch_stiffness;
    b->clutch_damping = c->clutch_damping;
    closed_curve(c, b->closed_torque);
    open_curve(c, b->open_torque);
    b->shift_down_rpm = c->shift_down_rpm;
    b->shift_up_rpm = c->shift_up_rpm;
    b->redline_rpm = c->zero_rpm - 500;
    b->torso_line_dir = vec3(0, 1.0f / 12.0f, 1.0f / 12.0f);
    b->torso_point = vec3(0, 4.5f, 4.12f);
    b->torso_line_range[0] = -0.6666667f;
    b->torso_line_range[1] = 0.5f;
    b->rider_mass = c->rider_mass;

    const char *base = t->base;
    const char **f = b->files;
    f[FILE_FRAME_MODEL] = file_name(m, FILE_FRAME_MODEL, base, "_frame.jm");
    f[FILE_FRAME_SHAPE] = "@generic_frame.shp";
    f[FILE_BIKE_TEXTURE] = t->bike_texture ? t->bike_texture
                                           : file_name(m, FILE_BIKE_TEXTURE, base, ".png");
    f[FILE_FORK_UPPER_MODEL] = file_name(m, FILE_FORK_UPPER_MODEL, base, "_fork_upper.jm");
    f[FILE_FORK_UPPER_SHAPE] = "@generic_fork_upper.shp";
    f[FILE_FORK_LOWER_MODEL] = file_name(m, FILE_FORK_LOWER_MODEL, base, "_fork_lower.jm");
    f[FILE_FORK_LOWER_SHAPE] = "@generic_fork_lower.shp";
    f[FILE_SWINGARM_MODEL] = file_name(m, FILE_SWINGARM_MODEL, base, "_swingarm.jm");
    f[FILE_SWINGARM_SHAPE] = "@generic_swingarm.shp";
    f[FILE_FRONT_WHEEL_MODEL] = "@front_wheel.jm";
    f[FILE_FRONT_WHEEL_SHAPE] = "@front_wheel.shp";
    f[FILE_REAR_WHEEL_MODEL] = "@rear_wheel.jm";
    f[FILE_REAR_WHEEL_SHAPE] = "@rear_wheel.shp";
    f[FILE_WHEEL_TEXTURE] = "@wheels.png";
    f[FILE_HEAD_MODEL] = "@rider_head.jm";
    f[FILE_HELMET_TEXTURE] = "@rider_head.png";
    f[FILE_BODY_MODEL] = "@rider_body.jm";
    f[FILE_BODY_FP_MODEL] = "@rider_body_fp.jm";
    f[FILE_RIDER_SHAPE] = "@generic_rider.shp";
    f[FILE_GEAR_TEXTURE] = "@rider_body.png";
    f[FILE_SIDE_PLATES_MODEL] = file_name(m, FILE_SIDE_PLATES_MODEL, base, "_side_plates.jm");
    f[FILE_FRONT_PLATE_MODEL] = file_name(m, FILE_FRONT_PLATE_MODEL, base, "_front_plate.jm");
    f[FILE_RIDER_PLATE_MODEL] = "@rider_plate.jm";

    b->head = vec3(0, 0.808383f, -0.943369f);
    b->shoulder[0] = vec3(-0.556f, 0.580375f, -0.654514f);
    b->shoulder[1] = vec3(0.556f, 0.580375f, -0.654514f);
    b->hip[0] = vec3(-0.269f, -0.570887f, 0.670607f);
    b->hip[1] = vec3(0.269f, -0.570887f, 0.670607f);
    b->grip[0] = vec3(-1.097f, 1.145f, 0.753f);
    b->grip[1] = vec3(1.097f, 1.145f, 0.753f);
    b->peg[0] = vec3(-0.6f, -0.557f, 0.584f);
    b->peg[1] = vec3(0.6f, -0.557f, 0.584f);
    b->upper_arm = 0.9f;
    b->forearm = 1.15f;
    b->thigh = 1.328f;
    b->shin = 1.701f;
}

void table_build() {
    if (table.built) return;
    for (int m = 0; m < MODEL_COUNT; m++) build_model(m);
    table.built = 1;
}

}  // namespace

const BikeModel *model_at(int index) {
    if (index < 0 || index >= MODEL_COUNT) return nullptr;
    table_build();
    return &table.models[index];
}

const BikeModel *model_find(const char *name) {
    if (!name) return nullptr;
    table_build();
    for (int m = 0; m < MODEL_COUNT; m++)
        if (strcmp(table.models[m].name, name) == 0) return &table.models[m];
    return nullptr;
}

const BikeModel *model_fallback(const char *wanted) {
    table_build();
    const char *pattern = wanted && strstr(wanted, "125") ? "125" : "250f";
    const BikeModel *used = &table.models[0];
    for (int m = 0; m < MODEL_COUNT; m++) {
        if (strstr(table.models[m].name, pattern)) {
            used = &table.models[m];
            break;
        }
    }
    console_printf("bike info for '%.20s' not found using '%.20s' instead",
                   wanted ? wanted : "", used->name);
    return used;
}

const BikeModel *model_lookup(const char *name) {
    const BikeModel *model = model_find(name);
    return model ? model : model_fallback(name);
}

int model_variant_name(const char *model_file, const char *texture, const char *ending,
                       char *out, int size) {
    if (!model_file || !texture || !ending || size <= 0) return 0;
    const char *dot = strrchr(model_file, '.');
    if (!dot || strchr(dot, '/')) return 0;
    const char *slash = strrchr(texture, '/');
    const char *base = slash ? slash + 1 : texture;
    const char *first = strchr(base, '-');
    if (!first) return 0;
    const char *second = strchr(first + 1, '-');
    if (!second) return 0;
    int stem = (int)(dot - model_file);
    int tag = (int)(second - first);
    int n = snprintf(out, (size_t)size, "%.*s%.*s%s", stem, model_file, tag, first, ending);
    return n >= 0 && n < size;
}

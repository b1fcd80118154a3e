// Key bindings: file forms, levels and channels, and the capture against a fake input layer.
#include "settings/settings_fixture.h"

#include <strings.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

using BindingTest = SettingsTest;

TEST_F(BindingTest, ParseForms) {
    struct Case {
        const char *text;
        const char *key;     // expected key name, null for none
        const char *axis;    // expected axis name, null for none
        float lo, hi;
    };
    const Case cases[] = {
        {"x", "x", nullptr, 0, 1},
        {"(k)x", "x", nullptr, 0, 1},
        {" \t(k)right ctrl", "right ctrl", nullptr, 0, 1},
        {"(k)", "", nullptr, 0, 1},
        {"(0.1,0.9)Pad axis 1", nullptr, "Pad axis 1", 0.1f, 0.9f},
        {"(-0.0625,-0.9375)Pad axis 0", nullptr, "Pad axis 0", -0.0625f, -0.9375f},
        {"(0.5)Pad axis 1", "(0.5)Pad axis 1", nullptr, 0, 1},
        {"(0.1,0.9 Pad axis 1", "(0.1,0.9 Pad axis 1", nullptr, 0, 1},
        {"(nan,1)Pad", "(nan,1)Pad", nullptr, 0, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        KeyBinding b;
        binding_init(&b, "Throttle", "z");
        binding_parse(&b, c.text);
        if (c.key) {
            ASSERT_NE(b.key_name, nullptr);
            EXPECT_STREQ(b.key_name, c.key);
        } else {
            EXPECT_EQ(b.key_name, nullptr);
        }
        if (c.axis) {
            ASSERT_NE(b.axis_name, nullptr);
            EXPECT_STREQ(b.axis_name, c.axis);
        } else {
            EXPECT_EQ(b.axis_name, nullptr);
        }
        EXPECT_EQ(b.axis_min, c.lo);
        EXPECT_EQ(b.axis_max, c.hi);
    }
    // Names are cut so that the line written for them always reads back whole.
    KeyBinding long_name;
    binding_parse(&long_name, ("(1e38,1e38)" + std::string(1000, 'a')).c_str());
    EXPECT_EQ(std::string(long_name.axis_name), std::string(BINDING_NAME_CHARS, 'a'));

    // A bare name and the same name after "(k)" share one interned copy.
    KeyBinding bare, marked;
    binding_parse(&bare, "Left Shift");
    binding_parse(&marked, "(k)Left Shift");
    EXPECT_EQ(bare.key_name, marked.key_name);
}

TEST_F(BindingTest, AxisBindingRoundTripsThroughTheFile) {
    read_text("throttle_key=(0.1,0.9)Pad axis 2\nleft_key=\n");
    ASSERT_EQ(config_write(), 1);
    const std::string written = read_config();
    EXPECT_NE(written.find("\nthrottle_key=(0.100000,0.900000)Pad axis 2\n"), std::string::npos);
    EXPECT_NE(written.find("\nleft_key=(k)\n"), std::string::npos);

    settings_reset();
    config_read();
    const KeyBinding &b = settings.bindings[BIND_THROTTLE];
    EXPECT_EQ(b.key_name, nullptr);
    EXPECT_STREQ(b.axis_name, "Pad axis 2");
    EXPECT_EQ(b.axis_min, 0.1f);
    EXPECT_EQ(b.axis_max, 0.9f);
    EXPECT_STREQ(settings.bindings[BIND_LEFT].key_name, "");
}

TEST_F(BindingTest, AxisLevelsAndChannels) {
    KeyBinding up, down, flat;
    binding_parse(&up, "(0.0625,0.9375)a");
    binding_parse(&down, "(-0.0625,-0.9375)a");
    binding_parse(&flat, "(0.5,0.5)a");
    EXPECT_EQ(binding_axis_level(&up, 0), 0);
    EXPECT_EQ(binding_axis_level(&up, 16384), (0.5f - 0.0625f) / 0.875f);
    EXPECT_EQ(binding_axis_level(&up, 32767), 1);
    EXPECT_EQ(binding_axis_level(&up, -32768), 0);
    EXPECT_EQ(binding_axis_level(&down, -32768), 1);
    EXPECT_EQ(binding_axis_level(&down, 32767), 0);
    EXPECT_EQ(binding_axis_level(&flat, 16000), 0);
    EXPECT_EQ(binding_axis_level(&flat, 17000), 1);

    float levels[CONTROL_BINDINGS] = {};
    float channels[CHANNEL_COUNT];
    levels[BIND_LEFT] = 1;
    levels[BIND_RIGHT] = 0.25f;
    levels[BIND_DOWNSHIFT] = 1;
    levels[BIND_LEAN_FORWARD] = 1;
    levels[BIND_THROTTLE] = 0.5f;
    controls_sum(levels, channels);
    EXPECT_EQ(channels[CHANNEL_STEER], 0.75f);
    EXPECT_EQ(channels[CHANNEL_SHIFT], -1);
    EXPECT_EQ(channels[CHANNEL_LEAN], -1);
    EXPECT_EQ(channels[CHANNEL_THROTTLE], 0.5f);
    EXPECT_EQ(channels[CHANNEL_CLUTCH], 0);
}

// An input layer of named axes whose readings the test sets; it counts open handles.
struct FakeInput {
    struct Axis {
        std::string name;
        int raw = 0;
        int open = 0;
        bool fails = false;
    };
    std::vector<Axis> axes;
    std::vector<const char *> names;
    std::map<int, std::string> keys = {{1, "Esc"}, {45, "X"}, {57, "Space"}};

    static FakeInput *current;
    static const char *const *axis_names() { return current->names.data(); }
    static InputAxis *axis_open(const char *name) {
        for (Axis &a : current->axes) {
            if (a.name == name && !a.fails) {
                a.open++;
                return reinterpret_cast<InputAxis *>(&a);
            }
        }
        return nullptr;
    }
    static int axis_read(InputAxis *axis) { return reinterpret_cast<Axis *>(axis)->raw; }
    static void axis_close(InputAxis *axis) { reinterpret_cast<Axis *>(axis)->open--; }
    static int key_code(const char *name) {
        for (const auto &k : current->keys) {
            if (strcasecmp(k.second.c_str(), name) == 0)
                return k.first;
        }
        return KEY_CODE_NONE;
    }
    static const char *key_name(int code) {
        auto k = current->keys.find(code);
        return k == current->keys.end() ? nullptr : k->second.c_str();
    }

    FakeInput(std::vector<Axis> list) : axes(std::move(list)) {
        for (const Axis &a : axes)
            names.push_back(a.name.c_str());
        names.push_back("");
        current = this;
    }
    int open_count() const {
        int n = 0;
        for (const Axis &a : axes)
            n += a.open;
        return n;
    }
};
FakeInput *FakeInput::current;

static const AxisSource FAKE_SOURCE = {FakeInput::axis_names, FakeInput::axis_open,
                                       FakeInput::axis_read,  FakeInput::axis_close,
                                       FakeInput::key_code,   FakeInput::key_name};

struct CaptureTest : SettingsTest {
    FakeInput input{{{"Pad axis 0"}, {"Pad axis 1", 30000}, {"Pad axis 2", 0, 0, true},
                     {"Wheel axis 0"}}};
    KeyBinding &throttle = settings.bindings[BIND_THROTTLE];

    void SetUp() override {
        SettingsTest::SetUp();
        bindings_attach(&FAKE_SOURCE, 0);
    }
    void TearDown() override {
        bindings_attach(nullptr, 0);
        SettingsTest::TearDown();
    }
};

TEST_F(CaptureTest, WatchesOnlyCentredAxesAndAssignsTheFurthestDeflected) {
    binding_capture_start(&throttle);
    EXPECT_EQ(binding_capture_target(), &throttle);
    EXPECT_EQ(input.axes[1].open, 0);   // not centred at the start
    EXPECT_EQ(input.open_count(), 2);   // axis 0 and the wheel

    input.axes[0].raw = -16000;         // below half: nothing yet
    binding_capture_watch();
    EXPECT_EQ(binding_capture_target(), &throttle);

    input.axes[0].raw = -20000;
    input.axes[3].raw = 19000;
    binding_capture_watch();
    EXPECT_EQ(binding_capture_target(), nullptr);
    EXPECT_EQ(throttle.key_name, nullptr);
    EXPECT_EQ(throttle.key_code, KEY_CODE_NONE);
    EXPECT_STREQ(throttle.axis_name, "Pad axis 0");
    EXPECT_EQ(throttle.axis_min, -0.0625f);
    EXPECT_EQ(throttle.axis_max, -0.9375f);
    ASSERT_EQ(input.open_count(), 1);   // only the assigned axis stays open
    EXPECT_EQ(input.axes[0].open, 1);
    EXPECT_EQ(binding_read_level(&throttle), (20000 / 32768.0f - 0.0625f) / 0.875f);

    // Capturing a key for it closes the axis it held.
    binding_capture_start(&throttle);
    EXPECT_EQ(binding_capture_key(45), 1);
    EXPECT_STREQ(throttle.key_name, "X");
    EXPECT_EQ(throttle.key_code, 45);
    EXPECT_EQ(throttle.axis_name, nullptr);
    EXPECT_EQ(input.open_count(), 0);
}

TEST_F(CaptureTest, KeyPresses) {
    EXPECT_EQ(binding_capture_key(45), 0);   // no capture running

    binding_capture_start(&throttle);
    EXPECT_EQ(binding_capture_key(999), 1);  // a key without a name is passed over
    EXPECT_EQ(binding_capture_target(), &throttle);
    EXPECT_EQ(binding_capture_key(1), 1);    // esc cancels
    EXPECT_EQ(binding_capture_target(), nullptr);
    EXPECT_STREQ(throttle.key_name, "x");
    EXPECT_EQ(input.open_count(), 0);

    binding_capture_start(&throttle);
    EXPECT_EQ(binding_capture_key(57), 1);
    EXPECT_STREQ(throttle.key_name, "Space");
    EXPECT_EQ(throttle.key_code, 57);
    EXPECT_EQ(binding_capture_target(), nullptr);
    EXPECT_EQ(input.open_count(), 0);
}

TEST_F(CaptureTest, ResolveAndRelease) {
    KeyBinding &left = settings.bindings[BIND_LEFT];
    binding_parse(&left, "(0,1)Wheel axis 0");
    binding_resolve(&throttle);
    binding_resolve(&left);
    EXPECT_EQ(throttle.key_code, 45);
    EXPECT_EQ(left.key_code, KEY_CODE_NONE);
    EXPECT_EQ(input.axes[3].open, 1);
    input.axes[3].raw = 16384;
    EXPECT_EQ(binding_read_level(&left), 0.5f);
    binding_resolve(&left);              // resolving again does not leak a handle
    EXPECT_EQ(input.axes[3].open, 1);
    binding_release(&left);
    EXPECT_EQ(input.open_count(), 0);
}

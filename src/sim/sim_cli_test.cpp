// The rutmoor-sim executable end to end: a small track in a scratch data home, a script, the
// CSV on standard output and the exit codes.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

#include "testsupport/testsupport.h"

namespace {

std::string tool_path() {
    char self[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "rutmoor-sim";
    std::string path(self, (size_t)n);
    return path.substr(0, path.rfind('/') + 1) + "rutmoor-sim";
}

struct ToolRun {
    int status;
    std::string out;
};

ToolRun run_tool(const std::string &args) {
    std::string command = tool_path() + " " + args + " 2>&1";
    ToolRun r{-1, ""};
    FILE *p = popen(command.c_str(), "r");
    if (!p) return r;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) r.out.append(buffer, n);
    int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// A flat 128 ft track at height 2 in a scratch home.
struct TrackHome {
    TempDir tmp;
    ScopedEnv xdg{"XDG_DATA_HOME", tmp.path.c_str()};
    ScopedEnv qz{"QZ_HOME", tmp.at("install").c_str()};
    TrackHome() {
        int size = 129;
        std::string hf = "6 1.0 0 4\n:";
        for (int k = 0; k < size * size; k++) hf += std::string("\x00\x80", 2);
        tmp.write("Rutmoor/flat/terrain.hf", hf);
        tmp.write("Rutmoor/flat/shadingx2.ppm", "P6 129 129 255\n" + std::string((size_t)size * size * 3, '\x80'));
        tmp.write("Rutmoor/flat/texturelist", "dirt.ppm\n");
        tmp.write("Rutmoor/flat/tilemap", std::string(64 * 64, '\0'));
        tmp.write("install/.keep", "");
    }
};

}  // namespace

TEST(SimTool, RidesAScriptOnATrackAndPrintsTheTrace) {
    TrackHome home;
    home.tmp.write("go.txt", "0 throttle=1 clutch=1\n1.5 throttle=0 rear_brake=1\n2 end\n");
    ToolRun r = run_tool("--ride " + home.tmp.at("go.txt") + " --track flat --at 64,100,0 --bike yz125 --trace-every 64");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
              "t,x,y,z,speed_mph,rpm,gear,lean_deg,crashed,front_contact,rear_contact");
    int lines = 0;
    for (char c : r.out) lines += c == '\n';
    EXPECT_EQ(lines, 1 + 4 + 1);   // header, every 64 steps over 2 s, and the end
    EXPECT_NE(r.out.find("\n2.0000,64."), std::string::npos) << r.out;
    // Moving forward (-z) by the end, on both wheels.
    size_t last = r.out.rfind("2.0000,");
    double x, y, z;
    ASSERT_EQ(sscanf(r.out.c_str() + last, "2.0000,%lf,%lf,%lf", &x, &y, &z), 3);
    EXPECT_LT(z, 95);
    EXPECT_NEAR(y, 2 + 1.98 - 0.2, 0.5);   // frame centre above ground at 2 ft
}

TEST(SimTool, BadScriptsAndOptionsExitWithTwo) {
    TrackHome home;
    home.tmp.write("bad.txt", "0 throttle=1\n1 steer=3\n2 end\n");
    ToolRun r = run_tool("--ride " + home.tmp.at("bad.txt") + " --track flat --at 64,64,0");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("line 2: value out of range 'steer=3'"), std::string::npos) << r.out;
    EXPECT_EQ(run_tool("--ride " + home.tmp.at("missing.txt")).status, 2);
    EXPECT_EQ(run_tool("--track flat").status, 2);
    EXPECT_EQ(run_tool("--ride " + home.tmp.at("bad.txt") + " --at 1,2").status, 2);
    EXPECT_EQ(run_tool("--ride " + home.tmp.at("bad.txt") + " --trace-every 0").status, 2);
    home.tmp.write("ok.txt", "0 throttle=0\n0.1 end\n");
    ToolRun none = run_tool("--ride " + home.tmp.at("ok.txt") + " --track nowhere --at 1,2,3");
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.out.find("can't load track 'nowhere'"), std::string::npos) << none.out;
}

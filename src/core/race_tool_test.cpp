// The headless race tool end to end: its exit codes, and a scripted rider's demo recorded by
// one run and played back by another, every gate crossed at the same steps.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "testsupport/testsupport.h"

namespace {

struct SimRun {
    int status;
    std::string out;
};

// Runs rutmoor-sim with a home directory and arguments; the standard output is kept.
SimRun sim(const std::string &home, const std::string &args) {
    std::string command = "XDG_DATA_HOME='" + home + "' '" RUTMOOR_SIM_EXE "' " + args + " 2>/dev/null";
    SimRun run = {-1, ""};
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.out.append(buffer, n);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// "crossings SLOT NUMBER at X,Z: s0 s1 ..." lines by rider number.
std::map<std::string, std::vector<int>> crossings(const std::string &out) {
    std::map<std::string, std::vector<int>> result;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("crossings ", 0) != 0)
            continue;
        std::istringstream words(line);
        std::string word, slot, number, at, where;
        words >> word >> slot >> number >> at >> where;
        std::vector<int> &steps = result[number];
        int step;
        while (words >> step)
            steps.push_back(step);
    }
    return result;
}

}  // namespace

TEST(RaceTool, BadArgumentsExitWithTwo) {
    TempDir home;
    for (const char *args : {"--mode nonsense", "--mode race --max-seconds -3", "--mode race --bogus",
                             "--mode series", "--mode series no_such_series --max-seconds 1",
                             "demo.qzdemo --mode race"})
        EXPECT_EQ(sim(home.path, args).status, 2) << args;
}

TEST(RaceTool, RecordedScriptedRidePlaysBackWithTheSameCrossings) {
    TempDir home;
    std::string config = "record=Yes\nlaps=1\nminutes=0\ntrack=rabbithill\n";
    for (int i = 0; i < 40; i++) {
        char line[32];
        snprintf(line, sizeof line, "slot%02d=%s\n", i, i == 0 ? "Human" : i == 1 ? "Robot" : "Empty");
        config += line;
    }
    home.write("Rutmoor/config", config);
    home.write("ride.txt", "0 throttle=0 clutch=1\n15 throttle=0.6\n17 shift=1\n19 shift=1\n22 end\n");

    SimRun recorded = sim(home.path, "--mode race --max-seconds 22 --crossings --script '" +
                                      home.at("ride.txt") + "'");
    ASSERT_EQ(recorded.status, 1) << recorded.out;   // stopped by the time limit
    auto before = crossings(recorded.out);
    ASSERT_EQ(before.size(), 2u) << recorded.out;
    ASSERT_FALSE(before["999"].empty()) << "the scripted rider (plate 999) crosses a gate\n"
                                        << recorded.out;
    std::string demo = read_whole_file(home.at("Rutmoor/demos/default.qzdemo"));
    ASSERT_EQ(demo.rfind("QZ05 2 0 1 ", 0), 0u);

    home.write("race.qzdemo", demo);
    SimRun played = sim(home.path, "--crossings '" + home.at("race.qzdemo") + "'");
    EXPECT_EQ(played.status, 0) << played.out;   // the demo ended
    auto after = crossings(played.out);
    ASSERT_EQ(after.size(), before.size()) << played.out;
    for (const auto &[number, steps] : before) {
        ASSERT_EQ(after[number].size(), steps.size()) << "rider " << number << "\n" << played.out;
        for (size_t k = 0; k < steps.size(); k++)
            EXPECT_NEAR(after[number][k], steps[k], 1) << "rider " << number << " entry " << k;
    }
    // Playing back records nothing.
    EXPECT_EQ(read_whole_file(home.at("Rutmoor/demos/default.qzdemo")), demo);
}

TEST(RaceTool, RobotRaceEndsAndItsDemoPlaysBackTheSameCrossings) {
    TempDir home;
    std::string config = "record=Yes\nlaps=1\nminutes=0\ntrack=rabbithill\n";
    for (int i = 0; i < 40; i++) {
        char line[32];
        snprintf(line, sizeof line, "slot%02d=%s\n", i, i < 2 ? "Robot" : "Empty");
        config += line;
    }
    home.write("Rutmoor/config", config);
    // Practice riders explore the track, so they ride without learned lines; what they
    // learn is saved at the end.
    SimRun raced = sim(home.path, "--mode race --practice --learn --max-seconds 400 --crossings");
    EXPECT_FALSE(read_whole_file(home.at("Rutmoor/rabbithill/lines_novice")).empty());
    auto before = crossings(raced.out);
    ASSERT_EQ(before.size(), 2u) << raced.out;
    if (raced.status == 0) {
        // Over: the results file lists the finishers.
        std::string results = read_whole_file(home.at("Rutmoor/results.txt"));
        EXPECT_EQ(results.rfind("Time=0.00|Laps=1|Track=rabbithill|Date=", 0), 0u) << results;
        EXPECT_NE(raced.out.find("Final results"), std::string::npos);
    } else {
        EXPECT_EQ(raced.status, 1) << raced.out;
    }
    home.write("race.qzdemo", read_whole_file(home.at("Rutmoor/demos/default.qzdemo")));
    SimRun played = sim(home.path, "--crossings '" + home.at("race.qzdemo") + "'");
    EXPECT_EQ(played.status, 0) << played.out;
    auto after = crossings(played.out);
    for (const auto &[number, steps] : before) {
        ASSERT_EQ(after[number].size(), steps.size()) << "rider " << number << "\n" << played.out;
        for (size_t k = 0; k < steps.size(); k++)
            EXPECT_NEAR(after[number][k], steps[k], 1) << "rider " << number << " entry " << k;
    }
}

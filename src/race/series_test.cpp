// Points series: reading series files and standings, the lineup rule, scoring and ties.
#include "race/series.h"

#include <cstring>
#include <string>

#include "race/race_test_support.h"
#include "settings/settings.h"

namespace {

// A series text: R robots numbered from 20, events on rabbithill with points 10, 9, ... 1.
std::string series_text(int robots, int events, const char *skill = "Amateur",
                        const char *track = "rabbithill") {
    std::string text = "\"Test Cup\"\n" + std::to_string(robots) + " " + skill + "\n";
    for (int i = 0; i < robots; i++)
        text += std::to_string(20 + i % 80) + " ";
    text += "\n" + std::to_string(events) + "\n";
    for (int e = 0; e < events; e++) {
        text += "\"Round " + std::to_string(e + 1) + "\" " + track + " 0 3\n";
        for (int i = 0; i < 80; i++)
            text += std::to_string(i < 10 ? 10 - i : 0) + " ";
        text += "\n";
    }
    return text;
}

struct SeriesTest : RaceFixture {
    Series series = {};
    void SetUp() override {
        RaceFixture::SetUp();
        // A track directory the series can name (only its height file is looked for).
        home_put("rabbithill/terrain.hf", "");
        data_reset();
        ASSERT_GT(tracks_scan(), 0);
    }
    void TearDown() override {
        series_free(&series);
        series_free_all();
        RaceFixture::TearDown();
    }
    int load(const std::string &text, const char *file = "series/test.series") {
        home_put(file, text);
        series_free(&series);
        std::string name = std::string("@") + file;
        DataStream *stream = data_open(name.c_str(), "rb");
        if (!stream)
            return 0;
        int ok = series_read(stream, file, &series);
        data_close(stream);
        return ok;
    }
    void home_put(const std::string &name, const std::string &bytes) { home.write("Rutmoor/" + name, bytes); }
};

// The start types given to the race by the last event start.
int g_started[RIDER_SLOTS];
int g_starts;
void record_start(const char *, const int *types, int, int, int) {
    memcpy(g_started, types, sizeof g_started);
    g_starts++;
}

}  // namespace

TEST_F(SeriesTest, ReadsGoodFilesAndDropsBadOnes) {
    ASSERT_TRUE(load(series_text(3, 2, "Novice")));
    EXPECT_STREQ(series.title, "Test Cup");
    EXPECT_EQ(series.robots, 3);
    EXPECT_EQ(series.skill, 0);
    EXPECT_EQ(series.event_count, 2);
    EXPECT_STREQ(series.events[1].title, "Round 2");
    EXPECT_EQ(series.events[0].points[0], 10);
    EXPECT_STREQ(series.standings, "@series/test.series_standings");
    ASSERT_TRUE(load(series_text(2, 1, "Whatever")));
    EXPECT_EQ(series.skill, 2);   // any other word means Expert
    // Unquoted one-word titles read as well.
    std::string words = series_text(1, 1);
    words.replace(0, 10, "Cup");
    words.replace(words.find("\"Round 1\""), 9, "Opener");
    ASSERT_TRUE(load(words));
    EXPECT_STREQ(series.title, "Cup");
    EXPECT_STREQ(series.events[0].title, "Opener");

    EXPECT_TRUE(load(series_text(159, 1)));    // 160 participants fit
    EXPECT_FALSE(load(series_text(160, 1)));   // 161 do not
    EXPECT_FALSE(load(series_text(2, 1, "Amateur", "nosuchtrack")));
    std::string cut = series_text(2, 2);
    EXPECT_FALSE(load(cut.substr(0, cut.size() - 40)));   // points of the last event missing
    EXPECT_FALSE(load("\"Unterminated\n2 Expert 20 21 1\n"));
    EXPECT_FALSE(load("\"T\" -1 Expert 0\n"));
}

TEST_F(SeriesTest, StandingsFileLinesAndTheirEnd) {
    ASSERT_TRUE(load(series_text(2, 3)));
    // Positions + 1 per participant (robots 20, 21, then the player); the third line is cut.
    home_put("series/test.series_standings", "2 1 3 \n1 3 2 \n3 1");
    DataStream *stream = data_open("@series/test.series_standings", "rb");
    ASSERT_NE(stream, nullptr);
    series_read_standings(stream, &series);
    data_close(stream);
    ASSERT_EQ(series.completed, 2);
    EXPECT_EQ(series.events[0].position[1], 0);
    EXPECT_EQ(series.events[1].position[2], 1);
    // Totals: robot 20 9 + 10, robot 21 10 + 8, the player 8 + 9.
    EXPECT_EQ(series_points(&series, 0, 1), 19);
    EXPECT_EQ(series_points(&series, 1, 1), 18);
    EXPECT_EQ(series_points(&series, 2, 1), 17);
    EXPECT_EQ(series.events[1].order[0], 0);
    EXPECT_EQ(series.events[1].order[1], 1);
    EXPECT_EQ(series.events[1].order[2], 2);

    // A position outside the participants ends the reading.
    home_put("series/test.series_standings", "2 1 3 \n1 9 2 \n");
    stream = data_open("@series/test.series_standings", "rb");
    series_read_standings(stream, &series);
    data_close(stream);
    EXPECT_EQ(series.completed, 1);
}

TEST_F(SeriesTest, TieOnPointsGoesToTheBetterLatestResult) {
    ASSERT_TRUE(load(series_text(1, 2)));
    // Event 1: robot wins (10), player second (9). Event 2: player wins (10), robot second (9).
    home_put("series/test.series_standings", "1 2 \n2 1 \n");
    DataStream *stream = data_open("@series/test.series_standings", "rb");
    series_read_standings(stream, &series);
    data_close(stream);
    ASSERT_EQ(series.completed, 2);
    EXPECT_EQ(series_points(&series, 0, 1), series_points(&series, 1, 1));
    EXPECT_EQ(series.events[1].order[0], 1);   // the player won the latest event
    EXPECT_EQ(series.events[0].order[0], 0);
}

TEST_F(SeriesTest, LineupFirstEventInFileOrderLaterWorstFirst) {
    int types[RIDER_SLOTS];
    ASSERT_TRUE(load(series_text(3, 3)));
    ASSERT_TRUE(series_lineup(&series, types));
    EXPECT_EQ(types[0], START_ROBOT_NUMBER + 20);
    EXPECT_EQ(types[2], START_ROBOT_NUMBER + 22);
    EXPECT_EQ(types[3], START_HUMAN);
    EXPECT_EQ(types[4], START_EMPTY);

    // After event 1: robot 21 won, the player second, robot 20 third, robot 22 no position.
    home_put("series/test.series_standings", "3 1 4 2 \n");
    DataStream *stream = data_open("@series/test.series_standings", "rb");
    series_read_standings(stream, &series);
    data_close(stream);
    ASSERT_TRUE(series_lineup(&series, types));
    // Few riders: every other gate from the seventh, worst first.
    EXPECT_EQ(types[6], START_ROBOT_NUMBER + 22);
    EXPECT_EQ(types[8], START_ROBOT_NUMBER + 20);
    EXPECT_EQ(types[10], START_HUMAN);
    EXPECT_EQ(types[12], START_ROBOT_NUMBER + 21);
    EXPECT_EQ(types[0], START_EMPTY);

    // Many riders: from the middle of the grid outwards, worst first.
    ASSERT_TRUE(load(series_text(15, 2)));
    std::string line;
    for (int p = 0; p < 16; p++)
        line += std::to_string(16 - p) + " ";   // robot 20 last ... the player first
    home_put("series/test.series_standings", line + "\n");
    stream = data_open("@series/test.series_standings", "rb");
    series_read_standings(stream, &series);
    data_close(stream);
    ASSERT_TRUE(series_lineup(&series, types));
    EXPECT_EQ(types[10], START_ROBOT_NUMBER + 20);   // last place
    EXPECT_EQ(types[9], START_ROBOT_NUMBER + 21);
    EXPECT_EQ(types[11], START_ROBOT_NUMBER + 22);
    EXPECT_EQ(types[2], START_HUMAN);                // the winner, sixteenth from the worst
}

TEST_F(SeriesTest, EnteredEventScoresStandingsAndPracticeNeverWrites) {
    series_set_starter(record_start);
    home_put("series/test.series", series_text(2, 2));
    data_reset();   // the names list is read again with the new file
    series_load_all(0);
    int index = -1;
    for (int i = 0; i < series_count(); i++)
        if (strcmp(series_get(i)->file, "series/test.series") == 0)
            index = i;
    ASSERT_GE(index, 0);

    // Practice: the race starts, nothing is scored or written.
    g_starts = 0;
    ASSERT_TRUE(series_event_start(index, 1));
    EXPECT_EQ(g_starts, 1);
    EXPECT_EQ(g_started[2], START_HUMAN);
    series_event_score();
    EXPECT_EQ(series_get(index)->completed, 0);
    EXPECT_EQ(home_file("series/test.series_standings"), "");

    // Entered and left early: robot 21 leads, the player (unfinished) has no position.
    ASSERT_TRUE(series_event_start(index, 0));
    rider(0, {100, 200, 300}, 0, "21");
    rider(1, {100, 200}, 0, "20");
    Bike *player = rider(2, {100, 200, 300, 400}, 0, "1");
    race.controller[2] = CONTROL_LOCAL;
    (void)player;
    standings_build();
    series_event_score();
    Series *s = series_get(index);
    EXPECT_EQ(s->completed, 1);
    EXPECT_EQ(home_file("series/test.series_standings"), "2 1 3 \n");
    EXPECT_EQ(series_points(s, 2, 0), 8);   // position R + 1 = 3 scores the third place's points
    // Nothing is waiting any more.
    series_event_score();
    EXPECT_EQ(s->completed, 1);
    series_set_starter(nullptr);
}

TEST_F(SeriesTest, EnteringAgainScoresTheEventLeftAndStartsTheNext) {
    series_set_starter(record_start);
    home_put("series/test.series", series_text(1, 3));
    data_reset();
    series_load_all(0);
    int index = -1;
    for (int i = 0; i < series_count(); i++)
        if (strcmp(series_get(i)->file, "series/test.series") == 0)
            index = i;
    ASSERT_GE(index, 0);
    ASSERT_TRUE(series_event_start(index, 0));
    rider(0, {100}, 0, "20");
    standings_build();
    // Left for the next event: event 1 is scored and event 2 starts, worst first from gate 7.
    ASSERT_TRUE(series_event_start(index, 0));
    Series *s = series_get(index);
    EXPECT_EQ(s->completed, 1);
    EXPECT_EQ(g_started[6], START_HUMAN);              // no position: the back of the order
    EXPECT_EQ(g_started[8], START_ROBOT_NUMBER + 20);  // the winner
    series_event_score();
    EXPECT_EQ(s->completed, 2);
    EXPECT_EQ(home_file("series/test.series_standings"), "1 2 \n1 2 \n");
    series_set_starter(nullptr);
}

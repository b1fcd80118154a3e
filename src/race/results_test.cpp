// The results file: byte for byte, with CR LF line ends, penalties and skipped entries.
#include "race/results.h"

#include "race/race_test_support.h"

using ResultsTest = RaceFixture;

// The file without its header line (which carries the date).
static std::string after_header(const std::string &text, std::string *header) {
    size_t end = text.find("\r\n");
    if (end == std::string::npos)
        return "";
    *header = text.substr(0, end + 2);
    return text.substr(end + 2);
}

TEST_F(ResultsTest, FinishersTheirTimesAndCrossingLines) {
    track_get()->name = "rabbithill";
    physics_set_race_start(1280);
    race_set_length(0, 3);
    // Three laps of four entries; lap 2 is the best (10 s).
    std::vector<int> c;
    for (int k = 0; k < 12; k++)
        c.push_back(1280 + 128 * 3 * (k + 1) + (k >= 4 && k <= 7 ? -128 : 0) + (k > 7 ? 256 : 0));
    Bike *winner = rider(0, c, 1, "7", "yz125");
    std::vector<int> second = c;
    second[5] = -1;   // a skipped entry in lap 2
    for (int &s : second)
        if (s > 0)
            s += 640;
    rider(1, second, 1, "42", "crf250(2008)");
    race_bookkeeping();
    ASSERT_TRUE(race.results_final);
    ASSERT_EQ(race.final_order[0].slot, 0);
    (void)winner;

    std::string header;
    std::string body = after_header(home_file("results.txt"), &header);
    EXPECT_EQ(header.rfind("Time=0.00|Laps=3|Track=rabbithill|Date=", 0), 0u) << header;
    int penalty = race.final_penalty[1];
    ASSERT_GT(penalty, 0);
    long total1 = long((second[11] + penalty - 1280) * 1000.0 / 128.0);
    char line1[200];
    snprintf(line1, sizeof line1, "  42 | crf250(2008) |    3 | %3ld:%02ld.%03ld | ", total1 / 60000,
             (total1 / 1000) % 60, total1 % 1000);
    std::string expected =
        " No. |         Bike | Laps | Total Time | BLap |  Best Time\r\n"
        "   7 |        yz125 |    3 |   0:38.000 |    2 |   0:11.000\r\n" +
        std::string(line1) + "   2 |   0:11.000\r\n"
        "\r\n12\r\n"
        "   3.000    6.000    9.000   12.000\r\n"
        "  14.000   17.000   20.000   23.000\r\n"
        "  29.000   32.000   35.000   38.000\r\n"
        "\r\n12\r\n"
        "   8.000   11.000   14.000   17.000\r\n"
        "  19.000       -1   25.000   28.000\r\n"
        "  34.000   37.000   40.000   43.000\r\n";
    EXPECT_EQ(body, expected);
}

TEST_F(ResultsTest, UnfinishedRidersGetNoLines) {
    track_get()->name = "rabbithill";
    rider(0, {100, 200, 300, 500}, 1, "5", "kx125");
    rider(1, {100, 200}, 0, "6", "kx125");
    StandingsEntry list[2] = {{0, 4, 500}, {1, 2, 200}};
    results_write(list, 2);
    std::string header;
    EXPECT_EQ(after_header(home_file("results.txt"), &header),
              " No. |         Bike | Laps | Total Time | BLap |  Best Time\r\n"
              "   5 |        kx125 |    1 |   0:03.906 |    0 |   0:00.000\r\n"
              "\r\n4\r\n"
              "   0.781    1.562    2.344    3.906\r\n");
}

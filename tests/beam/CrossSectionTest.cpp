#include <gtest/gtest.h>

#include <cmath>

#include "beam/CrossSection.h"
#include "support/CaseNames.h"

namespace {

using case_names::PrintTo;  // rows print as their names

// Garwood's 95 % limits from printed chi-square tables: N = 1 from
// χ²(0.025; 2) = 0.0506 and χ²(0.975; 4) = 11.143, N = 10 from
// χ²(0.025; 20) = 9.591 and χ²(0.975; 22) = 36.781; no events: −ln 0.05.
struct LimitCase {
    const char* name;
    std::int64_t events;
    double lower, upper, tolerance;
};

class PoissonLimitsOf : public testing::TestWithParam<LimitCase> {};

TEST_P(PoissonLimitsOf, MatchTheChiSquareTables) {
    const LimitCase& c = GetParam();
    const PoissonLimits limits = poissonLimits95(c.events);
    EXPECT_NEAR(limits.lower, c.lower, c.tolerance);
    EXPECT_NEAR(limits.upper, c.upper, c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(Counts, PoissonLimitsOf,
                         testing::Values(LimitCase{"none", 0, 0, 2.996, 5e-4}, LimitCase{"one", 1, 0.0253, 5.572, 5e-4},
                                         LimitCase{"ten", 10, 4.795, 18.39, 5e-3}),
                         RowName{});

RunSummary run(std::int64_t number, const char* let, const char* tilt, const char* fluence, const char* events) {
    RunSummary r;
    r.run = number;
    r.conditions.effectiveLet = let;
    r.conditions.t = tilt;
    r.fluence = fluence;
    r.events = events;
    return r;
}

// σ = 1e-6 cm² · (1 − exp(−((L − 2) / 20)^1.5)), the events its expected
// counts rounded: at 1e9 /cm², except LET 15 at T 60° (5e8 /cm² effective)
// and LET 25, two runs of 5e8 /cm² logged as "25" and "25.0". LET 1.5 is
// below the onset. Run 7's events come from the events file.
std::vector<RunSummary> weibullLogbook() {
    std::vector<RunSummary> runs = {
        run(1, "1.5", "0.000", "1e9", "0"),     run(2, "4", "0.000", "1e9", "31"),
        run(3, "8", "0.000", "1e9", "152"),     run(4, "15", "60.000", "1e9", "204"),
        run(5, "25", "0.000", "5e8", "354"),    run(6, "40", "0.000", "1e9", "927"),
        run(7, "70", "0.000", "1e9", "1"),      run(8, "25.0", "0.000", "5e8", "355"),
        run(9, "30", "0.000", "", "3"),         run(10, "30", "90.000", "1e9", "3"),
        run(11, "Infinite!", "0.000", "1e9", "3"), run(12, "30", "0.000", "1e9", ""),
        run(13, "30", "0.000", "-1", "3"),      run(14, "30", "0.000", "1e9", "3")};
    runs.back().open = true;
    return runs;
}

RunEvents weibullEvents() {
    RunEvents events;
    events.fileName = "RunEvents.csv";
    events.events = {{7, 998}, {99, 5}};
    return events;
}

TEST(CrossSection, RunsOfAKnownCurveGiveItsCrossSectionsAndItsWeibullParameters) {
    const CrossSectionData data = crossSections(weibullLogbook(), weibullEvents());
    EXPECT_EQ(data.problems, (std::vector<std::string>{
                                 "run 9: no fluence - left out",
                                 "run 10: tilt T '90.000' is not below 90 degrees - left out",
                                 "run 11: effective LET 'Infinite!' is not a number above 0 - left out",
                                 "run 12: no event count - left out",
                                 "run 13: fluence '-1' is not a number above 0 - left out",
                                 "run 14: still open - left out",
                                 "RunEvents.csv: run 99 is not in the logbook - its events are ignored"}));
    ASSERT_EQ(data.perRun.size(), 8u);
    EXPECT_EQ(data.perRun[3].runs, std::vector<std::int64_t>{4});
    EXPECT_NEAR(data.perRun[3].effectiveFluence, 5e8, 1);
    EXPECT_NEAR(data.perRun[3].sigma, 4.08e-7, 1e-12);
    // Hand-worked σ = N / Φ_eff per LET.
    const std::vector<std::pair<double, double>> expected = {{1.5, 0},      {4, 3.1e-8},     {8, 1.52e-7},
                                                             {15, 4.08e-7}, {25, 7.09e-7},   {40, 9.27e-7},
                                                             {70, 9.98e-7}};
    ASSERT_EQ(data.perLet.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(data.perLet[i].effectiveLet, expected[i].first);
        EXPECT_NEAR(data.perLet[i].sigma, expected[i].second, 1e-12) << i;
    }
    EXPECT_EQ(data.perLet[4].runs, (std::vector<std::int64_t>{5, 8}));
    EXPECT_EQ(data.perLet[4].effectiveLetText, "25");
    EXPECT_NEAR(data.perLet[0].upper, 2.996e-9, 1e-12);  // no events: the one-sided limit

    const WeibullFit fit = fitWeibull(data.perLet);
    ASSERT_TRUE(fit.fitted) << fit.message;
    EXPECT_NEAR(fit.value.onset, 2, 0.05);
    EXPECT_NEAR(fit.value.width, 20, 0.4);
    EXPECT_NEAR(fit.value.shape, 1.5, 0.03);
    EXPECT_NEAR(fit.value.saturation, 1e-6, 2e-8);
    // About a thousand events at saturation: σ_sat known to about 3 %.
    EXPECT_GT(fit.uncertainty.saturation, 1e-8);
    EXPECT_LT(fit.uncertainty.saturation, 1e-7);

    // The onset rests on 31 events at LET 4 alone: the next run belongs
    // between it and LET 4.
    const NextLet next = suggestNextLet(data.perLet, fit);
    ASSERT_TRUE(next.found) << next.reason;
    EXPECT_GT(next.let, 2);
    EXPECT_LT(next.let, 4);
    EXPECT_EQ(next.reason, "the onset is least determined");

    const std::vector<CrossSectionPoint> three(data.perLet.begin(), data.perLet.begin() + 4);
    const WeibullFit none = fitWeibull(three);
    EXPECT_FALSE(none.fitted);
    EXPECT_EQ(none.message,
              "The Weibull fit needs events at four effective LETs or more; these runs have events at 3.");
    EXPECT_EQ(formatWeibullCsv(none), "\nparameter,value,uncertainty\n");
}

struct EventsCase {
    const char* name;
    const char* content;
    std::map<std::int64_t, std::int64_t> events;
    std::vector<std::string> problems;
};

class EventsFile : public testing::TestWithParam<EventsCase> {};

TEST_P(EventsFile, NamesEachBadLineOnceAndKeepsTheRest) {
    const RunEvents read = parseRunEvents(GetParam().content, "RunEvents.csv");
    EXPECT_EQ(read.events, GetParam().events);
    EXPECT_EQ(read.problems, GetParam().problems);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, EventsFile,
    testing::Values(
        EventsCase{"header_crlf_and_a_later_line_replacing", "run,events\r\n3,12\r\n\r\n4, 0\r\n3,14\r\n",
                   {{3, 14}, {4, 0}}, {}},
        EventsCase{"bad_values",
                   "1,-3\n2,2.5\n0,4\nfive,1\n6\n7,1,2\n8,9\n",
                   {{8, 9}},
                   {"RunEvents.csv, line 1: events '-3' are not a whole number >= 0 - ignored",
                    "RunEvents.csv, line 2: events '2.5' are not a whole number >= 0 - ignored",
                    "RunEvents.csv, line 3: run '0' is not a run number - ignored",
                    "RunEvents.csv, line 4: run 'five' is not a run number - ignored",
                    "RunEvents.csv, line 5: '6' is not \"run,events\" - ignored",
                    "RunEvents.csv, line 6: '7,1,2' is not \"run,events\" - ignored"}},
        EventsCase{"binary", "1,2\n3,\x01\n", {}, {"RunEvents.csv, line 2: binary content (byte 0x01) - the file is not read"}}),
    RowName{});

}  // namespace

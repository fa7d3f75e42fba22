#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/CampaignState.h"  // TestPlanStep

// A campaign's test plan: a CSV file of steps, each an ion and a wanted
// effective LET (or an energy at the substrate), the minimum range the device
// needs, the fluence and event goals, and where `tarvex-let solve --plan-out`
// chose it, the setting (S, R, T) that gives it. The console steps through it
// in its "Campaign" window.

inline constexpr const char* kTestPlanHeader =
    "step,ion,effective LET (MeV cm2/mg),energy (MeV/u),minimum range (um),fluence goal (1/cm2),event goal,S,R,T,"
    "comment";
inline constexpr std::size_t kTestPlanMaxBytes = std::size_t{1} << 20;  // bytes

struct TestPlan {
    std::vector<TestPlanStep> steps;  // in file order
    // Lines or values passed over, each named once: "Plan.csv, line 4: ion
    // '12Zz' is not one of the station's - the step is left out".
    std::vector<std::string> problems;
};

// `knownIons`: the ion names the station can give ("84Kr"); empty: any.
TestPlan parseTestPlan(std::string_view content, const std::string& fileName,
                       const std::vector<std::string>& knownIons = {});
// Regular files only, never through a link, at most kTestPlanMaxBytes.
TestPlan readTestPlan(const std::string& path, const std::vector<std::string>& knownIons = {});
// The header and one line per step.
std::string formatTestPlan(const std::vector<TestPlanStep>& steps);

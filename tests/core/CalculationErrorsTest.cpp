#include <gtest/gtest.h>

#include "core/Console.h"
#include "support/CaseNames.h"
#include "support/ScriptedUi.h"

namespace {

using case_names::PrintTo;  // rows print as their names

struct MessageCase {
    const char* name;
    int code;
    const char* context;
    const char* text;
};

const MessageCase kMessages[] = {
    {"NegativeEnergy", 1, "Al degrader", "Error in Al degrader calculation: negative beam energy."},
    {"WrongDirection", 2, "passivation layer",
     "Error in passivation layer calculation - beam energy steps are in the wrong direction."},
    {"FullyStopped", 3, "Al degrader", "Error in Al degrader calculation - beam fully stopped."},
    {"TableMissing", 5, "ignored context",
     " \n\nError - Stopping power table for the selected nuclide not found.\n\n"
     "Use Set Options to switch to legacy calculations and try again."},
    {"ModeFileMissing", 7, "ignored context", "Error - unable to open DoLegacyCalculations.dat"},
};

class CalculationMessage : public testing::TestWithParam<MessageCase> {};

TEST_P(CalculationMessage, ShowsTheExactTextWithErrorIconOkButtonAndCaption) {
    const MessageCase& c = GetParam();
    ScriptedUi ui;
    Console console(ui);
    reportCalculationError(console.messages, c.code, c.context);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, c.text);
    EXPECT_EQ(ui.boxes[0].caption, "Tarvex");
    EXPECT_EQ(ui.boxes[0].icon, Icon::Stop);
    EXPECT_EQ(ui.boxes[0].buttons, Buttons::Ok);
    EXPECT_EQ(ui.boxes[0].defaultButton, Button::Ok);
}

INSTANTIATE_TEST_SUITE_P(Codes, CalculationMessage, testing::ValuesIn(kMessages),
                         RowName{});

TEST(CalculationMessage, CodeZeroShowsNothing) {
    ScriptedUi ui;
    Console console(ui);
    reportCalculationError(console.messages, 0, "Al degrader");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST(CalculationMessage, ContextIsInsertedUnchanged) {
    ScriptedUi ui;
    Console console(ui);
    reportCalculationError(console.messages, 3, " odd  name ");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Error in  odd  name  calculation - beam fully stopped.");
}

TEST(CalculationMessage, CodesTheEngineNeverReturnsShowNothing) {
    ScriptedUi ui;
    Console console(ui);
    for (int code : {4, 6, 8, -1}) reportCalculationError(console.messages, code, "x");
    EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace

#include <gtest/gtest.h>

#include "gui/message_box.h"
#include "scripted_boxes.h"

namespace qm::gui {
namespace {

TEST(MessageBoxes, WarningsAndErrorsCarryTheirCatalogueCaptions) {
    test::ScriptedBoxes boxes;
    ShowWarning("careful");
    ShowError("broken");
    ShowInfo("Caption", "info");
    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_EQ(boxes.shown[0].caption, "Warning");
    EXPECT_EQ(boxes.shown[0].icon, BoxIcon::Warning);
    EXPECT_EQ(boxes.shown[1].caption, "Error");
    EXPECT_EQ(boxes.shown[1].icon, BoxIcon::Error);
    EXPECT_EQ(boxes.shown[2].caption, "Caption");
    EXPECT_EQ(boxes.shown[2].text, "info");
}

TEST(MessageBoxes, QuestionsTakeTheScriptedAnswersInOrder) {
    test::ScriptedBoxes boxes;
    boxes.answers = {true, false};
    EXPECT_TRUE(AskYesNo(BoxIcon::Question, "Q", "first?"));
    EXPECT_FALSE(AskYesNo(BoxIcon::Question, "Q", "second?"));
    EXPECT_FALSE(AskYesNo(BoxIcon::Question, "Q", "unscripted?"));
    EXPECT_EQ(boxes.shown.size(), 3u);
}

} // namespace
} // namespace qm::gui

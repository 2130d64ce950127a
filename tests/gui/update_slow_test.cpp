// The update check with its real limits: a peer that never answers ends the check after about
// ten seconds with the connection problems box.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "gui/update_check.h"
#include "loopback_server.h"
#include "scripted_boxes.h"

namespace qm::gui {
namespace {

TEST(UpdateCheckSlow, ASilentPeerEndsTheCheckAfterTenSeconds) {
    test::LoopbackServer silent("", test::LoopbackServer::Mode::Silent);
    setenv(UpdateUrlVariable, silent.url().c_str(), 1);
    test::ScriptedBoxes boxes;
    const auto start = std::chrono::steady_clock::now();
    CheckForUpdates();
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count();
    unsetenv(UpdateUrlVariable);
    EXPECT_GE(elapsed, 10000);
    EXPECT_LT(elapsed, 11500);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Internet connection problems!");
}

} // namespace
} // namespace qm::gui

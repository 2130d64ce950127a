// Main of the window tests: one QApplication on the offscreen platform for the whole run.
#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

#include "core/catalogue.h"

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    qm::LoadCatalogue();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

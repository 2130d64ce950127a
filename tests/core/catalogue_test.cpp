#include "core/catalogue.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace qm {
namespace {

class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override { LoadCatalogue(); }
};

TEST_F(CatalogueTest, SampleEntriesOfEveryGroupAreExact) {
    EXPECT_EQ(GetText("Menu", "Custom Converter"), "Find a File Converter...");
    EXPECT_EQ(GetText("Menu", "About"), "About...");
    EXPECT_EQ(GetText("General", "Preparing"), "Preparing...");
    EXPECT_EQ(GetText("General", "Converting"), "Converting...");
    EXPECT_EQ(GetText("Msg", "Empty input files"),
              "No input file(s) found. Please, add valid file(s) and try again!");
    EXPECT_EQ(GetText("Msg", "Invalid output folder"),
              "The following output folder is invalid or doesn't exist:\r\n%s1%\r\n\r\n"
              "Please, correct the output path and try again!");
    EXPECT_EQ(GetText("Msg", "Files converted"), "Files converted: %s1% of %s2%");
    EXPECT_EQ(GetText("Dialog", "Import Input Files"), "Import Input Files From A List");
    EXPECT_EQ(GetText("Preferences", "Title"), "Preferences...");
    EXPECT_EQ(GetText("Preferences", "Catmullrom"), "Catmull-Rom Spline");
    EXPECT_EQ(GetText("Preferences", "Strikeout"), "Strikethrough");
    EXPECT_EQ(GetText("Preferences", "Clean Recent Files"), "Clean Recent Files List on Exit");
    EXPECT_EQ(GetText("Preferences", "ZLIB9"), "ZLib Level 9");
    EXPECT_EQ(GetText("About", "Website"), "Web:");
    EXPECT_EQ(GetText("Custom-Converter", "Search"), "Search");
    EXPECT_EQ(GetText("Uninstall", "Uninstall Text"), "Full Uninstall - Visit Uninstall Center");
}

TEST(CatalogueData, GroupsHoldTheirEntryCountsInOrder) {
    std::vector<std::pair<std::string, int>> groups;
    for (const CataloguePair& p : BuiltInCatalogueData()) {
        if (std::string(p.first) == "_END_")
            break;
        if (std::string(p.first) == "_GROUP_")
            groups.emplace_back(p.second, 0);
        else
            ++groups.back().second;
    }
    const std::vector<std::pair<std::string, int>> expected = {{"Menu", 28},
                                                               {"General", 10},
                                                               {"Msg", 41},
                                                               {"Dialog", 16},
                                                               {"Preferences", 214},
                                                               {"About", 4},
                                                               {"Custom-Converter", 4},
                                                               {"Uninstall", 3}};
    EXPECT_EQ(groups, expected);
}

TEST_F(CatalogueTest, EveryBuiltInEntryIsFoundByItsKey) {
    // Keys repeated inside a group (Preferences/Medium) carry the same text.
    std::string group;
    for (const CataloguePair& p : BuiltInCatalogueData()) {
        const std::string first = p.first;
        if (first == "_END_")
            break;
        if (first == "_GROUP_")
            group = p.second;
        else
            EXPECT_EQ(GetText(group, first), p.second) << group << "/" << first;
    }
}

TEST_F(CatalogueTest, LookupIgnoresLetterCaseAndSwitchesGroups) {
    EXPECT_EQ(GetText("msg", "invalid WIDTH"), "Invalid resize width value!");
    EXPECT_EQ(GetText("MENU", "exit"), "Exit");
    EXPECT_EQ(GetText("msg", "error"), "Error");
    EXPECT_EQ(GetText("Dialog", "OK"), "OK");
    EXPECT_EQ(GetText("Msg", "Warning"), "Warning");
}

TEST_F(CatalogueTest, MissingEntriesGiveTheFallback) {
    EXPECT_EQ(GetText("Nowhere", "Error"), "%NO_STRING_ERROR%");
    EXPECT_EQ(GetText("Msg", "Errors"), "%NO_STRING_ERROR%");
    EXPECT_EQ(GetText("Msg", "Eq"), "%NO_STRING_ERROR%");    // sorts between existing keys
    EXPECT_EQ(GetText("Msg", "Zebra"), "%NO_STRING_ERROR%"); // no key begins with Z
    EXPECT_EQ(GetText("Msg", ""), "%NO_STRING_ERROR%");
    EXPECT_EQ(GetText("", "Error"), "%NO_STRING_ERROR%");
    EXPECT_EQ(GetText("Msg", "\xE2\x82\xAC"
                             "uro"),
              "%NO_STRING_ERROR%"); // first code > 255
    EXPECT_EQ(GetText("Msg", "\xC3\xA9t\xC3\xA9"), "%NO_STRING_ERROR%");
    EXPECT_EQ(GetText("Msg", "\xFF"), "%NO_STRING_ERROR%");
}

TEST(CatalogueLoad, CustomDataSortsRunsAndKeepsEmptyGroups) {
    const CataloguePair data[] = {
        {"_group_", "Empty"}, {"_GROUP_", "b"},           {"zeta", "Z"},    {"alpha", "A"},
        {"Beta", "B"},        {"\xC3\xA9t\xC3\xA9", "E"}, {"_GROUP_", "c"}, {"alpha", "C-A"},
        {"_end_", ""},        {"late", "never"}};
    LoadCatalogue(data);
    EXPECT_EQ(GetText("b", "ALPHA"), "A");
    EXPECT_EQ(GetText("b", "beta"), "B");
    EXPECT_EQ(GetText("b", "Zeta"), "Z");
    EXPECT_EQ(GetText("b", "\xC3\xA9t\xC3\xA9"), "E");
    EXPECT_EQ(GetText("c", "alpha"), "C-A");
    EXPECT_EQ(GetText("empty", "alpha"), "%NO_STRING_ERROR%");
    EXPECT_EQ(GetText("c", "late"), "%NO_STRING_ERROR%");
    LoadCatalogue();
}

TEST(FillPlaceholders, ReplacesGivenValuesAndKeepsEmptyOnes) {
    EXPECT_EQ(FillPlaceholders("Files converted: %s1% of %s2%", "3"), "Files converted: 3 of %s2%");
    EXPECT_EQ(FillPlaceholders("Files converted: %s1% of %s2%", "2", "3"),
              "Files converted: 2 of 3");
    EXPECT_EQ(FillPlaceholders("%S1%-%s1%-%s4%", "x", "", "", "y"), "x-x-y");
    EXPECT_EQ(FillPlaceholders("", "a", "b", "c", "d"), "");
    // Values are substituted one after another on the same text.
    EXPECT_EQ(FillPlaceholders("[%s1%]", "%s2%", "two"), "[two]");
    EXPECT_EQ(FillPlaceholders("%s1%", "%s1%%s1%"), "%s1%%s1%");
}

} // namespace
} // namespace qm

#include "main/KeyTable.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "main/PanelHint.h"

namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;

Rows tableRows()
{
    Rows rows;
    for (std::size_t i = 0; i < keyTableSize; ++i)
        rows.emplace_back(keyTable[i].keys, keyTable[i].action);
    return rows;
}

std::string withoutManEscapes(std::string text)
{
    for (const char* escape : {"\\-", "\\fB", "\\fR", "\\fI"}) {
        const std::string from(escape);
        const std::string to = from == "\\-" ? "-" : "";
        for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at))
            text.replace(at, from.size(), to);
    }
    return text;
}

// The man page's KEYS section: each ".TP", then ".B keys", then the action.
Rows manPageRows(const std::string& path)
{
    std::ifstream in(path);
    Rows rows;
    std::string line;
    bool inKeys = false;
    while (std::getline(in, line)) {
        if (line.rfind(".SH", 0) == 0)
            inKeys = line == ".SH KEYS";
        if (!inKeys || line != ".TP")
            continue;
        std::string keys;
        std::string action;
        std::getline(in, keys);
        std::getline(in, action);
        if (keys.rfind(".B ", 0) == 0)
            keys = keys.substr(3);
        rows.emplace_back(withoutManEscapes(keys), withoutManEscapes(action));
    }
    return rows;
}

// The README's key table: the rows under its "### Keys and mouse" heading.
Rows readmeRows(const std::string& path)
{
    std::ifstream in(path);
    Rows rows;
    std::string line;
    bool inSection = false;
    while (std::getline(in, line)) {
        if (line.rfind("#", 0) == 0)
            inSection = line == "### Keys and mouse";
        if (!inSection || line.rfind("| ", 0) != 0)
            continue;
        const std::size_t middle = line.find(" | ", 2);
        if (middle == std::string::npos)
            continue;
        std::string keys = line.substr(2, middle - 2);
        std::string action = line.substr(middle + 3);
        if (action.size() >= 2 && action.compare(action.size() - 2, 2, " |") == 0)
            action.resize(action.size() - 2);
        if (keys.size() >= 2 && keys.front() == '`' && keys.back() == '`')
            keys = keys.substr(1, keys.size() - 2);
        if (keys == "keys")
            continue;  // the heading row
        rows.emplace_back(keys, action);
    }
    return rows;
}

void expectSameRows(const Rows& documented, const char* where)
{
    const Rows table = tableRows();
    ASSERT_EQ(documented.size(), table.size())
        << where << " lists " << documented.size() << " keys, the tool " << table.size();
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(documented[i].first, table[i].first) << where << ", row " << i;
        EXPECT_EQ(documented[i].second, table[i].second) << where << ", row " << i;
    }
}

}  // namespace

TEST(KeyTable, EveryKeyIsListedOnceWithAnAction)
{
    std::set<std::string> seen;
    for (std::size_t i = 0; i < keyTableSize; ++i) {
        EXPECT_TRUE(seen.insert(keyTable[i].keys).second) << keyTable[i].keys << " twice";
        EXPECT_STRNE(keyTable[i].action, "");
    }
    EXPECT_TRUE(seen.count("? or F1")) << "the overlay names its own key";
}

TEST(KeyTable, TheManPageAndTheReadmeListTheSameKeysAsTheTool)
{
    expectSameRows(manPageRows(WEATHERING_SOURCE_DIR "/install/weathering.1"), "the man page");
    expectSameRows(readmeRows(WEATHERING_SOURCE_DIR "/README.md"), "the README");
}

TEST(PanelHint, FollowsPhotographPathAndSimulation)
{
    EXPECT_STREQ(panelHint({false, 0, false, false}), "Load Image ... opens a photograph");
    EXPECT_STREQ(panelHint({false, 3, true, true}), "Load Image ... opens a photograph");
    EXPECT_STREQ(panelHint({true, 0, false}), "Click a clean spot, then more weathered ones");
    EXPECT_STREQ(panelHint({true, 1, false}), "Now click a more weathered spot");
    EXPECT_STREQ(panelHint({true, 2, false}), "Tick Enable Simulation, or paint with the brush");
    EXPECT_STREQ(panelHint({true, 5, false}), "Tick Enable Simulation, or paint with the brush");
    // Ticked before the path is ready, the hint says that nothing happens.
    EXPECT_STREQ(panelHint({true, 0, true}), "No path yet: nothing weathers and no step is counted");
    EXPECT_STREQ(panelHint({true, 1, true}), "No path yet: nothing weathers and no step is counted");
    EXPECT_STRNE(panelHint({true, 2, true}), panelHint({true, 1, true}));
    // In brush mode without a path, clicks paint nothing: the hint says what to do.
    EXPECT_STREQ(panelHint({true, 1, false, true}), "The brush needs a path: choose Weathering Points and click one");
    EXPECT_STREQ(panelHint({true, 2, false, true}), "Tick Enable Simulation, or paint with the brush");
}

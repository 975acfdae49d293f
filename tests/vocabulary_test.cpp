// The trace's vocabulary: one row per kind, names that read back to their
// kind, channels only where a line is compared, and the documents listing
// exactly the table's kinds.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "vocabulary/handles.h"
#include "vocabulary/kinds.h"

namespace {

using linkwell::vocabulary::Direction;
using linkwell::vocabulary::Kind;
using linkwell::vocabulary::kKinds;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The kinds named in the first column of the table under `heading` (up to
// the next heading of its level): every `WORD` in upper case there.
std::set<std::string> KindsInTable(const std::string& document, const std::string& heading) {
    std::istringstream in(document);
    std::set<std::string> out;
    bool inside = false;
    const std::regex word("`([A-Z][A-Z0-9]*)`");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("## ", 0) == 0) inside = line == heading;
        if (!inside || line.rfind("| `", 0) != 0) continue;
        const std::string first = line.substr(0, line.find('|', 1));
        for (std::sregex_iterator m(first.begin(), first.end(), word), end; m != end; ++m) {
            out.insert((*m)[1]);
        }
    }
    return out;
}

TEST(Vocabulary, EveryKindHasOneRowWhoseNameReadsBack) {
    std::set<std::string_view> names;
    for (const auto& row : kKinds) {
        EXPECT_TRUE(names.insert(row.name).second) << row.name;
        EXPECT_EQ(linkwell::vocabulary::KindNamed(row.name), row.kind) << row.name;
        EXPECT_EQ(linkwell::vocabulary::Name(row.kind), row.name);
        EXPECT_FALSE(row.meaning.empty()) << row.name;
    }
    // The enum's last member is the table's last row: none left out.
    EXPECT_EQ(static_cast<std::size_t>(Kind::Udp) + 1, std::size(kKinds));
    EXPECT_EQ(linkwell::vocabulary::KindNamed("STATUSX"), std::nullopt);
    EXPECT_EQ(linkwell::vocabulary::KindNamed("status"), std::nullopt);
}

TEST(Vocabulary, OnlyOutgoingAndSeenKindsHaveAChannel) {
    std::set<std::string_view> outgoing;
    for (const auto& row : kKinds) {
        EXPECT_EQ(row.channel.empty(), row.direction == Direction::Incoming) << row.name;
        if (row.direction == Direction::Outgoing) outgoing.insert(row.name);
    }
    EXPECT_EQ(outgoing, (std::set<std::string_view>{"L32", "MIXW", "BOX", "STATUS", "END"}));
    EXPECT_EQ(linkwell::vocabulary::ChannelOf("L32"), "Logger32 and MixW");
    EXPECT_EQ(linkwell::vocabulary::ChannelOf("MIXW"), "Logger32 and MixW");
    EXPECT_EQ(linkwell::vocabulary::ChannelOf("CTRL"), "dumps");
    EXPECT_EQ(linkwell::vocabulary::ChannelOf("FILE"), "not-logged.adi");
    EXPECT_EQ(linkwell::vocabulary::ChannelOf("SECOND"), "bridges");
    EXPECT_EQ(linkwell::vocabulary::ChannelOf("BRIDGE"), "bridges");
    EXPECT_EQ(linkwell::vocabulary::ChannelOf("WAITED"), "");
    EXPECT_EQ(linkwell::vocabulary::ChannelOf("NOSUCH"), "");
    EXPECT_TRUE(linkwell::vocabulary::IsOutgoing("END"));
    EXPECT_FALSE(linkwell::vocabulary::IsOutgoing("CTRL"));
    EXPECT_FALSE(linkwell::vocabulary::IsOutgoing("NOSUCH"));
    // Every channel a row names is one of those compared, and each is used.
    for (const auto channel : linkwell::vocabulary::kChannels) {
        EXPECT_TRUE(std::any_of(std::begin(kKinds), std::end(kKinds), [&](const auto& row) {
            return row.channel == channel;
        })) << channel;
    }
}

TEST(Vocabulary, TheDocumentsListExactlyTheTablesKinds) {
    const auto field = KindsInTable(Slurp(LINKWELL_DOCS_DIR "/field-trace.md"), "## Kinds");
    const auto scenario = KindsInTable(Slurp(LINKWELL_DOCS_DIR "/scenarios.md"), "## The trace");
    ASSERT_FALSE(field.empty());
    ASSERT_FALSE(scenario.empty());
    std::set<std::string> documented = field;
    documented.insert(scenario.begin(), scenario.end());
    std::set<std::string> table;
    for (const auto& row : kKinds) table.insert(std::string(row.name));
    EXPECT_EQ(documented, table);
    // The field trace's table holds the incoming kinds, the scenario
    // trace's the others.
    for (const auto& row : kKinds) {
        EXPECT_EQ(field.count(std::string(row.name)) == 1, row.direction == Direction::Incoming)
            << row.name;
    }
}

TEST(Vocabulary, HandleNames) {
    EXPECT_EQ(linkwell::vocabulary::kHandlePrefix, "hwnd:");
    EXPECT_EQ(
        std::vector<std::string_view>(std::begin(linkwell::vocabulary::kHandleNames),
                                      std::end(linkwell::vocabulary::kHandleNames)),
        (std::vector<std::string_view>{"Linkwell", "Sent", "Cluster", "Logger32", "Logger32Text"}));
    EXPECT_EQ(linkwell::vocabulary::kToleranceMs, 400);
}

}  // namespace

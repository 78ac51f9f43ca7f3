#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/engine_contract.h"

namespace tidemark {
namespace {

struct Item {
    std::wstring name;
};

class RecordingSink final : public Sink<Item> {
public:
    void Processed(const Item& item, Outcome outcome) override { seen.emplace_back(item.name, outcome); }
    std::vector<std::pair<std::wstring, Outcome>> seen;
};

class CountingPump final : public Pump {
public:
    void Poll() override { ++polls; }
    int polls = 0;
};

const std::vector<Item> kItems = {{L"a.tmp"}, {L"b.tmp"}, {L"c.tmp"}, {L"d.tmp"}};

// What a preview lists is exactly what a clean is offered, in the same order.
TEST(EngineContract, PreviewAndApplyWalkTheSameRecordsInOrder) {
    RecordingSink preview, apply;
    CountingPump pump;
    StopToken stop;
    int applied = 0;
    const WalkTotals listed = Walk(kItems, WalkMode::Preview, Operation<Item>{preview, pump, stop}, [&](const Item&) {
        ++applied;
        return Outcome::Done;
    });
    EXPECT_EQ(applied, 0) << "a preview acts on nothing";
    EXPECT_EQ(listed.listed, kItems.size());

    const Outcome outcomes[] = {Outcome::Done, Outcome::Deferred, Outcome::Missing, Outcome::Failed};
    const WalkTotals done = Walk(kItems, WalkMode::Apply, Operation<Item>{apply, pump, stop}, [&](const Item&) {
        return outcomes[applied++];
    });
    ASSERT_EQ(preview.seen.size(), apply.seen.size());
    for (std::size_t i = 0; i < kItems.size(); ++i) {
        EXPECT_EQ(preview.seen[i].first, apply.seen[i].first);
        EXPECT_EQ(preview.seen[i].second, Outcome::Listed);
        EXPECT_EQ(apply.seen[i].second, outcomes[i]);
    }
    EXPECT_EQ(done.done + done.deferred + done.missing + done.failed, kItems.size());
    EXPECT_EQ(done.Processed(), kItems.size());
    EXPECT_FALSE(done.stopped);
    EXPECT_EQ(pump.polls, 8);
}

TEST(EngineContract, AStopRequestEndsTheWalkBeforeTheNextRecord) {
    RecordingSink sink;
    NullPump pump;
    StopToken stop;
    const WalkTotals totals = Walk(kItems, WalkMode::Apply, Operation<Item>{sink, pump, stop}, [&](const Item& item) {
        if (item.name == L"b.tmp") stop.Request();  // pressed while b is being removed
        return Outcome::Done;
    });
    EXPECT_TRUE(totals.stopped);
    EXPECT_EQ(totals.done, 2u);
    ASSERT_EQ(sink.seen.size(), 2u);

    stop.Reset();
    StopToken copy = stop;  // a front end's state record is reset by assignment
    stop.Request();
    EXPECT_FALSE(copy.Requested());
    copy = stop;
    EXPECT_TRUE(copy.Requested());
}

TEST(EngineContract, OutcomesHaveTheConsoleNames) {
    const struct { Outcome outcome; const char* name; } cases[] = {
        {Outcome::Listed, "listed"},   {Outcome::Done, "deleted"},     {Outcome::Recycled, "recycled"},
        {Outcome::Deferred, "reboot"}, {Outcome::Missing, "missing"},  {Outcome::Refused, "refused"},
        {Outcome::Failed, "failed"},
    };
    for (const auto& c : cases) EXPECT_STREQ(OutcomeName(c.outcome), c.name);
}

}  // namespace
}  // namespace tidemark

// Shared set-up for the engine tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "globals.h"
#include "host.h"
#include "test_position.h"
#include "types.h"

// Brings the engine back to its start-up state before each test.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
};

// A host whose clock the test drives and which records what the engine shows.
class FakeHost : public EngineHost {
public:
    i64 start = 0;
    i64 nodesPerMs = 0;  // when set, the clock runs with the node counter
    std::vector<i64> script;  // when set, the ticks of successive reads (the last one repeats)
    size_t scriptIndex = 0;
    i64 now = 0;
    bool protocol = false;
    bool post = true;
    int ply = 0;
    i64 moveStart = 0;
    std::function<void()> onMessages;
    int messageCalls = 0;
    std::vector<std::pair<ThinkLabel, std::string>> labels;
    std::vector<std::string> lines;
    double clockLeft = 0;  // what the chess clock shows
    std::vector<int> clockReads;  // the sides whose clock was read

    i64 TickMs() override {
        if (!script.empty()) return script[std::min(scriptIndex++, script.size() - 1)];
        return nodesPerMs ? start + NodeCount / nodesPerMs : now;
    }
    void ProcessMessages() override {
        ++messageCalls;
        if (onMessages) onMessages();
    }
    void SetThinkLabel(ThinkLabel label, const std::string& text) override { labels.emplace_back(label, text); }
    void SendProtocolLine(const std::string& line) override { lines.push_back(line); }
    bool ProtocolMode() override { return protocol; }
    bool PostThinking() override { return post; }
    int CurrentPly() override { return ply; }
    i64 MoveStartTick() override { return moveStart; }
    double ClockLeftMs(int side) override {
        clockReads.push_back(side);
        return clockLeft;
    }

    std::string Last(ThinkLabel label) const {
        for (auto it = labels.rbegin(); it != labels.rend(); ++it)
            if (it->first == label) return it->second;
        return "";
    }
};

// An engine test whose engine host is a FakeHost.
class HostedEngineTest : public EngineTest {
protected:
    FakeHost host;

    void SetUp() override {
        EngineTest::SetUp();
        SetEngineHost(&host);
    }
    void TearDown() override { SetEngineHost(nullptr); }
};

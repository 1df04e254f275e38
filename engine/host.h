// The engine's calls out to the front end. The main window implements this;
// tests and benchmarks use fakes or the default host.
#pragma once

#include <limits>
#include <string>

#include "types.h"

enum class ThinkLabel { BestMove, Depth, CurrentMove, Score, PV };  // lblBestMove .. lblPV

class EngineHost {
public:
    virtual ~EngineHost() = default;
    // Monotonic milliseconds.
    virtual i64 TickMs() = 0;
    // Lets the front end handle pending events; handlers may only raise flags or set values.
    virtual void ProcessMessages() = 0;
    virtual void SetThinkLabel(ThinkLabel label, const std::string& text) = 0;
    // One whole protocol line, without its line feed.
    virtual void SendProtocolLine(const std::string& line) = 0;
    virtual bool ProtocolMode() = 0;
    virtual bool PostThinking() = 0;
    virtual int CurrentPly() = 0;
    virtual i64 MoveStartTick() = 0;
    // Brings the clocks up to date; the side's remaining time in ms.
    virtual double ClockLeftMs(int side) = 0;
};

// A host with a steady clock that does nothing else (ply 0, no protocol, no
// chess clock).
class DefaultEngineHost : public EngineHost {
public:
    i64 TickMs() override;
    void ProcessMessages() override {}
    void SetThinkLabel(ThinkLabel, const std::string&) override {}
    void SendProtocolLine(const std::string&) override {}
    bool ProtocolMode() override { return false; }
    bool PostThinking() override { return false; }
    int CurrentPly() override { return 0; }
    i64 MoveStartTick() override { return 0; }
    double ClockLeftMs(int) override { return std::numeric_limits<double>::infinity(); }
};

// The host in use; the default host until one is set. nullptr restores the default.
void SetEngineHost(EngineHost* host);
EngineHost& Host();

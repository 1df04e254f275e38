#include "engine_fixture.h"

#include "globals.h"

void EngineTest::SetUp() { ResetEngineState(); }

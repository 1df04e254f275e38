// Shared set-up for the engine tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "test_position.h"
#include "types.h"

// Brings the engine back to its start-up state before each test.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
};


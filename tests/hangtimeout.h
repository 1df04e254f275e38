// How long a test waits for something that must happen before it calls it a
// hang: long enough that no slow or busy machine reaches it, so the verdict
// never depends on the machine's speed.
#pragma once

constexpr int HangMs = 60000;

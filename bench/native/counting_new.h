// The native benchmark program replaces the global operator new (in
// counting_new.cpp) with one that counts every call: the portable core, the
// simulated camera and the standard library all allocate through it.
#pragma once

#include <cstdint>

namespace lumora::bench {

// Allocations made so far by this program.
uint64_t Allocations();

}  // namespace lumora::bench

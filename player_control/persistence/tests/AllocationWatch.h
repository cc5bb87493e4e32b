#pragma once
// Watches the size of the largest single allocation made through operator new, so a test can
// show that some input did not make the code under test allocate what the input claims.
#include <cstddef>

namespace qxm::testsupport {

// Forgets what was seen so far.
void resetLargestAllocation();
// The largest size requested from operator new since the last reset.
std::size_t largestAllocation();

} // namespace qxm::testsupport

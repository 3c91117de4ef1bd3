// The drive letters a drive page offers: E to Z where the letter is not in use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Items "F:", "G:", ... for every clear bit of the logical-drive mask (bit 0 = A) from E on;
// A to D are never offered. A mask of 0 means the query failed: nothing is offered.
std::vector<std::u16string> FreeDriveItems(uint32_t logicalDriveMask);

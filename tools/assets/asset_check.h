// The generator's own check of what it is about to write: every row of the
// asset table present with the kind and shape its loader requires, and
// nothing written that no loader reads.
#pragma once
#include <string>

#include "assets.h"

// "" when the entries match the table; otherwise the first mismatch, naming the entry.
std::string check_against_asset_table(const AssetList &entries);

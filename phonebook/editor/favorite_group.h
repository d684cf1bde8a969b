// Taking a group out of the favourites, which the phone book object cannot do: it stores a group
// again only as a new one.
#pragma once

#include <cstdint>
#include <string>

/// Stores the group nID of the book file again, whole, with "frequentlyUsed" false: its id, name,
/// folder and members stay (a member whose record was deleted, which no longer resolves, is left
/// out). Uses a store of its own on the file. True when the group was stored.
bool LeaveFavorites(const std::string& strBookPath, int32_t nID);

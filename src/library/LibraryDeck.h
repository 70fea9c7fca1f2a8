// The order of a library show. The designed orders keep their meaning (sequential: path
// order; random: every picture once per deck, a new deck when it is used up; shuffle: one
// fixed cycle), and where the order stands is kept in the user's store between runs, so that
// tomorrow's run goes on where today's stopped. A deck is not a list of 100,000 paths: it is a
// seed that ranks every path (a hash of seed and path) and the rank of the last picture dealt;
// pictures added since the deck was dealt join it, removed ones simply are not there any more.
#pragma once

#include "library/LibraryList.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pictorelle {

class Registry;

// Where a library show's order stands. Stored as values of the show's settings key's
// "Library" subkey; a state stored for another folder or order is not taken.
struct TDeckState {
    std::string folder;       // the library it belongs to
    int32_t order = 0;        // the DisplayOrder it was dealt for
    uint64_t seed = 0;        // ranks the paths (random and shuffle)
    std::string last;         // the path dealt last; empty at the start of a deck
    uint32_t dealtGeneration = 0; // the listing generation the deck was dealt from
    // Where the deck stands in rank order: the path it dealt last by rank (its rank is the
    // hash of seed and path, so a removed picture still marks the place); empty before the
    // first. Sequential order keeps its place in last alone.
    std::string cursor;
    // Pictures added since the deck was dealt whose rank lies below the cursor are dealt
    // before the cursor moves on, in the order they were found: (FirstSeen, path) of the last
    // one dealt that way.
    uint32_t addedGeneration = 0;
    std::string addedPath;
    // Pictures dealt while the folder was still read for the first time, when their rank could
    // not yet be placed among pictures not found yet; the cursor passes over them.
    std::vector<std::string> early;
};

// Reads and writes the state in the store (each write one transaction). A store that cannot be
// used is no reason to stop the show: Load gives none, Save does nothing (one line on standard
// error the first time).
std::optional<TDeckState> LoadDeckState(Registry& registry, std::string_view saverTitle);
void SaveDeckState(Registry& registry, std::string_view saverTitle, const TDeckState& state);

class TLibraryDeck {
public:
    // displayOrder as the settings give it (values outside 0..2 are taken as sequential);
    // stored is the state of an earlier run, ignored when it belongs to another folder or
    // order.
    TLibraryDeck(std::string folder, int displayOrder, std::optional<TDeckState> stored,
                 uint64_t randomSeed);

    // The picture that follows, from the list as it stands; onScreen is the picture on screen
    // (empty at the start). complete says whether list is the whole library: before it is,
    // the deck deals from what is there without losing its place. None when the list is empty,
    // and also while the folder is still read for the first time and every picture found so
    // far has had its turn (the caller keeps the picture on screen and asks again later).
    // A new deck never starts with the picture on screen (when there are two or more).
    std::optional<std::string> Next(const TLibraryList& list, bool complete,
                                    std::string_view onScreen);
    // Back: sequential order gives the picture before onScreen in path order (from the first,
    // the last); random and shuffle deal the next picture as Next does.
    std::optional<std::string> Back(const TLibraryList& list, bool complete,
                                    std::string_view onScreen);

    // What to store after a deal.
    const TDeckState& State() const { return state_; }

private:
    std::optional<size_t> NextInPathOrder(const TLibraryList& list, bool partial);
    std::optional<size_t> NextInRankOrder(const TLibraryList& list, bool partial,
                                          std::string_view onScreen);
    std::optional<size_t> NextAdded(const TLibraryList& list) const;
    std::optional<size_t> LowestAfterCursor(const TLibraryList& list,
                                            std::string_view passOver) const;
    void StartOver(const TLibraryList& list);

    TDeckState state_;
    uint64_t randomSeed_;
};

} // namespace pictorelle

#include "library/LibraryDeck.h"

#include "package/Registry.h"
#include "package/SaverSettings.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>

namespace pictorelle {

namespace {

// At most this many pictures are remembered as dealt before the listing was complete; a listing
// that takes longer than that many pictures' time waits for the folder before dealing more.
constexpr size_t kMostEarly = 4096;
// How often a new deck is dealt again with another seed when its first picture would be the
// one on screen.
constexpr int kSeedTries = 16;

uint64_t mix(uint64_t x) {
    x += 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

uint64_t rankOf(uint64_t seed, std::string_view path) {
    uint64_t h = 0xcbf29ce484222325ull ^ seed;
    for (const char c : path) {
        h ^= static_cast<uint8_t>(c);
        h *= 0x100000001b3ull;
    }
    return mix(h ^ seed);
}

// A picture's place in a deck: by rank, and by path for the rare equal ranks.
struct TPlace {
    uint64_t rank;
    std::string_view path;
};

bool before(const TPlace& a, const TPlace& b) {
    return a.rank != b.rank ? a.rank < b.rank : a.path < b.path;
}

int knownOrder(int displayOrder) {
    return displayOrder == 1 || displayOrder == 2 ? displayOrder : 0;
}

// The first entry whose path comes after path (strictly, or also equal ones when orEqual).
size_t boundInList(const TLibraryList& list, std::string_view path, bool orEqual) {
    size_t low = 0, high = list.Size();
    while (low < high) {
        const size_t mid = low + (high - low) / 2;
        const bool left = orEqual ? LibraryPathLess(list.Path(mid), path)
                                  : !LibraryPathLess(path, list.Path(mid));
        if (left)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

class TEarlySet {
public:
    explicit TEarlySet(const std::vector<std::string>& early) : paths_(early.begin(), early.end()) {
        std::sort(paths_.begin(), paths_.end());
    }
    bool Contains(std::string_view path) const {
        return std::binary_search(paths_.begin(), paths_.end(), path);
    }

private:
    std::vector<std::string_view> paths_;
};

void sayOnce(const char* what, const std::exception& e) {
    static std::atomic<bool> said{false};
    if (!said.exchange(true))
        std::fprintf(stderr, "The library show's place %s: %s\n", what, e.what());
}

std::string deckKey(std::string_view saverTitle) {
    return SettingsKeyPath(saverTitle) + "\\Library";
}

std::string joinPaths(const std::vector<std::string>& paths) {
    std::string out;
    for (const std::string& p : paths) {
        if (!out.empty()) out.push_back('\0'); // the one byte no path holds
        out += p;
    }
    return out;
}

std::vector<std::string> splitPaths(std::string_view joined) {
    std::vector<std::string> out;
    while (!joined.empty()) {
        const size_t end = joined.find('\0');
        out.emplace_back(joined.substr(0, end));
        joined.remove_prefix(end == std::string_view::npos ? joined.size() : end + 1);
    }
    return out;
}

} // namespace

TLibraryDeck::TLibraryDeck(std::string folder, int displayOrder, std::optional<TDeckState> stored,
                           uint64_t randomSeed)
    : randomSeed_(randomSeed) {
    const int order = knownOrder(displayOrder);
    if (stored && stored->folder == folder && stored->order == order &&
        stored->early.size() <= kMostEarly) {
        state_ = std::move(*stored);
        return;
    }
    state_.folder = std::move(folder);
    state_.order = order;
    state_.seed = mix(randomSeed);
}

std::optional<std::string> TLibraryDeck::Next(const TLibraryList& list, bool complete,
                                              std::string_view onScreen) {
    if (list.Empty()) return std::nullopt;
    // Only the first reading of a folder hands out a part of it; a cached listing is whole.
    const bool partial = !complete && !list.FromCache();
    // A deck dealt before anything was known, or a cache lost since (its generations counted
    // afresh), takes the listing's generation: only what comes later counts as added.
    if (state_.dealtGeneration == 0 || list.Generation() < state_.dealtGeneration)
        state_.dealtGeneration = list.Generation();
    const std::optional<size_t> pick = state_.order == 0
                                           ? NextInPathOrder(list, partial)
                                           : NextInRankOrder(list, partial, onScreen);
    if (!pick) return std::nullopt;
    state_.last = list.Path(*pick);
    return state_.last;
}

std::optional<std::string> TLibraryDeck::Back(const TLibraryList& list, bool complete,
                                              std::string_view onScreen) {
    if (state_.order != 0) return Next(list, complete, onScreen);
    if (list.Empty()) return std::nullopt;
    const std::string_view from = onScreen.empty() ? std::string_view(state_.last) : onScreen;
    size_t at = from.empty() ? 0 : boundInList(list, from, true);
    if (at == 0) {
        // The last picture is not known before the folder has been read to its end.
        if (!complete && !list.FromCache()) return std::nullopt;
        at = list.Size();
    }
    state_.last = list.Path(at - 1);
    return state_.last;
}

std::optional<size_t> TLibraryDeck::NextInPathOrder(const TLibraryList& list, bool partial) {
    const size_t at = state_.last.empty() ? 0 : boundInList(list, state_.last, false);
    if (at < list.Size()) return at;
    // Whether anything follows the last picture is not known before the folder has been read.
    if (partial) return std::nullopt;
    return 0;
}

std::optional<size_t> TLibraryDeck::NextInRankOrder(const TLibraryList& list, bool partial,
                                                    std::string_view onScreen) {
    for (int tries = 0;; ++tries) {
        if (const std::optional<size_t> added = NextAdded(list)) {
            state_.addedGeneration = list.FirstSeen(*added);
            state_.addedPath = list.Path(*added);
            return added;
        }
        const bool opening =
            state_.cursor.empty() && state_.early.empty() && state_.addedPath.empty();
        std::optional<size_t> pick = LowestAfterCursor(list, {});
        if (pick && opening && state_.order == 1 && !onScreen.empty() &&
            list.Path(*pick) == onScreen && list.Size() >= 2) {
            if (partial) {
                // The picture on screen keeps its place for later in this deck.
                if (const std::optional<size_t> other = LowestAfterCursor(list, onScreen))
                    pick = other;
            } else if (tries < kSeedTries) {
                state_.seed = mix(state_.seed ^ randomSeed_);
                continue;
            }
        }
        if (pick) {
            if (!partial) {
                state_.cursor = list.Path(*pick);
                return pick;
            }
            if (state_.early.size() >= kMostEarly) return std::nullopt;
            state_.early.emplace_back(list.Path(*pick));
            return pick;
        }
        // Every picture found so far has come; whether the deck is used up is not known before
        // the folder has been read to its end.
        if (partial || tries > kSeedTries) return std::nullopt;
        StartOver(list);
    }
}

// An added picture that the cursor has passed already, first in the order they were found.
std::optional<size_t> TLibraryDeck::NextAdded(const TLibraryList& list) const {
    if (state_.order != 1 || state_.cursor.empty()) return std::nullopt;
    const TPlace cursor{rankOf(state_.seed, state_.cursor), state_.cursor};
    const TEarlySet early(state_.early);
    std::optional<size_t> best;
    for (size_t i = 0; i < list.Size(); ++i) {
        const uint32_t seen = list.FirstSeen(i);
        if (seen <= state_.dealtGeneration) continue;
        if (best && seen >= list.FirstSeen(*best)) continue; // found later than the best so far
        const std::string_view path = list.Path(i);
        const bool dealtBefore =
            seen < state_.addedGeneration ||
            (seen == state_.addedGeneration && !LibraryPathLess(state_.addedPath, path));
        if (dealtBefore || !before({rankOf(state_.seed, path), path}, cursor) ||
            early.Contains(path))
            continue;
        best = i;
    }
    return best;
}

// The picture of lowest rank after the cursor, leaving out the early ones and passOver.
std::optional<size_t> TLibraryDeck::LowestAfterCursor(const TLibraryList& list,
                                                      std::string_view passOver) const {
    const bool atStart = state_.cursor.empty();
    const TPlace cursor{atStart ? 0 : rankOf(state_.seed, state_.cursor), state_.cursor};
    const TEarlySet early(state_.early);
    std::optional<size_t> best;
    TPlace bestPlace{};
    for (size_t i = 0; i < list.Size(); ++i) {
        const TPlace place{rankOf(state_.seed, list.Path(i)), list.Path(i)};
        if (!atStart && !before(cursor, place)) continue;
        if (best && !before(place, bestPlace)) continue;
        if (place.path == passOver || early.Contains(place.path)) continue;
        best = i;
        bestPlace = place;
    }
    return best;
}

// A used-up deck: random order deals a new one with a new seed; shuffle goes round its one
// fixed cycle again.
void TLibraryDeck::StartOver(const TLibraryList& list) {
    if (state_.order == 1) state_.seed = mix(state_.seed ^ randomSeed_);
    state_.cursor.clear();
    state_.addedGeneration = 0;
    state_.addedPath.clear();
    state_.early.clear();
    state_.dealtGeneration = list.Generation();
}

std::optional<TDeckState> LoadDeckState(Registry& registry, std::string_view saverTitle) {
    std::map<std::string, RegistryData> values;
    try {
        const std::string key = deckKey(saverTitle);
        if (!registry.KeyExists(key)) return std::nullopt;
        for (RegistryValue& v : registry.ReadAllValues(key))
            values.emplace(std::move(v.Name), std::move(v.Data));
    } catch (const RegistryError& e) {
        sayOnce("could not be read", e);
        return std::nullopt;
    }
    auto text = [&](const char* name) -> const std::string* {
        auto it = values.find(name);
        return it == values.end() ? nullptr : std::get_if<std::string>(&it->second);
    };
    auto number = [&](const char* name) -> std::optional<int32_t> {
        auto it = values.find(name);
        if (it == values.end()) return std::nullopt;
        if (const int32_t* n = std::get_if<int32_t>(&it->second)) return *n;
        return std::nullopt;
    };
    // A state with a value missing or of the wrong type starts a fresh deck.
    const std::string *folder = text("Folder"), *seed = text("Seed"), *last = text("Last"),
                      *cursor = text("Cursor"), *addedPath = text("AddedPath"),
                      *early = text("Early");
    const auto order = number("Order"), dealt = number("DealtGeneration"),
               added = number("AddedGeneration");
    if (!folder || !seed || !last || !cursor || !addedPath || !early || !order || !dealt ||
        !added || seed->empty() || seed->size() > 16 ||
        seed->find_first_not_of("0123456789abcdef") != std::string::npos)
        return std::nullopt;
    TDeckState state;
    state.folder = *folder;
    state.order = *order;
    state.seed = std::stoull(*seed, nullptr, 16);
    state.last = *last;
    state.dealtGeneration = static_cast<uint32_t>(*dealt);
    state.cursor = *cursor;
    state.addedGeneration = static_cast<uint32_t>(*added);
    state.addedPath = *addedPath;
    state.early = splitPaths(*early);
    return state;
}

void SaveDeckState(Registry& registry, std::string_view saverTitle, const TDeckState& state) {
    char seed[17];
    std::snprintf(seed, sizeof seed, "%016llx", static_cast<unsigned long long>(state.seed));
    const RegistryValue values[] = {
        {"Folder", state.folder},
        {"Order", state.order},
        {"Seed", std::string(seed)},
        {"Last", state.last},
        {"DealtGeneration", static_cast<int32_t>(state.dealtGeneration)},
        {"Cursor", state.cursor},
        {"AddedGeneration", static_cast<int32_t>(state.addedGeneration)},
        {"AddedPath", state.addedPath},
        {"Early", joinPaths(state.early)},
    };
    try {
        registry.WriteValues(deckKey(saverTitle), values);
    } catch (const RegistryError& e) {
        sayOnce("was not saved", e);
    }
}

} // namespace pictorelle

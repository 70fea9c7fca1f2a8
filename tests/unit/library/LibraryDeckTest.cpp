#include "library/LibraryDeck.h"

#include "package/MemoryRegistry.h"
#include "package/SaverSettings.h"

#include <gtest/gtest.h>

#include <set>

namespace pictorelle {
namespace {

const std::string kFolder = "/photos";

using MemoryStore = MemoryRegistry;

// A listing of pictures p000.jpg, p001.jpg, ...; added ones get a later generation.
TLibraryList listing(size_t count, uint32_t generation = 1, std::set<size_t> addedAt = {},
                     std::set<size_t> removed = {}) {
    TLibraryList list;
    char name[16];
    for (size_t i = 0; i < count; ++i) {
        if (removed.contains(i)) continue;
        std::snprintf(name, sizeof name, "p%03zu.jpg", i);
        list.Append(name, addedAt.contains(i) ? generation : 1);
    }
    list.SetGeneration(generation);
    return list;
}

// The first n entries, as a first reading of the folder hands them out.
TLibraryList prefix(const TLibraryList& whole, size_t n) {
    TLibraryList part;
    for (size_t i = 0; i < n && i < whole.Size(); ++i) part.Append(whole.Path(i), whole.FirstSeen(i));
    part.SetGeneration(whole.Generation());
    return part;
}

// Deals until one deck is used up, saving and reloading the state after every deal the way
// the show does, so that every deal also crosses a restart.
std::vector<std::string> dealAcrossRestarts(MemoryStore& store, int order, size_t deals,
                                            const TLibraryList& list, bool complete = true,
                                            std::string* onScreen = nullptr) {
    std::vector<std::string> dealt;
    std::string shown = onScreen ? *onScreen : "";
    for (size_t i = 0; i < deals; ++i) {
        TLibraryDeck deck(kFolder, order, LoadDeckState(store, "Show"), 1000 + i);
        const auto next = deck.Next(list, complete, shown);
        if (!next) break;
        dealt.push_back(*next);
        shown = *next;
        SaveDeckState(store, "Show", deck.State());
    }
    if (onScreen) *onScreen = shown;
    return dealt;
}

TDeckState sequentialAt(std::string last) {
    TDeckState state;
    state.folder = kFolder;
    state.last = std::move(last);
    return state;
}

void expectNoRepeats(const std::vector<std::string>& dealt) {
    EXPECT_EQ(std::set<std::string>(dealt.begin(), dealt.end()).size(), dealt.size());
}

TEST(LibraryDeck, SequentialGoesInPathOrderWrapsAndStepsBack) {
    const TLibraryList list = listing(3);
    for (int order : {0, 7, -1}) {
        TLibraryDeck deck(kFolder, order, std::nullopt, 1);
        std::vector<std::string> got;
        for (int i = 0; i < 4; ++i) got.push_back(*deck.Next(list, true, got.empty() ? "" : got.back()));
        EXPECT_EQ(got, (std::vector<std::string>{"p000.jpg", "p001.jpg", "p002.jpg", "p000.jpg"}));
        EXPECT_EQ(deck.Back(list, true, "p000.jpg"), "p002.jpg");
        EXPECT_EQ(deck.Back(list, true, "p002.jpg"), "p001.jpg");
        EXPECT_EQ(deck.Next(list, true, "p001.jpg"), "p002.jpg");
    }
    // The place is the last path: a picture removed since still marks it.
    TLibraryDeck deck(kFolder, 0, sequentialAt("p001.jpg"), 1);
    EXPECT_EQ(deck.Next(listing(3, 2, {}, {1}), true, ""), "p002.jpg");
    // Before the folder is read to its end, what follows the last known picture is not known.
    TLibraryDeck waiting(kFolder, 0, sequentialAt("p005.jpg"), 1);
    EXPECT_FALSE(waiting.Next(prefix(listing(9), 4), false, ""));
}

TEST(LibraryDeck, RandomDealsEveryPictureOncePerDeckAcrossRestarts) {
    for (size_t n : {2u, 3u, 17u}) {
        MemoryStore store;
        std::string onScreen;
        for (int deck = 0; deck < 6; ++deck) {
            const std::string before = onScreen;
            const auto dealt = dealAcrossRestarts(store, 1, n, listing(n), true, &onScreen);
            ASSERT_EQ(dealt.size(), n);
            expectNoRepeats(dealt);
            if (deck > 0) {
                EXPECT_NE(dealt.front(), before) << "a new deck began with the picture on screen";
            }
        }
    }
}

TEST(LibraryDeck, PicturesAddedMidDeckJoinItAndRemovedOnesLeave) {
    MemoryStore store;
    const TLibraryList first = listing(20, 1, {}, {10, 11, 12, 13, 14, 15, 16, 17, 18, 19});
    auto dealt = dealAcrossRestarts(store, 1, 5, first);
    // Ten pictures come, one that was not dealt yet goes.
    std::set<size_t> gone;
    for (size_t i = 0; i < 10; ++i)
        if (std::find(dealt.begin(), dealt.end(), first.Path(i)) == dealt.end()) {
            gone.insert(std::stoul(std::string(first.Path(i)).substr(1, 3)));
            break;
        }
    const TLibraryList second = listing(20, 2, {10, 11, 12, 13, 14, 15, 16, 17, 18, 19}, gone);
    const auto rest = dealAcrossRestarts(store, 1, second.Size() - 5, second);
    dealt.insert(dealt.end(), rest.begin(), rest.end());
    expectNoRepeats(dealt);
    std::set<std::string> all;
    for (size_t i = 0; i < second.Size(); ++i) all.emplace(second.Path(i));
    for (const auto& p : dealt) all.erase(p);
    EXPECT_TRUE(all.empty()) << all.size() << " pictures never came, first " << *all.begin();
}

TEST(LibraryDeck, DealingBeforeTheListingIsCompleteKeepsTheDeck) {
    for (int order : {1, 2}) {
        MemoryStore store;
        const TLibraryList whole = listing(30);
        std::vector<std::string> dealt;
        // A cold start: the folder comes in parts, and a restart comes in the middle of it.
        for (size_t known : {1u, 3u, 3u, 8u, 20u}) {
            auto some = dealAcrossRestarts(store, order, 2, prefix(whole, known), false);
            dealt.insert(dealt.end(), some.begin(), some.end());
        }
        auto rest = dealAcrossRestarts(store, order, 30 - dealt.size(), whole);
        dealt.insert(dealt.end(), rest.begin(), rest.end());
        ASSERT_EQ(dealt.size(), 30u) << "order " << order;
        expectNoRepeats(dealt);
    }
}

TEST(LibraryDeck, ShuffleRepeatsOneCycleAndNewPicturesTakeTheirPlaceInIt) {
    MemoryStore store;
    const auto cycle = dealAcrossRestarts(store, 2, 12, listing(12));
    expectNoRepeats(cycle);
    EXPECT_EQ(dealAcrossRestarts(store, 2, 12, listing(12)), cycle);
    const auto grown = dealAcrossRestarts(store, 2, 13, listing(13, 2, {12}));
    auto without = grown;
    std::erase(without, "p012.jpg");
    EXPECT_EQ(without, cycle);
}

TEST(LibraryDeck, AStateOfAnotherFolderOrOrderOrADamagedOneStartsAfresh) {
    MemoryStore store;
    const TLibraryList list = listing(5);
    dealAcrossRestarts(store, 0, 3, list);
    ASSERT_EQ(LoadDeckState(store, "Show")->last, "p002.jpg");
    EXPECT_EQ(TLibraryDeck("/other", 0, LoadDeckState(store, "Show"), 1).Next(list, true, ""),
              "p000.jpg");
    EXPECT_TRUE(TLibraryDeck(kFolder, 1, LoadDeckState(store, "Show"), 1).State().last.empty());

    store.keys[SettingsKeyPath("Show") + "\\Library"]["Order"] = std::string("zero");
    EXPECT_FALSE(LoadDeckState(store, "Show"));
    testing::internal::CaptureStderr();
    store.broken = true;
    EXPECT_FALSE(LoadDeckState(store, "Show"));
    SaveDeckState(store, "Show", TDeckState{});
    EXPECT_FALSE(testing::internal::GetCapturedStderr().empty());
}

TEST(LibraryDeck, TheStateRoundTripsThroughTheStore) {
    MemoryStore store;
    TDeckState state = sequentialAt("a/\xff.jpg");
    state.order = 1;
    state.seed = 0xfedcba9876543210ull;
    state.dealtGeneration = 4000000000u;
    state.cursor = "b.jpg";
    state.addedGeneration = 5;
    state.addedPath = "c\n.jpg";
    state.early = {"x.jpg", "y/z.jpg"};
    SaveDeckState(store, "Show", state);
    const auto back = LoadDeckState(store, "Show");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->seed, state.seed);
    EXPECT_EQ(back->last, state.last);
    EXPECT_EQ(back->dealtGeneration, state.dealtGeneration);
    EXPECT_EQ(back->cursor, state.cursor);
    EXPECT_EQ(back->addedPath, state.addedPath);
    EXPECT_EQ(back->early, state.early);
}

} // namespace
} // namespace pictorelle

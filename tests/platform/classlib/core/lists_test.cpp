#include "platform/classlib/lists.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

void* P(std::intptr_t v) { return reinterpret_cast<void*>(v); }
std::intptr_t V(void* p) { return reinterpret_cast<std::intptr_t>(p); }

std::vector<std::intptr_t> Values(const TList& l) {
    std::vector<std::intptr_t> out;
    for (int i = 0; i < l.Count(); ++i) out.push_back(V(l.Get(i)));
    return out;
}

TEST(TList, AddInsertDeleteKeepOrder) {
    TList l;
    EXPECT_EQ(l.Add(P(1)), 0);
    EXPECT_EQ(l.Add(P(3)), 1);
    l.Insert(1, P(2));
    l.Insert(3, P(4));  // at Count: appends
    l.Insert(0, P(0));
    EXPECT_EQ(Values(l), (std::vector<std::intptr_t>{0, 1, 2, 3, 4}));
    l.Delete(0);
    l.Delete(3);
    EXPECT_EQ(Values(l), (std::vector<std::intptr_t>{1, 2, 3}));
    EXPECT_EQ(V(l.First()), 1);
    EXPECT_EQ(V(l.Last()), 3);
    l.Put(1, P(9));
    EXPECT_EQ(V(l[1]), 9);
    EXPECT_GE(l.Capacity(), l.Count());
}

TEST(TList, BadIndexesRaiseListErrorWithTheIndex) {
    TList l;
    l.Add(P(1));
    l.Add(P(2));
    struct Case {
        const char* what;
        std::function<void()> op;
        const char* message;
    } cases[] = {
        {"Get(-1)", [&] { l.Get(-1); }, "List index out of bounds (-1)"},
        {"Get(Count)", [&] { l.Get(2); }, "List index out of bounds (2)"},
        {"Put(5)", [&] { l.Put(5, nullptr); }, "List index out of bounds (5)"},
        {"Delete(2)", [&] { l.Delete(2); }, "List index out of bounds (2)"},
        {"Insert(3)", [&] { l.Insert(3, nullptr); }, "List index out of bounds (3)"},
        {"Insert(-1)", [&] { l.Insert(-1, nullptr); }, "List index out of bounds (-1)"},
        {"Exchange(0,7)", [&] { l.Exchange(0, 7); }, "List index out of bounds (7)"},
        {"Move(0,2)", [&] { l.Move(0, 2); }, "List index out of bounds (2)"},
        {"Move(4,0)", [&] { l.Move(4, 0); }, "List index out of bounds (4)"},
    };
    for (const auto& c : cases) {
        try {
            c.op();
            ADD_FAILURE() << c.what << " did not raise";
        } catch (const EListError& e) {
            EXPECT_EQ(e.Message, c.message) << c.what;
        }
    }
    EXPECT_EQ(Values(l), (std::vector<std::intptr_t>{1, 2})) << "a failed operation changed the list";
    TList empty;
    EXPECT_THROW(empty.First(), EListError);
    EXPECT_THROW(empty.Last(), EListError);
}

TEST(TList, RemoveIndexOfExtractFindTheFirstOccurrence) {
    TList l;
    for (auto v : {5, 6, 5, 7}) l.Add(P(v));
    EXPECT_EQ(l.IndexOf(P(5)), 0);
    EXPECT_EQ(l.IndexOf(P(8)), -1);
    EXPECT_EQ(l.Remove(P(5)), 0);
    EXPECT_EQ(Values(l), (std::vector<std::intptr_t>{6, 5, 7}));
    EXPECT_EQ(l.Remove(P(8)), -1);
    EXPECT_EQ(l.Extract(P(7)), P(7));
    EXPECT_EQ(l.Extract(P(7)), nullptr);
    EXPECT_EQ(Values(l), (std::vector<std::intptr_t>{6, 5}));
}

TEST(TList, ExchangeMovePackClear) {
    TList l;
    for (auto v : {1, 2, 3, 4}) l.Add(P(v));
    l.Exchange(0, 3);
    EXPECT_EQ(Values(l), (std::vector<std::intptr_t>{4, 2, 3, 1}));
    l.Move(0, 2);  // take out 4, insert at 2
    EXPECT_EQ(Values(l), (std::vector<std::intptr_t>{2, 3, 4, 1}));
    l.Move(3, 0);
    EXPECT_EQ(Values(l), (std::vector<std::intptr_t>{1, 2, 3, 4}));
    l.Put(0, nullptr);
    l.Put(2, nullptr);
    l.Add(nullptr);
    l.Pack();
    EXPECT_EQ(Values(l), (std::vector<std::intptr_t>{2, 4}));
    l.Clear();
    EXPECT_EQ(l.Count(), 0);
    EXPECT_EQ(l.Capacity(), 0);
}

TEST(TList, CountAndCapacity) {
    TList l;
    l.SetCount(3);
    EXPECT_EQ(Values(l), (std::vector<std::intptr_t>{0, 0, 0}));
    l.Put(2, P(7));
    l.SetCount(1);
    EXPECT_EQ(l.Count(), 1);
    l.SetCapacity(50);
    EXPECT_EQ(l.Capacity(), 50);
    EXPECT_THROW(l.SetCapacity(0), EListError);  // below Count
    EXPECT_THROW(l.SetCount(-1), EListError);
    for (int i = 0; i < 100; ++i) l.Add(P(i));
    EXPECT_EQ(l.Count(), 101);
    EXPECT_GE(l.Capacity(), 101);
}

TEST(TList, SortOrdersByTheCompareFunctionAndKeepsEqualItemsInOrder) {
    struct Rec {
        int key;
        int seq;
    };
    std::vector<Rec> recs = {{3, 0}, {1, 1}, {2, 2}, {1, 3}, {3, 4}, {0, 5}};
    TList l;
    for (auto& r : recs) l.Add(&r);
    l.Sort([](void* a, void* b) { return static_cast<Rec*>(a)->key - static_cast<Rec*>(b)->key; });
    std::vector<int> seqs;
    for (int i = 0; i < l.Count(); ++i) seqs.push_back(static_cast<Rec*>(l.Get(i))->seq);
    EXPECT_EQ(seqs, (std::vector<int>{5, 1, 3, 2, 0, 4}));

    // A compare function that is not a strict order must not break the list.
    l.Sort([](void*, void*) { return 1; });
    EXPECT_EQ(l.Count(), 6);
}

TEST(TThreadList, AddHonoursDuplicates) {
    TThreadList tl;
    int a = 0, b = 0;
    tl.Add(&a);
    tl.Add(&a);  // dupIgnore by default
    tl.Add(&b);
    {
        TThreadListLock lock(&tl);
        EXPECT_EQ(lock->Count(), 2);
    }
    tl.Duplicates = TDuplicates::dupError;
    try {
        tl.Add(&b);
        ADD_FAILURE() << "duplicate accepted";
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message, "Duplicates not allowed");
    }
    tl.Duplicates = TDuplicates::dupAccept;
    tl.Add(&b);
    TList* l = tl.LockList();
    EXPECT_EQ(l->Count(), 3);
    tl.UnlockList();
    tl.Remove(&b);  // the first one
    l = tl.LockList();
    EXPECT_EQ(l->Count(), 2);
    EXPECT_EQ(l->Get(1), &b);
    tl.UnlockList();
    tl.Clear();
    EXPECT_EQ(tl.LockList()->Count(), 0);
    tl.UnlockList();
}

TEST(TThreadList, LockIsRecursiveAndGuardsConcurrentAdds) {
    TThreadList tl;
    TList* outer = tl.LockList();
    tl.Add(nullptr);  // the holder may use the list's own operations
    EXPECT_EQ(outer->Count(), 1);
    tl.UnlockList();
    tl.Clear();

    tl.Duplicates = TDuplicates::dupAccept;
    constexpr int kThreads = 4, kEach = 2000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&tl, t] {
            for (int i = 0; i < kEach; ++i) tl.Add(P(t * kEach + i + 1));
        });
    }
    for (auto& th : threads) th.join();
    TThreadListLock lock(&tl);
    EXPECT_EQ(lock->Count(), kThreads * kEach);
}

}  // namespace

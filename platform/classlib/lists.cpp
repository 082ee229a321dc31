#include "platform/classlib/lists.h"

#include <algorithm>

namespace {
constexpr const char* ListCapacityError = "List capacity out of bounds (%d)";
constexpr const char* ListCountError = "List count out of bounds (%d)";
constexpr const char* DuplicateItem = "Duplicates not allowed";
}  // namespace

void TList::Error(const char* Msg, int Data) { throw EListError(Format(Msg, {static_cast<std::int64_t>(Data)})); }

void TList::CheckIndex(int Index, int Limit) const {
    if (Index < 0 || Index >= Limit) Error(sysconst::ListIndexError, Index);
}

void TList::Grow() {
    int delta = FCapacity > 64 ? FCapacity / 4 : (FCapacity > 8 ? 16 : 4);
    SetCapacity(FCapacity + delta);
}

int TList::Add(void* Item) {
    if (Count() == FCapacity) Grow();
    FList.push_back(Item);
    return Count() - 1;
}

void TList::Insert(int Index, void* Item) {
    CheckIndex(Index, Count() + 1);
    if (Count() == FCapacity) Grow();
    FList.insert(FList.begin() + Index, Item);
}

void TList::Delete(int Index) {
    CheckIndex(Index, Count());
    FList.erase(FList.begin() + Index);
}

int TList::IndexOf(void* Item) const {
    auto it = std::find(FList.begin(), FList.end(), Item);
    return it == FList.end() ? -1 : static_cast<int>(it - FList.begin());
}

int TList::Remove(void* Item) {
    int i = IndexOf(Item);
    if (i >= 0) Delete(i);
    return i;
}

void* TList::Extract(void* Item) {
    int i = IndexOf(Item);
    if (i < 0) return nullptr;
    Delete(i);
    return Item;
}

void* TList::Get(int Index) const {
    CheckIndex(Index, Count());
    return FList[static_cast<size_t>(Index)];
}

void TList::Put(int Index, void* Item) {
    CheckIndex(Index, Count());
    FList[static_cast<size_t>(Index)] = Item;
}

void TList::SetCount(int NewCount) {
    if (NewCount < 0) Error(ListCountError, NewCount);
    if (NewCount > FCapacity) SetCapacity(NewCount);
    FList.resize(static_cast<size_t>(NewCount), nullptr);
}

void TList::SetCapacity(int NewCapacity) {
    if (NewCapacity < Count()) Error(ListCapacityError, NewCapacity);
    FList.reserve(static_cast<size_t>(NewCapacity));
    FCapacity = NewCapacity;
}

void TList::Clear() {
    FList.clear();
    FList.shrink_to_fit();
    FCapacity = 0;
}

void TList::Exchange(int Index1, int Index2) {
    CheckIndex(Index1, Count());
    CheckIndex(Index2, Count());
    std::swap(FList[static_cast<size_t>(Index1)], FList[static_cast<size_t>(Index2)]);
}

void TList::Move(int CurIndex, int NewIndex) {
    if (CurIndex == NewIndex) return;
    CheckIndex(NewIndex, Count());
    void* item = Get(CurIndex);
    FList.erase(FList.begin() + CurIndex);
    FList.insert(FList.begin() + NewIndex, item);
}

void TList::Pack() { FList.erase(std::remove(FList.begin(), FList.end(), nullptr), FList.end()); }

void TList::Sort(TListSortCompare Compare) {
    if (!Compare || FList.size() < 2) return;
    // A stable sort: equal items keep their order, and a comparison that is not a strict order
    // cannot make it run off the ends.
    std::stable_sort(FList.begin(), FList.end(), [Compare](void* a, void* b) { return Compare(a, b) < 0; });
}

void TThreadList::Add(void* Item) {
    std::lock_guard lk(FLock);
    if (Duplicates == TDuplicates::dupAccept || FList.IndexOf(Item) < 0) {
        FList.Add(Item);
    } else if (Duplicates == TDuplicates::dupError) {
        throw EListError(DuplicateItem);
    }
}

void TThreadList::Remove(void* Item) {
    std::lock_guard lk(FLock);
    FList.Remove(Item);
}

void TThreadList::Clear() {
    std::lock_guard lk(FLock);
    FList.Clear();
}

TList* TThreadList::LockList() {
    FLock.lock();
    return &FList;
}

void TThreadList::UnlockList() { FLock.unlock(); }

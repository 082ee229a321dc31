// TList, a growable list of untyped pointers, and TThreadList, a TList guarded by a lock so that
// several threads can share it.
#pragma once

#include <mutex>
#include <vector>

#include "platform/classlib/components.h"
#include "platform/classlib/strings.h"  // TDuplicates

// Orders two items for TList::Sort: negative, zero or positive like strcmp.
using TListSortCompare = int (*)(void* Item1, void* Item2);

class TList : public TObject {
public:
    TList() = default;
    ~TList() override = default;
    const char* ClassName() const override { return "TList"; }

    int Add(void* Item);                // appends; returns the new index
    void Insert(int Index, void* Item); // 0..Count
    void Delete(int Index);
    int Remove(void* Item);             // removes the first occurrence; returns its old index or -1
    void* Extract(void* Item);          // removes the first occurrence; returns Item, or nullptr when absent
    int IndexOf(void* Item) const;      // -1 when absent
    void* Get(int Index) const;
    void Put(int Index, void* Item);
    void* Items(int Index) const { return Get(Index); }
    void* operator[](int Index) const { return Get(Index); }
    int Count() const { return static_cast<int>(FList.size()); }
    void SetCount(int NewCount);        // grows with nullptr items or truncates
    int Capacity() const { return FCapacity; }
    void SetCapacity(int NewCapacity);  // never below Count
    void Clear();
    void Exchange(int Index1, int Index2);
    void Move(int CurIndex, int NewIndex);
    void* First() const { return Get(0); }
    void* Last() const { return Get(Count() - 1); }
    void Pack();                        // removes every nullptr item
    void Sort(TListSortCompare Compare);
    const std::vector<void*>& List() const { return FList; }

    // Raises EListError with Msg formatted with Data ("List index out of bounds (%d)").
    [[noreturn]] static void Error(const char* Msg, int Data);

private:
    void CheckIndex(int Index, int Limit) const;
    void Grow();

    std::vector<void*> FList;
    int FCapacity = 0;
};

// A TList shared between threads. LockList takes the lock (recursively: the holder may lock again)
// and returns the list; every LockList is paired with UnlockList.
class TThreadList : public TObject {
public:
    TThreadList() = default;
    ~TThreadList() override = default;
    const char* ClassName() const override { return "TThreadList"; }

    // Adds Item; with dupIgnore (the default) an item already present is not added again, with
    // dupError that raises EListError "Duplicates not allowed".
    void Add(void* Item);
    void Remove(void* Item);
    void Clear();
    TList* LockList();
    void UnlockList();

    TDuplicates Duplicates = TDuplicates::dupIgnore;

private:
    std::recursive_mutex FLock;
    TList FList;
};

// Holds a TThreadList locked for the lifetime of the object.
class TThreadListLock {
public:
    explicit TThreadListLock(TThreadList* l) : FOwner(l), FList(l->LockList()) {}
    ~TThreadListLock() { FOwner->UnlockList(); }
    TThreadListLock(const TThreadListLock&) = delete;
    TThreadListLock& operator=(const TThreadListLock&) = delete;
    TList* operator->() const { return FList; }
    TList* List() const { return FList; }

private:
    TThreadList* FOwner;
    TList* FList;
};

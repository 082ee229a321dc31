// The object model: TObject, TPersistent and TComponent with its owner tree.
//
// A component created with an owner belongs to it: the owner deletes it when the owner is deleted.
// Deleting a component removes it from its owner first. Events are std::function members that fire
// only when assigned.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/classlib/sysutils.h"

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
    virtual const char* ClassName() const { return "TObject"; }
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

class TPersistent : public TObject {
public:
    // Copies Source into this object; the default raises EConvertError
    // "Cannot assign a %s to a %s" unless Source->AssignTo handles it.
    virtual void Assign(TPersistent* Source);
    const char* ClassName() const override { return "TPersistent"; }

protected:
    virtual void AssignTo(TPersistent* Dest);
};

enum class TOperation { opInsert, opRemove };

// ComponentState flags.
enum TComponentStateFlag : unsigned {
    csLoading = 1u << 0,
    csReading = 1u << 1,
    csWriting = 1u << 2,
    csDestroying = 1u << 3,
    csDesigning = 1u << 4,
};

class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;
    const char* ClassName() const override { return "TComponent"; }

    TComponent* Owner() const { return FOwner; }
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int i) const;
    TComponent* FindComponent(const std::string& name) const;  // among owned components, ignoring case

    const std::string& Name() const { return FName; }
    void SetName(const std::string& name);
    unsigned ComponentState() const { return FComponentState; }
    bool Destroying() const { return (FComponentState & csDestroying) != 0; }
    int Tag = 0;

    // Frees every owned component now (a derived destructor calls it before its own members go).
    void DestroyComponents();
    void InsertComponent(TComponent* c);
    void RemoveComponent(TComponent* c);
    // Asks `c` to tell this component when it is freed (for references outside the owner tree).
    void FreeNotification(TComponent* c);
    void RemoveFreeNotification(TComponent* c);

protected:
    // Told of components inserted into or removed from the owner, and of freed components that asked
    // for notification.
    virtual void Notification(TComponent* AComponent, TOperation Operation);
    virtual void Loaded();  // clears csLoading
    void SetComponentState(unsigned flags, bool on);

private:
    TComponent* FOwner = nullptr;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    std::string FName;
    unsigned FComponentState = 0;
};

// Creates a component owned by `owner` (the owner frees it).
template <class T, class... Args>
T* Own(TComponent* owner, Args&&... args) {
    return new T(owner, std::forward<Args>(args)...);
}

#include "platform/classlib/components.h"

#include <algorithm>

void TPersistent::Assign(TPersistent* Source) {
    if (Source) {
        Source->AssignTo(this);
        return;
    }
    AssignTo(this);  // assigning nothing: let AssignTo raise
}

void TPersistent::AssignTo(TPersistent* Dest) {
    throw EConvertError(Format("Cannot assign a %s to a %s", {std::string(this == Dest ? "nil" : ClassName()),
                                                              std::string(Dest->ClassName())}));
}

TComponent::TComponent(TComponent* AOwner) {
    if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
    FComponentState |= csDestroying;
    for (auto* c : std::vector<TComponent*>(FFreeNotifies)) c->Notification(this, TOperation::opRemove);
    for (auto* c : FFreeNotifies) {
        auto& v = c->FFreeNotifies;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    }
    FFreeNotifies.clear();
    DestroyComponents();
    if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::DestroyComponents() {
    FComponentState |= csDestroying;
    // The owner frees what it owns, last created first.
    while (!FComponents.empty()) {
        TComponent* c = FComponents.back();
        c->FComponentState |= csDestroying;
        delete c;  // removes itself from FComponents
    }
}

TComponent* TComponent::Components(int i) const {
    if (i < 0 || i >= ComponentCount()) throw EListError(Format(sysconst::ListIndexError, {i}));
    return FComponents[static_cast<size_t>(i)];
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    if (name.empty()) return nullptr;
    for (auto* c : FComponents)
        if (SameText(c->FName, name)) return c;
    return nullptr;
}

void TComponent::SetName(const std::string& name) {
    if (FName == name) return;
    if (FOwner && !name.empty()) {
        auto* other = FOwner->FindComponent(name);
        if (other && other != this) throw EComponentError("A component named " + name + " already exists");
    }
    FName = name;
}

void TComponent::InsertComponent(TComponent* c) {
    if (!c || c->FOwner == this) return;
    if (c->FOwner) c->FOwner->RemoveComponent(c);
    FComponents.push_back(c);
    c->FOwner = this;
    Notification(c, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* c) {
    auto it = std::find(FComponents.begin(), FComponents.end(), c);
    if (it == FComponents.end()) return;
    Notification(c, TOperation::opRemove);
    FComponents.erase(std::find(FComponents.begin(), FComponents.end(), c));
    c->FOwner = nullptr;
}

void TComponent::FreeNotification(TComponent* c) {
    if (!c || c == this) return;
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), c) == FFreeNotifies.end()) {
        FFreeNotifies.push_back(c);
        c->FFreeNotifies.push_back(this);
    }
}

void TComponent::RemoveFreeNotification(TComponent* c) {
    FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), c), FFreeNotifies.end());
    if (c) c->FFreeNotifies.erase(std::remove(c->FFreeNotifies.begin(), c->FFreeNotifies.end(), this),
                                  c->FFreeNotifies.end());
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
    if (Operation == TOperation::opRemove) {
        // Tell owned components that something they may reference is going.
        for (auto* c : FComponents)
            if (c != AComponent) c->Notification(AComponent, Operation);
    }
}

void TComponent::Loaded() { FComponentState &= ~static_cast<unsigned>(csLoading); }

void TComponent::SetComponentState(unsigned flags, bool on) {
    if (on)
        FComponentState |= flags;
    else
        FComponentState &= ~flags;
}

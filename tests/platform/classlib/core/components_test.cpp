#include "platform/classlib/components.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records its own destruction and the notifications it receives.
class TProbe : public TComponent {
public:
    TProbe(TComponent* owner, std::string tag, std::vector<std::string>* log)
        : TComponent(owner), FTag(std::move(tag)), FLog(log) {}
    ~TProbe() override {
        if (FLog) FLog->push_back("free " + FTag);
    }
    TComponent* watched = nullptr;

protected:
    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        if (op == TOperation::opRemove && c == watched) {
            watched = nullptr;
            if (FLog) FLog->push_back(FTag + " saw removal");
        }
    }

private:
    std::string FTag;
    std::vector<std::string>* FLog;
};

TEST(TComponent, OwnerFreesWhatItOwnsLastFirst) {
    std::vector<std::string> log;
    auto* root = new TProbe(nullptr, "root", &log);
    auto* a = new TProbe(root, "a", &log);
    new TProbe(a, "a1", &log);
    new TProbe(root, "b", &log);
    EXPECT_EQ(root->ComponentCount(), 2);
    EXPECT_EQ(a->Owner(), root);
    delete root;
    EXPECT_EQ(log, (std::vector<std::string>{"free root", "free b", "free a", "free a1"}));
}

TEST(TComponent, FreeingAChildRemovesItFromItsOwner) {
    TComponent owner(nullptr);
    auto* a = new TComponent(&owner);
    auto* b = new TComponent(&owner);
    a->SetName("A");
    delete a;
    ASSERT_EQ(owner.ComponentCount(), 1);
    EXPECT_EQ(owner.Components(0), b);
    EXPECT_EQ(owner.FindComponent("A"), nullptr);
    try {
        owner.Components(1);
        ADD_FAILURE() << "no error";
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message, "List index out of bounds (1)");
    }
    // Moving to another owner.
    TComponent other(nullptr);
    other.InsertComponent(b);
    EXPECT_EQ(owner.ComponentCount(), 0);
    EXPECT_EQ(b->Owner(), &other);
}

TEST(TComponent, SiblingsAndFreeNotificationsHearOfAFreedComponent) {
    std::vector<std::string> log;
    TProbe form(nullptr, "form", &log);
    auto* label = new TProbe(&form, "label", &log);
    auto* button = new TProbe(&form, "button", &log);
    label->watched = button;  // a sibling: told through the owner
    TProbe outside(nullptr, "outside", &log);
    auto* target = new TProbe(nullptr, "target", &log);
    outside.watched = target;
    outside.FreeNotification(target);
    delete button;
    EXPECT_EQ(label->watched, nullptr);
    delete target;
    EXPECT_EQ(outside.watched, nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"free button", "label saw removal", "free target", "outside saw removal"}));

    // The notifier going first must not leave a dangling entry behind.
    auto* watcher = new TProbe(nullptr, "watcher", nullptr);
    TProbe subject(nullptr, "subject", nullptr);
    watcher->FreeNotification(&subject);
    delete watcher;
    // subject is freed at scope end; with a stale entry that would touch the freed watcher (ASan).
}

TEST(TComponent, NamesAreUniquePerOwnerIgnoringCase) {
    TComponent owner(nullptr), other(nullptr);
    auto* a = new TComponent(&owner);
    auto* b = new TComponent(&owner);
    auto* c = new TComponent(&other);
    a->SetName("Timer1");
    EXPECT_THROW(b->SetName("TIMER1"), EComponentError);
    EXPECT_EQ(b->Name(), "");
    c->SetName("timer1");  // another owner: fine
    a->SetName("timer1");  // renaming itself in another case
    EXPECT_EQ(owner.FindComponent("TIMER1"), a);
    b->SetName("");
    a->SetName("");
    b->SetName("");  // several unnamed components are fine
    EXPECT_EQ(owner.FindComponent(""), nullptr);
    b->SetName("Timer1");
    EXPECT_EQ(owner.FindComponent("timer1"), b);
}

TEST(TComponent, DestroyComponentsAndState) {
    TComponent owner(nullptr);
    for (int i = 0; i < 3; ++i) new TComponent(&owner);
    EXPECT_FALSE(owner.Destroying());
    owner.DestroyComponents();
    EXPECT_EQ(owner.ComponentCount(), 0);
    EXPECT_TRUE(owner.Destroying());
    auto* p = Own<TComponent>(&owner);
    EXPECT_EQ(p->Owner(), &owner);
}

TEST(TPersistent, AssignWithoutSupportRaisesConvertError) {
    TComponent a(nullptr), b(nullptr);
    try {
        a.Assign(&b);
        ADD_FAILURE() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, "Cannot assign a TComponent to a TComponent");
    }
    try {
        a.Assign(nullptr);
        ADD_FAILURE() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, "Cannot assign a nil to a TComponent");
    }
}

}  // namespace

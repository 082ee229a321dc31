// A person's session with the messenger on the headless backend: the program started as its block
// starts it, restarted on the same state folder, and the registry read back as plain values.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fixtures.h"
#include "messenger/StoredState.h"
#include "messenger/TolvarProgram.h"
#include "platform/classlib/headless.h"
#include "platform/classlib/registry.h"

namespace session {

using Strings = std::vector<std::string>;
using Values = std::vector<std::pair<std::string, std::string>>;

inline Strings Items(const TStrings* l) {
    Strings out;
    for (int i = 0; i < l->Count(); ++i) out.push_back(l->Get(i));
    return out;
}

// The string values of a key in enumeration order (empty when the key is missing).
inline Values RegistryValues(const std::string& key) {
    TRegistry reg;
    Values out;
    if (!reg.OpenKeyReadOnly(key)) return out;
    TStringList names;
    reg.GetValueNames(&names);
    for (int i = 0; i < names.Count(); ++i) out.emplace_back(names.Get(i), reg.ReadString(names.Get(i)));
    return out;
}

inline Strings RegistrySubkeys(const std::string& key) {
    TRegistry reg;
    TStringList names;
    if (reg.OpenKeyReadOnly(key)) reg.GetKeyNames(&names);
    return Items(&names);
}

inline bool RegistryKeyExists(const std::string& key) {
    TRegistry reg;
    return reg.KeyExists(key);
}

inline std::string UserKey(const std::string& user, const std::string& sub = "") {
    return storedstate::UserKeyPath(user) + (sub.empty() ? "" : "\\" + sub);
}

inline std::string HiveBytes() { return testsupport::ReadAll(reg::HiveFilePath(HKEY_CURRENT_USER)); }

class TolvarSession : public ::testing::Test {
protected:
    // Starts the program (again) on the same state folder, as a new process would: the hives are
    // read afresh from their files.
    void Start() {
        session_.reset();
        reg::ReloadHives();
        session_ = std::make_unique<headless::TSession>();
        tolvar::CreateForms();
        tolvar::ShowMainForm();
        headless::Pump();
    }
    // The exit command answered Yes: the program writes back and halts.
    void ExitWithYes() {
        headless::Headless().QueueBoxAnswer(IDYES);
        headless::Click("Form1.k3");
        ASSERT_TRUE(headless::Halted()) << LastBoxText();
    }
    void TearDown() override { session_.reset(); }

    std::string LastBoxText() {
        const auto& boxes = headless::Headless().Boxes();
        return boxes.empty() ? std::string() : boxes.back().Text;
    }
    size_t BoxCount() { return headless::Headless().Boxes().size(); }
    // The notice boxes asked since `from`, their texts in order.
    Strings BoxesSince(size_t from) {
        Strings out;
        const auto& boxes = headless::Headless().Boxes();
        for (size_t i = from; i < boxes.size(); ++i) out.push_back(boxes[i].Text);
        return out;
    }

    testsupport::TempState state_;
    std::unique_ptr<headless::TSession> session_;
};

}  // namespace session

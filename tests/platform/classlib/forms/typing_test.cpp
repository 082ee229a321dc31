// Scripted typing as a keyboard types: a key-down before every character.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/classlib/forms.h"
#include "platform/classlib/headless.h"
#include "platform/classlib/stdctrls.h"

TEST(HeadlessTyping, AKeyDownComesBeforeEachCharacter) {
    headless::TSession session;
    auto* form = new TForm(Application);
    form->SetName("FormK");
    auto* memo = new TMemo(form);
    memo->SetName("Memo1");
    memo->SetParent(form);
    std::vector<std::string> seen;  // the text as each key-down finds it
    memo->OnKeyDown = [&](TObject*, WORD& key, TShiftState) {
        seen.push_back(memo->Text());
        if (key == 'X') key = 0;  // a handler may not swallow: the character still goes in
    };
    form->AfterConstruction();
    form->Show();
    headless::Type(memo, "abx");
    EXPECT_EQ(seen, (std::vector<std::string>{"", "a", "ab"})) << "each key-down comes before its character";
    EXPECT_EQ(memo->Text(), "abx");
}

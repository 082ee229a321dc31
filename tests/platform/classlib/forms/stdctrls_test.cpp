// Standard controls, buttons, panels and the status bar: what code changes versus what a user does.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/buttons.h"
#include "platform/classlib/comctrls.h"
#include "platform/classlib/cp1254.h"
#include "platform/classlib/extctrls.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"

namespace {

// A hidden form that owns and parents the controls of one test.
class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<TForm>(nullptr);
        form->AfterConstruction();
    }
    void TearDown() override { form.reset(); }

    template <class T>
    T* Make(TWinControl* parent = nullptr) {
        T* c = new T(form.get());
        c->SetParent(parent ? parent : form.get());
        return c;
    }

    // Types each character as a user would (key preview, OnKeyPress, the control's own handling).
    static void Type(TWinControl* c, const std::string& chars) {
        for (char ch : chars) c->KeyPress(ch);
    }

    std::unique_ptr<TForm> form;
};

// ---- edits -------------------------------------------------------------------------------------

TEST_F(ControlsTest, EditMaxLengthLimitsTypingAndPastingButNotCode) {
    auto* edit = Make<TEdit>();
    edit->MaxLength = 5;
    int changes = 0;
    edit->OnChange = [&](TObject*) { ++changes; };

    Type(edit, "abcdefg");
    EXPECT_EQ(edit->Text(), "abcde");
    EXPECT_EQ(changes, 5);  // refused characters change nothing

    EXPECT_EQ(edit->UserPaste("xyz"), 0);
    EXPECT_EQ(edit->Text(), "abcde");
    EXPECT_EQ(changes, 5);

    edit->SetText("0123456789");  // code is never cut
    EXPECT_EQ(edit->Text(), "0123456789");
    EXPECT_EQ(changes, 6);
    EXPECT_EQ(edit->SelStart(), 10);  // caret at the end

    edit->SetText("0123456789");  // same text: no change event
    EXPECT_EQ(changes, 6);

    // A selection frees its room: typing over all of a full edit works.
    edit->SelectAll();
    Type(edit, "Z");
    EXPECT_EQ(edit->Text(), "Z");
    EXPECT_EQ(changes, 7);
}

TEST_F(ControlsTest, EditPasteTakesWhatFitsAsOneChange) {
    struct Case {
        const char* start;
        int maxLength;
        const char* paste;
        const char* expect;
        int taken;
    } cases[] = {
        {"ab", 4, "xyz", "abxy", 2},
        {"ab", 0, "xyz", "abxyz", 3},
        {"", 3, "one\r\ntwo", "one", 3},    // a one-line edit stops at the line break
        {"", 10, "one\ntwo", "one", 3},
        {"abc", 3, "", "abc", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.paste);
        auto* edit = Make<TEdit>();
        edit->SetText(c.start);
        edit->MaxLength = c.maxLength;
        int changes = 0;
        edit->OnChange = [&](TObject*) { ++changes; };
        EXPECT_EQ(edit->UserPaste(c.paste), c.taken);
        EXPECT_EQ(edit->Text(), c.expect);
        EXPECT_EQ(changes, c.taken > 0 ? 1 : 0);
    }
}

TEST_F(ControlsTest, EditKeysReadOnlyAndKeyPressHandler) {
    auto* edit = Make<TEdit>();
    edit->SetText("abc");
    char b = VK_BACK;
    edit->KeyPress(b);
    EXPECT_EQ(edit->Text(), "ab");

    // The handler may change a key or swallow it.
    edit->OnKeyPress = [](TObject*, char& key) {
        if (key == 'x') key = 0;
        if (key == 'q') key = 'Q';
    };
    Type(edit, "xq");
    EXPECT_EQ(edit->Text(), "abQ");

    // Caret in the middle: typing and backspace work there.
    edit->SetSelStart(1);
    Type(edit, "-");
    EXPECT_EQ(edit->Text(), "a-bQ");
    edit->KeyPress(b);
    EXPECT_EQ(edit->Text(), "abQ");

    edit->ReadOnly = true;
    int changes = 0;
    edit->OnChange = [&](TObject*) { ++changes; };
    Type(edit, "zz");
    edit->KeyPress(b);
    EXPECT_EQ(edit->UserPaste("p"), 0);
    EXPECT_EQ(edit->Text(), "abQ");
    EXPECT_EQ(changes, 0);
    edit->SetText("code");  // ReadOnly stops users only
    EXPECT_EQ(edit->Text(), "code");
    EXPECT_EQ(changes, 1);

    // Control characters type nothing; backspace at the start does nothing.
    edit->ReadOnly = false;
    edit->SetSelStart(0);
    char ctrl = 1;
    edit->KeyPress(ctrl);
    edit->KeyPress(b);
    EXPECT_EQ(edit->Text(), "code");
}

TEST_F(ControlsTest, EnterAndEscapeRunTheFormsDefaultAndCancelButtons) {
    auto* panel = Make<TPanel>();
    auto* edit = Make<TEdit>(panel);
    auto* ok = Make<TButton>(panel);
    auto* cancel = Make<TButton>();
    ok->Default = true;
    ok->ModalResult = mrOk;
    cancel->Cancel = true;
    std::vector<std::string> log;
    ok->OnClick = [&](TObject*) { log.push_back("ok"); };
    cancel->OnClick = [&](TObject*) { log.push_back("cancel"); };
    edit->OnChange = [&](TObject*) { log.push_back("change"); };

    Type(edit, "\r");
    EXPECT_EQ(form->ModalResult, mrOk);
    Type(edit, "\x1b");
    EXPECT_EQ(log, (std::vector<std::string>{"ok", "cancel"}));
    EXPECT_EQ(edit->Text(), "");
}

// ---- memo --------------------------------------------------------------------------------------

TEST_F(ControlsTest, MemoLinesAreAViewOfTheRawText) {
    struct Case {
        const char* text;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\r\n\r\n", {"a", ""}},
        {"\r\nb", {"", "b"}},
    };
    auto* memo = Make<TMemo>();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        memo->SetText(c.text);
        ASSERT_EQ(memo->Lines()->Count(), static_cast<int>(c.lines.size()));
        for (int i = 0; i < memo->Lines()->Count(); ++i) EXPECT_EQ(memo->Lines()->Get(i), c.lines[static_cast<size_t>(i)]);
        EXPECT_EQ(memo->Lines()->Text(), c.text);
    }
    EXPECT_THROW(memo->Lines()->Get(5), EListError);
}

TEST_F(ControlsTest, MemoLineEditsChangeTheTextAndFireOnChange) {
    auto* memo = Make<TMemo>();
    int changes = 0;
    memo->OnChange = [&](TObject*) { ++changes; };
    memo->Lines()->Add("one");
    memo->Lines()->Add("two");
    EXPECT_EQ(memo->Text(), "one\r\ntwo\r\n");
    memo->Lines()->Insert(0, "zero");
    EXPECT_EQ(memo->Text(), "zero\r\none\r\ntwo\r\n");
    memo->Lines()->Put(1, "ONE");
    memo->Lines()->Delete(2);
    EXPECT_EQ(memo->Text(), "zero\r\nONE\r\n");
    EXPECT_EQ(changes, 5);

    // Appending to text whose last line has no break ends that line first.
    memo->SetText("a\r\nb");
    memo->Lines()->Add("c");
    EXPECT_EQ(memo->Text(), "a\r\nb\r\nc\r\n");
    // Deleting an unterminated last line leaves the break before it.
    memo->SetText("a\r\nb");
    memo->Lines()->Delete(1);
    EXPECT_EQ(memo->Text(), "a\r\n");
    memo->Lines()->Delete(0);
    EXPECT_EQ(memo->Text(), "");
    memo->SetText("x\r\ny");
    memo->Lines()->Exchange(0, 1);
    EXPECT_EQ(memo->Text(), "y\r\nx");
    memo->Lines()->Clear();
    EXPECT_EQ(memo->Text(), "");
}

TEST_F(ControlsTest, MemoEnterTypesALineBreakWithinMaxLength) {
    auto* memo = Make<TMemo>();
    memo->MaxLength = 4;
    Type(memo, "ab\rc");
    EXPECT_EQ(memo->Text(), "ab\r\n");  // the break counts two; "c" had no room
    char b = VK_BACK;
    memo->KeyPress(b);  // a break goes as one
    EXPECT_EQ(memo->Text(), "ab");
    Type(memo, "c\r");  // three characters: no room for the break
    EXPECT_EQ(memo->Text(), "abc");
    EXPECT_EQ(memo->UserPaste("\r\nxyz"), 0);  // only half a break would fit: none goes in
    EXPECT_EQ(memo->UserPaste("d\r\n"), 1);
    EXPECT_EQ(memo->Text(), "abcd");
}

// ---- list box ----------------------------------------------------------------------------------

TEST_F(ControlsTest, ListBoxUserSelectionFiresEventsCodeDoesNot) {
    auto* list = Make<TListBox>();
    std::vector<std::string> log;
    list->OnClick = [&](TObject*) { log.push_back("click " + std::to_string(list->ItemIndex())); };
    list->OnDblClick = [&](TObject*) { log.push_back("dbl " + std::to_string(list->ItemIndex())); };
    list->Items()->Add("b");
    list->Items()->Add("a");
    list->Items()->Add("c");
    EXPECT_FALSE(list->Sorted());
    EXPECT_EQ(list->Items()->Get(0), "b");  // insertion order
    EXPECT_EQ(list->ItemIndex(), -1);

    list->SetItemIndex(2);
    EXPECT_EQ(list->ItemIndex(), 2);
    list->SetItemIndex(-1);
    EXPECT_TRUE(log.empty());

    list->UserSelect(1);
    list->UserSelect(1);  // every user click counts
    list->UserDblClick(0);
    EXPECT_EQ(log, (std::vector<std::string>{"click 1", "click 1", "click 0", "dbl 0"}));

    EXPECT_THROW(list->SetItemIndex(3), EListError);
    EXPECT_THROW(list->SetItemIndex(-2), EListError);
    EXPECT_THROW(list->UserSelect(-1), EListError);
    try {
        list->UserSelect(7);
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message, "List index out of bounds (7)");
    }
    EXPECT_EQ(list->ItemIndex(), 0);
}

TEST_F(ControlsTest, ListBoxSelectionFollowsItsItem) {
    struct Case {
        const char* what;
        int selected;
        std::function<void(TStrings*)> change;
        int expect;
    } cases[] = {
        {"insert before", 1, [](TStrings* s) { s->Insert(0, "new"); }, 2},
        {"insert after", 1, [](TStrings* s) { s->Insert(2, "new"); }, 1},
        {"insert at it", 1, [](TStrings* s) { s->Insert(1, "new"); }, 2},
        {"delete before", 1, [](TStrings* s) { s->Delete(0); }, 0},
        {"delete it", 1, [](TStrings* s) { s->Delete(1); }, -1},
        {"delete after", 1, [](TStrings* s) { s->Delete(2); }, 1},
        {"clear", 1, [](TStrings* s) { s->Clear(); }, -1},
        {"put", 1, [](TStrings* s) { s->Put(1, "B"); }, 1},
        {"exchange", 1, [](TStrings* s) { s->Exchange(1, 2); }, 1},
        {"add", 1, [](TStrings* s) { s->Add("d"); }, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto* list = Make<TListBox>();
        list->Items()->SetCommaText("a,b,c");
        list->SetItemIndex(c.selected);
        c.change(list->Items());
        EXPECT_EQ(list->ItemIndex(), c.expect);
    }
}

TEST_F(ControlsTest, SortedListBoxKeepsOrderDuplicatesAndSelection) {
    auto* list = Make<TListBox>();
    list->SetSorted(true);
    list->Items()->Add("m");
    list->SetItemIndex(0);
    EXPECT_EQ(list->Items()->Add("a"), 0);  // lands before the selected item
    EXPECT_EQ(list->ItemIndex(), 1);
    list->Items()->Add("m");  // duplicates are kept; the new one goes before the selected one
    EXPECT_EQ(list->Items()->CommaText(), "a,m,m");
    EXPECT_EQ(list->ItemIndex(), 2);
}

// ---- combo box ---------------------------------------------------------------------------------

TEST_F(ControlsTest, ComboBoxUserChoiceFiresEventsCodeDoesNot) {
    auto* combo = Make<TComboBox>();
    combo->Items()->SetCommaText("532,533,535");
    std::vector<std::string> log;
    combo->OnClick = [&](TObject*) { log.push_back("click"); };
    combo->OnChange = [&](TObject*) { log.push_back("change " + combo->Text()); };

    combo->SetItemIndex(1);
    EXPECT_EQ(combo->Text(), "533");
    combo->SetText("535");  // an editable combo keeps the text and finds its item
    EXPECT_EQ(combo->ItemIndex(), 2);
    combo->SetText("599");
    EXPECT_EQ(combo->ItemIndex(), -1);
    EXPECT_EQ(combo->Text(), "599");
    combo->SetItemIndex(0);
    combo->SetItemIndex(-1);  // no item chosen: nothing shown
    EXPECT_EQ(combo->Text(), "");
    EXPECT_THROW(combo->SetItemIndex(3), EListError);
    EXPECT_TRUE(log.empty());

    combo->UserSelect(2);
    EXPECT_EQ(combo->ItemIndex(), 2);
    EXPECT_EQ(log, (std::vector<std::string>{"click", "change 535"}));
    EXPECT_THROW(combo->UserSelect(3), EListError);
}

TEST_F(ControlsTest, ComboBoxTypingInEditableAndListStyles) {
    auto* combo = Make<TComboBox>();
    combo->Items()->SetCommaText("532,533");
    combo->MaxLength = 3;
    int changes = 0;
    combo->OnChange = [&](TObject*) { ++changes; };
    Type(combo, "5334");
    EXPECT_EQ(combo->Text(), "533");
    EXPECT_EQ(combo->ItemIndex(), 1);  // typed text matching an item selects it
    EXPECT_EQ(changes, 3);
    char b = VK_BACK;
    combo->KeyPress(b);
    EXPECT_EQ(combo->Text(), "53");
    EXPECT_EQ(combo->ItemIndex(), -1);
    EXPECT_EQ(changes, 4);

    auto* list = Make<TComboBox>();
    list->Style = csDropDownList;
    list->Items()->SetCommaText("Ahmet,Mehmet");
    char k = 'x';
    EXPECT_THROW(list->KeyPress(k), EInvalidOperation);
    list->SetText("mehmet");  // a drop-down list selects the item, ignoring case
    EXPECT_EQ(list->ItemIndex(), 1);
    EXPECT_EQ(list->Text(), "Mehmet");
    list->SetText("Ali");
    EXPECT_EQ(list->ItemIndex(), -1);
    EXPECT_EQ(list->Text(), "");
    list->SetItemIndex(1);
    list->Items()->Delete(1);  // the chosen item goes, and with it the text
    EXPECT_EQ(list->ItemIndex(), -1);
    EXPECT_EQ(list->Text(), "");
    list->SetItemIndex(0);
    list->Items()->Put(0, "Ayse");
    EXPECT_EQ(list->Text(), "Ayse");
}

// ---- check and radio buttons -------------------------------------------------------------------

TEST_F(ControlsTest, CheckBoxOnClickRunsOnEveryChangeByCodeOrUser) {
    auto* check = Make<TCheckBox>();
    int clicks = 0;
    check->OnClick = [&](TObject*) { ++clicks; };
    check->SetChecked(true);
    EXPECT_EQ(clicks, 1);
    check->SetChecked(true);  // no change, no event
    EXPECT_EQ(clicks, 1);
    check->Click();  // a user's click toggles once
    EXPECT_FALSE(check->Checked());
    EXPECT_EQ(clicks, 2);

    check->AllowGrayed = true;
    check->Click();
    EXPECT_EQ(check->State(), cbGrayed);
    check->Click();
    EXPECT_EQ(check->State(), cbChecked);
    EXPECT_EQ(clicks, 4);
}

TEST_F(ControlsTest, RadioButtonsUncheckTheirSiblingsOnly) {
    auto* r1 = Make<TRadioButton>();
    auto* r2 = Make<TRadioButton>();
    auto* box = Make<TGroupBox>();
    auto* r3 = Make<TRadioButton>(box);
    std::vector<std::string> log;
    r1->OnClick = [&](TObject*) { log.push_back("r1"); };
    r2->OnClick = [&](TObject*) { log.push_back("r2"); };
    r3->OnClick = [&](TObject*) { log.push_back("r3"); };

    r1->SetChecked(true);
    r3->SetChecked(true);  // another parent: r1 stays
    EXPECT_TRUE(r1->Checked());
    r2->Click();
    EXPECT_FALSE(r1->Checked());
    EXPECT_TRUE(r2->Checked());
    EXPECT_TRUE(r3->Checked());
    r2->Click();  // already checked: nothing
    r2->SetChecked(false);  // unchecking by code: no event
    EXPECT_FALSE(r2->Checked());
    EXPECT_EQ(log, (std::vector<std::string>{"r1", "r3", "r2"}));
}

// ---- buttons -----------------------------------------------------------------------------------

TEST_F(ControlsTest, ButtonSetsModalResultBeforeItsHandler) {
    auto* panel = Make<TPanel>();
    auto* button = Make<TButton>(panel);
    button->ModalResult = mrYes;
    TModalResult seen = -1;
    button->OnClick = [&](TObject*) { seen = form->ModalResult; };
    button->Click();
    EXPECT_EQ(seen, mrYes);

    auto* plain = Make<TButton>();
    form->ModalResult = mrNone;
    plain->Click();  // mrNone leaves the form's result alone
    EXPECT_EQ(form->ModalResult, mrNone);
}

TEST_F(ControlsTest, BitBtnKinds) {
    struct Case {
        TBitBtnKind kind;
        TModalResult result;
        bool isDefault, isCancel;
        const char* caption;
    } cases[] = {
        {bkOK, mrOk, true, false, "OK"},           {bkCancel, mrCancel, false, true, "Cancel"},
        {bkYes, mrYes, true, false, "&Yes"},       {bkNo, mrNo, false, true, "&No"},
        {bkAbort, mrAbort, false, false, "Abort"}, {bkRetry, mrRetry, false, false, "&Retry"},
        {bkIgnore, mrIgnore, false, false, "&Ignore"}, {bkAll, mrAll, false, false, "&All"},
        {bkClose, mrNone, false, false, "&Close"}, {bkHelp, mrNone, false, false, "&Help"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        auto* b = Make<TBitBtn>();
        b->SetKind(c.kind);
        EXPECT_EQ(b->Kind(), c.kind);
        EXPECT_EQ(b->ModalResult, c.result);
        EXPECT_EQ(b->Default, c.isDefault);
        EXPECT_EQ(b->Cancel, c.isCancel);
        EXPECT_EQ(b->Caption(), c.caption);
    }
    // The program's own caption stays, whichever is set first.
    auto* before = Make<TBitBtn>();
    before->SetCaption("Tamam");
    before->SetKind(bkOK);
    auto* after = Make<TBitBtn>();
    after->SetKind(bkCancel);
    after->SetCaption("Vazgeç"_w);
    EXPECT_EQ(before->Caption(), "Tamam");
    EXPECT_EQ(before->ModalResult, mrOk);
    EXPECT_EQ(after->Caption(), "Vazgeç"_w);
}

TEST_F(ControlsTest, BitBtnCloseKindClosesItsForm) {
    auto* b = Make<TBitBtn>();
    b->SetKind(bkClose);
    int closes = 0, clicks = 0;
    form->OnClose = [&](TObject*, TCloseAction&) { ++closes; };
    b->OnClick = [&](TObject*) { ++clicks; };
    b->Click();
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(clicks, 0);
}

TEST_F(ControlsTest, SpeedButtonGroups) {
    auto* plain = Make<TSpeedButton>();
    int plainClicks = 0;
    plain->OnClick = [&](TObject*) { ++plainClicks; };
    plain->Click();
    plain->SetDown(true);  // no group: never stays down
    EXPECT_FALSE(plain->Down());
    EXPECT_EQ(plainClicks, 1);

    auto* a = Make<TSpeedButton>();
    auto* b = Make<TSpeedButton>();
    auto* panel = Make<TPanel>();
    auto* elsewhere = Make<TSpeedButton>(panel);  // same group index, other parent
    for (auto* s : {a, b, elsewhere}) s->SetGroupIndex(1);
    int clicks = 0;
    for (auto* s : {a, b}) s->OnClick = [&](TObject*) { ++clicks; };

    elsewhere->SetDown(true);
    a->Click();
    EXPECT_TRUE(a->Down());
    b->Click();
    EXPECT_FALSE(a->Down());
    EXPECT_TRUE(b->Down());
    EXPECT_TRUE(elsewhere->Down());
    b->Click();  // without AllowAllUp the down button stays down, but the click still counts
    EXPECT_TRUE(b->Down());
    EXPECT_EQ(clicks, 3);
    b->SetDown(false);  // code cannot raise the last one either
    EXPECT_TRUE(b->Down());

    a->SetAllowAllUp(true);  // shared by the group
    EXPECT_TRUE(b->AllowAllUp());
    b->Click();
    EXPECT_FALSE(b->Down());
    a->SetDown(true);  // by code: no event
    EXPECT_EQ(clicks, 4);
}

// ---- status bar --------------------------------------------------------------------------------

TEST_F(ControlsTest, StatusBarPanelsAndSimpleText) {
    auto* bar = Make<TStatusBar>();
    EXPECT_EQ(bar->Align(), alBottom);
    TStatusPanel* p = bar->Panels()->Add();
    p->SetWidth(50);
    p->SetText("SMS Listesi : GENEL");
    EXPECT_EQ(bar->Panels()->Count(), 1);
    EXPECT_EQ((*bar->Panels())[0]->Text(), "SMS Listesi : GENEL");
    EXPECT_EQ(bar->Panels()->Items(0)->Width(), 50);
    try {
        bar->Panels()->Items(1);
        ADD_FAILURE() << "no error";
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message, "List index out of bounds (1)");
    }
    EXPECT_THROW(bar->Panels()->Delete(-1), EListError);

    bar->SetSimplePanel(true);
    bar->SetSimpleText("hazır"_w);
    EXPECT_TRUE(bar->SimplePanel());
    EXPECT_EQ(bar->SimpleText(), "hazır"_w);
    EXPECT_EQ(bar->Panels()->Count(), 1);  // the panels stay for when SimplePanel goes off
    bar->Panels()->Clear();
    EXPECT_EQ(bar->Panels()->Count(), 0);
}

}  // namespace

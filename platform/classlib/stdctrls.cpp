#include "platform/classlib/stdctrls.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "platform/classlib/forms.h"

namespace {

[[noreturn]] void IndexError(int i) {
    throw EListError(Format(sysconst::ListIndexError, {static_cast<std::int64_t>(i)}));
}

bool IsListStyle(TComboBoxStyle s) {
    return s == csDropDownList || s == csOwnerDrawFixed || s == csOwnerDrawVariable;
}

// A typed Enter or Escape goes to the control's form as its dialog key.
void RunDialogKey(TControl* control, char key) {
    if (TCustomForm* form = control->ParentForm()) form->DialogKey(key == '\r' ? VK_RETURN : VK_ESCAPE);
}

}  // namespace

// ---- TCustomLabel ---------------------------------------------------------------------------------

TCustomLabel::TCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
    SetBounds(0, 0, 65, 17);
}

// ---- TCustomEdit ----------------------------------------------------------------------------------

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner) {
    SetBounds(0, 0, 121, 21);
}

void TCustomEdit::SetText(const std::string& v) {
    bool changed = v != Text();
    TControl::SetText(v);
    FSelStart = static_cast<int>(Text().size());
    FSelLength = 0;
    if (changed) Change();
}

void TCustomEdit::Change() {
    if (OnChange) OnChange(this);
}

void TCustomEdit::SelectAll() {
    FSelStart = 0;
    FSelLength = static_cast<int>(Text().size());
}

void TCustomEdit::SetSelStart(int v) {
    int len = static_cast<int>(Text().size());
    FSelStart = v < 0 ? 0 : v > len ? len : v;
    FSelLength = 0;
}

int TCustomEdit::Room() const {
    if (MaxLength <= 0) return INT_MAX;
    int used = static_cast<int>(Text().size()) - FSelLength;
    return MaxLength > used ? MaxLength - used : 0;
}

void TCustomEdit::ReplaceSelection(const std::string& s) {
    std::string text = Text();
    // The caret may be stale when a descendant changed the text underneath; keep it inside.
    size_t start = std::min(static_cast<size_t>(FSelStart), text.size());
    size_t len = std::min(static_cast<size_t>(FSelLength), text.size() - start);
    std::string next = text.substr(0, start) + s + text.substr(start + len);
    bool changed = next != text;
    TControl::SetText(next);
    FSelStart = static_cast<int>(start + s.size());
    FSelLength = 0;
    if (changed) Change();
}

bool TCustomEdit::KeyPress(char& Key) {
    if (!TWinControl::KeyPress(Key)) return false;
    const auto c = static_cast<unsigned char>(Key);
    if (c == '\r') {
        if (MultiLine()) {
            auto* memo = static_cast<TMemo*>(this);
            if (memo->WantReturns) {
                if (!ReadOnly && Room() >= 2) ReplaceSelection("\r\n");
                return true;
            }
        }
        RunDialogKey(this, '\r');
        return true;
    }
    if (c == 27) {
        RunDialogKey(this, 27);
        return true;
    }
    if (c == VK_BACK) {
        if (ReadOnly) return true;
        if (FSelLength == 0) {
            const std::string& text = Text();
            int start = std::min(FSelStart, static_cast<int>(text.size()));
            if (start == 0) return true;
            int n = 1;
            // A line break goes as one.
            if (start >= 2 && text[static_cast<size_t>(start) - 1] == '\n' && text[static_cast<size_t>(start) - 2] == '\r') n = 2;
            FSelStart = start - n;
            FSelLength = n;
        }
        ReplaceSelection("");
        return true;
    }
    if (c == '\t') {
        if (!MultiLine() || !static_cast<TMemo*>(this)->WantTabs) return true;
    } else if (c < 32) {
        return true;  // other control characters type nothing
    }
    if (ReadOnly || Room() < 1) return true;
    ReplaceSelection(std::string(1, Key));
    return true;
}

int TCustomEdit::UserPaste(const std::string& text) {
    if (ReadOnly) return 0;
    std::string piece = text;
    if (!MultiLine()) {
        size_t br = piece.find_first_of("\r\n");
        if (br != std::string::npos) piece.resize(br);
    }
    int room = Room();
    if (static_cast<int>(piece.size()) > room) {
        piece.resize(static_cast<size_t>(room));
        // Never keep half of a line break.
        if (!piece.empty() && piece.back() == '\r' && text.size() > piece.size() && text[piece.size()] == '\n') piece.pop_back();
    }
    if (piece.empty() && FSelLength == 0) return 0;
    ReplaceSelection(piece);
    return static_cast<int>(piece.size());
}

void TCustomEdit::Describe(TControlDescription& d) const {
    if (PasswordChar) d.Text(std::string(Text().size(), PasswordChar));
    else d.Text(Text());
}

// ---- TMemo ----------------------------------------------------------------------------------------

namespace {

// The lines of a memo, computed from its raw text on every access. Line i runs from its start to the
// next CR LF (or the end of the text); a final CR LF ends the last line without making another.
class TMemoStrings : public TStrings {
public:
    explicit TMemoStrings(TMemo* memo) : FMemo(memo) {}
    const char* ClassName() const override { return "TMemoStrings"; }

    int Count() const override { return static_cast<int>(Starts().size()); }
    std::string Get(int index) const override {
        auto [b, e] = Span(index);
        return FMemo->Text().substr(b, e - b);
    }
    void Put(int index, const std::string& s) override {
        auto [b, e] = Span(index);
        std::string t = FMemo->Text();
        FMemo->SetText(t.substr(0, b) + s + t.substr(e));
    }
    TObject* GetObject(int index) const override {
        Span(index);
        return nullptr;
    }
    void PutObject(int index, TObject*) override { Span(index); }
    void Insert(int index, const std::string& s) override {
        std::vector<size_t> starts = Starts();
        int n = static_cast<int>(starts.size());
        if (index < 0 || index > n) IndexError(index);
        std::string t = FMemo->Text();
        if (index < n) {
            size_t at = starts[static_cast<size_t>(index)];
            FMemo->SetText(t.substr(0, at) + s + "\r\n" + t.substr(at));
        } else {
            bool open = !t.empty() && !EndsWithBreak(t);
            FMemo->SetText(t + (open ? "\r\n" : "") + s + "\r\n");
        }
    }
    void Delete(int index) override {
        std::vector<size_t> starts = Starts();
        if (index < 0 || index >= static_cast<int>(starts.size())) IndexError(index);
        std::string t = FMemo->Text();
        size_t b = starts[static_cast<size_t>(index)];
        size_t e = static_cast<size_t>(index) + 1 < starts.size() ? starts[static_cast<size_t>(index) + 1] : t.size();
        FMemo->SetText(t.substr(0, b) + t.substr(e));
    }
    void Clear() override { FMemo->SetText(""); }
    std::string Text() const override { return FMemo->Text(); }
    void SetText(const std::string& text) override { FMemo->SetText(text); }

private:
    static bool EndsWithBreak(const std::string& t) { return t.size() >= 2 && t.compare(t.size() - 2, 2, "\r\n") == 0; }
    std::vector<size_t> Starts() const {
        std::vector<size_t> starts;
        std::string t = FMemo->Text();
        if (t.empty()) return starts;
        size_t i = 0;
        starts.push_back(0);
        while ((i = t.find("\r\n", i)) != std::string::npos) {
            i += 2;
            if (i < t.size()) starts.push_back(i);
        }
        return starts;
    }
    std::pair<size_t, size_t> Span(int index) const {
        std::vector<size_t> starts = Starts();
        if (index < 0 || index >= static_cast<int>(starts.size())) IndexError(index);
        std::string t = FMemo->Text();
        size_t b = starts[static_cast<size_t>(index)];
        size_t e = t.find("\r\n", b);
        if (e == std::string::npos) e = t.size();
        return {b, e};
    }
    TMemo* FMemo;
};

}  // namespace

TMemo::TMemo(TComponent* AOwner) : TCustomEdit(AOwner), FLines(std::make_unique<TMemoStrings>(this)) {
    SetBounds(0, 0, 185, 89);
}

TMemo::~TMemo() = default;

void TMemo::KeyAction(WORD Key, TShiftState Shift) {
    if (Key != VK_RETURN) return TCustomEdit::KeyAction(Key, Shift);
    char c = '\r';
    KeyPress(c);
}

// ---- list and combo box items ---------------------------------------------------------------------

// The items of a list box: a string list that keeps the box's selection on the same item.
class TListBoxStrings : public TStringList {
public:
    explicit TListBoxStrings(TCustomListBox* box) : FBox(box) { Duplicates = TDuplicates::dupAccept; }
    const char* ClassName() const override { return "TListBoxStrings"; }

    int Add(const std::string& s) override {
        int before = Count();
        int at = TStringList::Add(s);
        if (Count() > before) Inserted(at);
        return at;
    }
    void Insert(int index, const std::string& s) override {
        TStringList::Insert(index, s);
        Inserted(index);
    }
    void Delete(int index) override {
        TStringList::Delete(index);
        int& sel = FBox->FItemIndex;
        if (sel == index)
            sel = -1;
        else if (sel > index)
            --sel;
        FBox->NotifyPeerText();
    }
    void Clear() override {
        TStringList::Clear();
        FBox->FItemIndex = -1;
        FBox->NotifyPeerText();
    }
    void Put(int index, const std::string& s) override {
        TStringList::Put(index, s);
        FBox->NotifyPeerText();
    }

private:
    void Inserted(int index) {
        int& sel = FBox->FItemIndex;
        if (sel >= index) ++sel;
        FBox->NotifyPeerText();
    }
    TCustomListBox* FBox;
};

// The items of a combo box: as above; a drop-down list also keeps its text on the selected item.
class TComboStrings : public TStringList {
public:
    explicit TComboStrings(TComboBox* box) : FBox(box) { Duplicates = TDuplicates::dupAccept; }
    const char* ClassName() const override { return "TComboStrings"; }

    int Add(const std::string& s) override {
        int before = Count();
        int at = TStringList::Add(s);
        if (Count() > before) Inserted(at);
        return at;
    }
    void Insert(int index, const std::string& s) override {
        TStringList::Insert(index, s);
        Inserted(index);
    }
    void Delete(int index) override {
        TStringList::Delete(index);
        int& sel = FBox->FItemIndex;
        if (sel == index) {
            sel = -1;
            if (IsListStyle(FBox->Style)) FBox->TControl::SetText("");
        } else if (sel > index) {
            --sel;
        }
        FBox->NotifyPeerText();
    }
    void Clear() override {
        TStringList::Clear();
        FBox->FItemIndex = -1;
        if (IsListStyle(FBox->Style)) FBox->TControl::SetText("");
        FBox->NotifyPeerText();
    }
    void Put(int index, const std::string& s) override {
        TStringList::Put(index, s);
        if (index == FBox->FItemIndex && IsListStyle(FBox->Style)) FBox->TControl::SetText(s);
        FBox->NotifyPeerText();
    }

private:
    void Inserted(int index) {
        int& sel = FBox->FItemIndex;
        if (sel >= index) ++sel;
        FBox->NotifyPeerText();
    }
    TComboBox* FBox;
};

// ---- TCustomListBox -------------------------------------------------------------------------------

TCustomListBox::TCustomListBox(TComponent* AOwner)
    : TWinControl(AOwner), FItems(std::make_unique<TListBoxStrings>(this)) {
    SetBounds(0, 0, 121, 97);
}

TCustomListBox::~TCustomListBox() = default;

TStrings* TCustomListBox::Items() const { return FItems.get(); }

void TCustomListBox::SetItemIndex(int i) {
    if (i < -1 || i >= FItems->Count()) IndexError(i);
    if (i == FItemIndex) return;
    FItemIndex = i;
    NotifyPeerText();
}

bool TCustomListBox::Sorted() const { return FItems->Sorted(); }

void TCustomListBox::SetSorted(bool v) {
    if (v == FItems->Sorted()) return;
    FItems->SetSorted(v);
    // The box is rebuilt in the new order; the selection keeps its position.
    NotifyPeerText();
}

void TCustomListBox::Clear() { FItems->Clear(); }

int TCustomListBox::ItemAtPos(int x, int y) const {
    if (x < 0 || y < 0 || x >= ClientWidth() || y >= ClientHeight()) return -1;
    int h = ItemHeight > 0 ? ItemHeight : 13;
    int index = TopIndex + y / h;
    return index >= 0 && index < FItems->Count() ? index : -1;
}

void TCustomListBox::UserSelect(int index) {
    if (index < 0 || index >= FItems->Count()) IndexError(index);
    if (index != FItemIndex) {
        FItemIndex = index;
        NotifyPeerText();
    }
    Click();
}

void TCustomListBox::UserDblClick(int index) {
    UserSelect(index);
    DblClick();
}

int TCustomListBox::UserItemCount() const { return FItems->Count(); }

void TCustomListBox::KeyAction(WORD Key, TShiftState Shift) {
    if (Key != VK_UP && Key != VK_DOWN) return TWinControl::KeyAction(Key, Shift);
    int n = FItems->Count();
    if (n == 0) return;
    UserSelect(Key == VK_UP ? std::max(0, FItemIndex - 1) : std::min(n - 1, FItemIndex + 1));
}

void TCustomListBox::Describe(TControlDescription& d) const {
    d.List("items", *FItems);
    d.Value("index", FItemIndex);
}

void TCustomListBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    // The box takes the press first (selection and OnClick), then the mouse event runs.
    if (Button == mbLeft && !(Shift & ssDouble)) {
        int index = ItemAtPos(X, Y);
        if (index >= 0) UserSelect(index);
    }
    TWinControl::MouseDown(Button, Shift, X, Y);
}

// ---- TComboBox ------------------------------------------------------------------------------------

TComboBox::TComboBox(TComponent* AOwner) : TWinControl(AOwner), FItems(std::make_unique<TComboStrings>(this)) {
    SetBounds(0, 0, 145, 21);
}

TComboBox::~TComboBox() = default;

TStrings* TComboBox::Items() const { return FItems.get(); }

void TComboBox::SetItemIndex(int i) {
    if (i < -1 || i >= FItems->Count()) IndexError(i);
    FItemIndex = i;
    // Choosing no item clears the text, as the system's combo box does.
    TControl::SetText(i >= 0 ? FItems->Get(i) : std::string());
    NotifyPeerText();
}

void TComboBox::SetText(const std::string& v) {
    int found = FItems->IndexOf(v);
    if (IsListStyle(Style)) {
        FItemIndex = found;
        TControl::SetText(found >= 0 ? FItems->Get(found) : std::string());
    } else {
        FItemIndex = found;
        TControl::SetText(v);
    }
    NotifyPeerText();
}

bool TComboBox::Sorted() const { return FItems->Sorted(); }

void TComboBox::SetSorted(bool v) {
    if (v == FItems->Sorted()) return;
    std::string text = Text();
    FItems->SetSorted(v);
    // The selection follows the shown text.
    if (FItemIndex >= 0) FItemIndex = FItems->IndexOf(text);
    NotifyPeerText();
}

void TComboBox::Clear() {
    FItems->Clear();
    TControl::SetText("");
}

void TComboBox::UserSelect(int index) {
    if (index < 0 || index >= FItems->Count()) IndexError(index);
    FItemIndex = index;
    TControl::SetText(FItems->Get(index));
    NotifyPeerText();
    Click();
    if (OnChange) OnChange(this);
}

int TComboBox::UserItemCount() const { return FItems->Count(); }

const char* TComboBox::RefusesTyping() const {
    return Style == csDropDownList ? "is a drop-down list and takes no typing" : nullptr;
}

void TComboBox::Describe(TControlDescription& d) const {
    d.Text(Text());
    d.Value("index", FItemIndex);
    d.Value("items", FItems->Count());
}

bool TComboBox::KeyPress(char& Key) {
    if (IsListStyle(Style)) throw EInvalidOperation("Cannot type into a drop-down list");
    if (!TWinControl::KeyPress(Key)) return false;
    const auto c = static_cast<unsigned char>(Key);
    if (c == '\r' || c == 27) {
        RunDialogKey(this, static_cast<char>(c));
        return true;
    }
    std::string text = Text();
    if (c == VK_BACK) {
        if (text.empty()) return true;
        text.pop_back();
    } else if (c < 32) {
        return true;
    } else {
        if (MaxLength > 0 && static_cast<int>(text.size()) >= MaxLength) return true;
        text.push_back(Key);
    }
    FItemIndex = FItems->IndexOf(text);
    TControl::SetText(text);
    NotifyPeerText();
    if (OnChange) OnChange(this);
    return true;
}

// ---- TButton, TCheckBox, TRadioButton, TGroupBox --------------------------------------------------

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) {
    SetBounds(0, 0, 75, 25);
}

void TButton::Click() {
    if (ModalResult != mrNone) {
        if (TCustomForm* form = ParentForm()) form->ModalResult = ModalResult;
    }
    TWinControl::Click();
}

TCheckBox::TCheckBox(TComponent* AOwner) : TWinControl(AOwner) {
    SetBounds(0, 0, 97, 17);
}

void TCheckBox::SetChecked(bool v) { SetState(v ? cbChecked : cbUnchecked); }

void TCheckBox::SetState(TCheckBoxState s) {
    if (s == FState) return;
    FState = s;
    NotifyPeerText();
    TWinControl::Click();  // OnClick, without toggling again
}

void TCheckBox::Click() {
    switch (FState) {
        case cbUnchecked:
            SetState(AllowGrayed ? cbGrayed : cbChecked);
            break;
        case cbChecked:
            SetState(cbUnchecked);
            break;
        case cbGrayed:
            SetState(cbChecked);
            break;
    }
}

void TCheckBox::Describe(TControlDescription& d) const {
    TWinControl::Describe(d);
    d.State(Checked() ? "checked" : "unchecked");
}

TRadioButton::TRadioButton(TComponent* AOwner) : TWinControl(AOwner) {
    SetBounds(0, 0, 113, 17);
}

void TRadioButton::SetChecked(bool v) {
    if (v == FChecked) return;
    FChecked = v;
    NotifyPeerText();
    if (!v) return;
    if (TWinControl* parent = Parent()) {
        for (int i = 0; i < parent->ControlCount(); ++i) {
            auto* other = dynamic_cast<TRadioButton*>(parent->Controls(i));
            if (other && other != this && other->FChecked) {
                other->FChecked = false;
                other->NotifyPeerText();
            }
        }
    }
    TWinControl::Click();
}

void TRadioButton::Click() { SetChecked(true); }

void TRadioButton::Describe(TControlDescription& d) const {
    TWinControl::Describe(d);
    d.State(FChecked ? "checked" : "unchecked");
}

TGroupBox::TGroupBox(TComponent* AOwner) : TWinControl(AOwner) {
    SetBounds(0, 0, 185, 105);
}

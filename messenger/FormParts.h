// Small builders for the parts of the messenger's windows: a component made owned, named and (a
// control) placed on its form in one call, and the fields several windows place the same way.
#pragma once

#include <string>
#include <type_traits>

#include "messenger/OperatorPrefixes.h"
#include "platform/classlib/buttons.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"

namespace messenger {

// A new T owned by the form and named; a control is also placed on `parent` (the form when null).
template <class T>
T* NewPart(TForm* form, const char* name, TWinControl* parent = nullptr) {
    auto* part = new T(form);
    part->SetName(name);
    if constexpr (std::is_base_of_v<TControl, T>) part->SetParent(parent ? parent : form);
    return part;
}

// Where a control stands on its parent.
struct TPlace {
    int Left, Top, Width, Height;
};

// A new captioned control (label, button, group box) owned by the form, named and placed.
template <class T>
T* NewCaptioned(TForm* form, const char* name, const std::string& caption, TPlace at,
                TWinControl* parent = nullptr) {
    auto* c = NewPart<T>(form, name, parent);
    c->SetCaption(caption);
    c->SetBounds(at.Left, at.Top, at.Width, at.Height);
    return c;
}

// A button of a stock kind (OK, cancel) with a caption of its own.
inline TBitBtn* NewBitBtn(TForm* form, const char* name, TBitBtnKind kind, const std::string& caption,
                          TPlace at) {
    auto* b = NewCaptioned<TBitBtn>(form, name, caption, at);
    b->SetKind(kind);
    return b;
}

// A field that shows every character it holds as "*".
inline TEdit* NewPasswordEdit(TForm* form, const char* name, TPlace at, TWinControl* parent = nullptr) {
    auto* e = NewPart<TEdit>(form, name, parent);
    e->PasswordChar = '*';
    e->SetBounds(at.Left, at.Top, at.Width, at.Height);
    return e;
}

inline TEdit* NewEdit(TForm* form, const char* name, int maxLength = 0, const std::string& text = "") {
    auto* e = NewPart<TEdit>(form, name);
    e->MaxLength = maxLength;
    e->SetText(text);
    return e;
}

// The operator prefix choice of the contact windows.
inline TComboBox* NewPrefixCombo(TForm* form, const char* name) {
    auto* c = NewPart<TComboBox>(form, name);
    for (const char* p : OperatorPrefixes) c->Items()->Add(p);
    return c;
}

}  // namespace messenger

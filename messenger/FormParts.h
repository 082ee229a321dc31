// Small builders for the fields several windows place the same way.
#pragma once

#include <string>

#include "messenger/OperatorPrefixes.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"

namespace messenger {

inline TEdit* NewEdit(TForm* form, const char* name, int maxLength = 0, const std::string& text = "") {
    auto* e = new TEdit(form);
    e->SetName(name);
    e->SetParent(form);
    e->MaxLength = maxLength;
    e->SetText(text);
    return e;
}

// The operator prefix choice of the contact windows.
inline TComboBox* NewPrefixCombo(TForm* form, const char* name) {
    auto* c = new TComboBox(form);
    c->SetName(name);
    c->SetParent(form);
    for (const char* p : OperatorPrefixes) c->Items()->Add(p);
    return c;
}

}  // namespace messenger

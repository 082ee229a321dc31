// The class library's input query: a small modal dialog with a prompt, an edit and OK / Cancel.
#pragma once

#include <string>

#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"

class TInputQueryForm : public TForm {
public:
    TInputQueryForm(TComponent* AOwner, const std::string& Caption, const std::string& Prompt);
    const char* ClassName() const override { return "TInputQueryForm"; }
    TLabel* Prompt;
    TEdit* Edit;
    TButton* OKButton;
    TButton* CancelButton;
};

// Shows the dialog with Value as the edit's text; on OK Value takes the edit's text and the result
// is true.
bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value);

// The input query dialog.
#include "player/InputBox.h"

#include <memory>

#include "platform/classlib/application.h"

TInputQueryForm::TInputQueryForm(TComponent* AOwner, const std::string& Caption, const std::string& PromptText)
    : TForm(AOwner) {
    SetName("InputQueryForm");
    BorderStyle = bsDialog;
    SetCaption(Caption);
    SetBounds(0, 0, 270, 110);
    Prompt = new TLabel(this);
    Prompt->SetName("Prompt");
    Prompt->SetParent(this);
    Prompt->SetCaption(PromptText);
    Prompt->SetBounds(8, 8, 250, 13);
    Edit = new TEdit(this);
    Edit->SetName("Edit");
    Edit->SetParent(this);
    Edit->SetBounds(8, 26, 250, 21);
    OKButton = new TButton(this);
    OKButton->SetName("OKButton");
    OKButton->SetParent(this);
    OKButton->SetCaption("OK");
    OKButton->ModalResult = mrOk;
    OKButton->Default = true;
    OKButton->SetBounds(100, 60, 75, 25);
    CancelButton = new TButton(this);
    CancelButton->SetName("CancelButton");
    CancelButton->SetParent(this);
    CancelButton->SetCaption("Cancel");
    CancelButton->ModalResult = mrCancel;
    CancelButton->Cancel = true;
    CancelButton->SetBounds(183, 60, 75, 25);
}

bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value) {
    std::unique_ptr<TInputQueryForm> form(new TInputQueryForm(Application, Caption, Prompt));
    form->AfterConstruction();
    form->Edit->SetText(Value);
    const bool ok = form->ShowModal() == mrOk;
    if (ok) Value = form->Edit->Text();
    form->BeforeDestruction();
    return ok;
}

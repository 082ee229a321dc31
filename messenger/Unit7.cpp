#include "messenger/Unit7.h"

#include "messenger/FormParts.h"
#include "messenger/NewsFile.h"
#include "platform/codepage/cp1254.h"
#include "platform/win/shellapi.h"

using messenger::NewPart;

TForm7* Form7 = nullptr;

namespace {

TMemo* NewAnnouncement(TForm* form, const char* name, TPanel* panel) {
    auto* m = NewPart<TMemo>(form, name, panel);
    m->SetBounds(8, 8, 214, 108);
    m->ReadOnly = true;
    m->ScrollBars = ssVertical;
    m->Color = 16056063;
    m->ParentColor = false;
    return m;
}

}  // namespace

TForm7::TForm7(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form7");
    SetCaption("Marendo Yenilikler"_w);
    BorderStyle = bsSizeToolWin;
    FormStyle = fsStayOnTop;
    Position = poScreenCenter;
    SetBounds(0, 0, 246, 338);

    Panel1 = NewPart<TPanel>(this, "Panel1");
    Panel1->SetBounds(0, 0, 238, 152);
    Panel1->BevelInner = bvLowered;
    Panel1->BevelOuter = bvLowered;
    Panel2 = NewPart<TPanel>(this, "Panel2");
    Panel2->SetBounds(0, 152, 238, 152);
    Panel2->BevelInner = bvLowered;
    Panel2->BevelOuter = bvLowered;

    Memo1 = NewAnnouncement(this, "Memo1", Panel1);
    Button1 = NewPart<TButton>(this, "Button1", Panel1);
    Button1->SetBounds(48, 120, 137, 25);
    Button1->SetCaption("BURAYA TIKLAYIN");
    Button1->OnClick = [this](TObject* s) { Button1Click(s); };
    Memo2 = NewAnnouncement(this, "Memo2", Panel2);
    Button2 = NewPart<TButton>(this, "Button2", Panel2);
    Button2->SetBounds(48, 120, 137, 25);
    Button2->SetCaption("BURAYA TIKLAYIN");
    Button2->OnClick = [this](TObject* s) { Button2Click(s); };

    Label1 = NewPart<TLabel>(this, "Label1");
    Label1->SetCaption("url1");
    Label1->SetVisible(false);
    Label2 = NewPart<TLabel>(this, "Label2");
    Label2->SetCaption("url2");
    Label2->SetVisible(false);
}

void TForm7::OpenLink(const std::string& url) {
    if (!news::IsWebLink(url)) return;
    ShellExecuteA(Handle(), "open", url.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
}

void TForm7::Button1Click(TObject*) { OpenLink(Label1->Caption()); }
void TForm7::Button2Click(TObject*) { OpenLink(Label2->Caption()); }

#include "messenger/Unit10.h"

#include "messenger/FormParts.h"
#include "messenger/LinkLabel.h"
#include "messenger/SiteConfig.h"
#include "messenger/sysinfo.h"
#include "platform/codepage/cp1254.h"

using messenger::NewPart;

TForm10* Form10 = nullptr;

namespace {

TLabel* NewText(TForm* form, const char* name, int top, const std::string& text) {
    auto* l = NewPart<TLabel>(form, name);
    l->SetBounds(16, top, 220, 13);
    l->SetCaption(text);
    return l;
}

}  // namespace

TForm10::TForm10(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form10");
    SetCaption("Tolvar Hakkında"_w);
    BorderStyle = bsDialog;
    FormStyle = fsStayOnTop;
    Position = poScreenCenter;
    SetBounds(0, 0, 260, 250);

    Label1 = NewText(this, "Label1", 8, "Tolvar");
    Label1->SetHeight(33);
    Label3 = NewText(this, "Label3", 48, "Sürüm:       Alfa 1.81"_w);
    Label2 = NewText(this, "Label2", 68, "Programlayan: Marendo Yazılım"_w);
    Label5 = NewText(this, "Label5", 84, "Marendo Yazılım ürünüdür"_w);

    LinkLabel1 = NewPart<TLinkLabel>(this, "LinkLabel1");
    LinkLabel1->SetBounds(16, 104, 65, 17);
    LinkLabel1->SetCaption("tolvar@marendo.example");
    LinkLabel2 = NewPart<TLinkLabel>(this, "LinkLabel2");
    LinkLabel2->SetBounds(16, 124, 65, 17);
    LinkLabel2->URLType = utHttp;
    LinkLabel2->SetCaption(siteconfig::MakerHost);

    Bevel1 = NewPart<TBevel>(this, "Bevel1");
    Bevel1->SetBounds(8, 148, 236, 2);
    Bevel1->Shape = bsTopLine;
    Label4 = NewText(this, "Label4", 160, "");
    Label6 = NewText(this, "Label6", 180, "Windows için ayrılan bellek: "_w);

    SysInfo1 = NewPart<TSysInfo>(this, "SysInfo1");

    OnShow = [this](TObject* s) { FormShow(s); };
}

void TForm10::FormShow(TObject*) {
    Label4->SetCaption(SysInfo1->OperatingSystem() + " " + SysInfo1->WinVersion() + "(" + SysInfo1->Build() + ")");
    Label6->SetCaption("Windows için ayrılan belek:"_w + SysInfo1->TotalMemory());
}

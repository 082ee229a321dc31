#include "messenger/Unit8.h"

#include "messenger/FormParts.h"
#include "platform/codepage/cp1254.h"

using messenger::NewPart;

TForm8* Form8 = nullptr;

namespace {

const char* const kQuestions[] = {
    "-Tolvar Nedir?",
    "-Nasıl Kullanılır ve Adres defterine kayıt nasıl  yapılır?",
    "-SMS Mesajım neden gitmiyor?",
    "-Yabancı Ülkelere nasıl SMS Yolayabilirim?",
    "-Neden adres defterine kayıt etmeden yollayamıyorum?",
    "-Neden aynı anda birden çok kişiye mesaj atma özelliği yok?",
    "-Superonline servisini nasıl kullanabilirim?",
    "-Neden Türkçe karakterlere izin verilmiyor?",
    "-Program hakındaki görüş ve önerilerimi nasıl bildirebilirim?",
};

// The answers; null where the answer is the whole text of a hidden memo (questions 1 and 6).
const char* const kAnswers[] = {
    "Tolvar Cep Telefonlarınıza Mesaj göndermenize yarayan nadir Türkçe programlardan birisidir.",
    nullptr,
    "Bunun sebebi o anda kullandığınız servisin çok meşgul olması olabilir. Bu nedenle Ana pencereden bir kişi "
    "seçip Sağ Tıklayın ve CEP Düzenle ye tıklayın. CEP Servis bölümünden başka bir servisi seçin",
    "Bunu yapabilmek için CEP Ekle ye tıkladıktan sonra Bütün Ülkeler tuşuna tıklamalısınız. Karşınıza çıkan "
    "bölümde mesela Almanya için 49 ile başlayabilirsiniz.",
    "Bunu kötü bir yan olarak görebilirsiniz. Aslında bunu yapmamın tek amacı spam i önlemek. Yani bazılarınız "
    "kafadan bir numara atar ve mesajı çok defa veya 1 kere gönderir. Bu alıcı için kötü bir durumdur.",
    "Bu soru en çok sorulan sorulardan birisi. Herkese cevap veremediğim için burada açıklıyorum: Bu tür olay "
    "Yasa Dışıdır. Çünkü o anda tek tuşa basarak servisi çok meşgul edersiniz. Ayrıca bu spam diye de "
    "adlandırılabilir.",
    nullptr,
    "Dünyadaki mesaj servislerine bakarsanız(email,sms,..) bunların hep yabancı şirketler olduğunu görürsünüz. "
    "Bunların yüzde 99 u Türkçe karakterlere (Ğ,Ş,Ç,,İ,ı) izin vermez.",
    "Görüş ve önerileriniz benim için çok önemli. Bu nedenle bana ulaştırmak istediğiniz Öneri ve "
    "düşünceleriniz olursa Programın Yardım/Önerileriniz bölümüne yazabilirsiniz...",
};

const char kUsageGuide[] =
    "Adres defterine kişi eklemek için ana penceredeki listeye sağ tıklayın ve CEP EKLE ye tıklayın.\r\n"
    "CEP İsim: kişinin listede görünecek adı.\r\n"
    "CEP Servis: bu kişiye mesajın hangi servisle gideceği. Servisler zaman zaman meşgul olabildiği için "
    "her kişi için başka bir servis seçebilirsiniz.\r\n"
    "CEP NO: numaranın ilk üç hanesini (operatör kodunu) ilk listeden seçin, kalan yedi haneyi yanına yazın.\r\n"
    "Örnek: 532 ve 1234567 (0532 123 45 67 numarası için).";

const char kSuperOnlineGuide[] =
    "Superonline servisini kullanabilmek için Turkcell abonesi olmalısınız.\r\n"
    "1. Superonline sitesinin SMS sayfasına üye olun; şifreniz cep telefonunuza SMS ile gelir.\r\n"
    "2. Tolvar da Ayarlar/Servis Girişleri bölümüne numaranızı ve size gelen şifreyi yazın.\r\n"
    "3. Mesaj göndereceğiniz kişinin CEP Servis bölümünden Superonline ı seçin.";

}  // namespace

TForm8::TForm8(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form8");
    SetCaption("Yardım Edin"_w);
    BorderStyle = bsToolWindow;
    FormStyle = fsStayOnTop;
    Position = poDesktopCenter;
    SetBounds(0, 0, 420, 330);

    Label1 = NewPart<TLabel>(this, "Label1");
    Label1->SetBounds(8, 8, 400, 16);
    Label1->SetCaption("Tolvar Hakkında Sık Sorulan Sorular (SSS):"_w);
    ListBox1 = NewPart<TListBox>(this, "ListBox1");
    ListBox1->SetBounds(8, 28, 396, 134);
    for (const char* q : kQuestions) ListBox1->Items()->Add(cp1254::FromUtf8(q));
    ListBox1->OnClick = [this](TObject* s) { ListBox1Click(s); };
    Memo1 = NewPart<TMemo>(this, "Memo1");
    Memo1->SetBounds(8, 168, 396, 126);
    Memo1->ReadOnly = true;
    Memo1->ScrollBars = ssVertical;
    Memo2 = NewPart<TMemo>(this, "Memo2");
    Memo2->SetVisible(false);
    Memo2->SetText(cp1254::FromUtf8(kUsageGuide));
    Memo3 = NewPart<TMemo>(this, "Memo3");
    Memo3->SetVisible(false);
    Memo3->SetText(cp1254::FromUtf8(kSuperOnlineGuide));
}

void TForm8::ListBox1Click(TObject*) {
    const int i = ListBox1->ItemIndex();
    if (i < 0 || i >= static_cast<int>(std::size(kAnswers))) return;
    if (i == 1)
        Memo1->SetText(Memo2->Text());
    else if (i == 6)
        Memo1->SetText(Memo3->Text());
    else
        Memo1->SetText(cp1254::FromUtf8(kAnswers[i]));
}

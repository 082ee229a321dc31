#include "messenger/WindowLayout.h"

#include "messenger/Unit10.h"
#include "messenger/Unit15.h"
#include "messenger/Unit18.h"
#include "messenger/Unit2.h"
#include "messenger/Unit3.h"
#include "messenger/Unit4.h"
#include "messenger/Unit5.h"
#include "messenger/Unit7.h"
#include "messenger/Unit8.h"
#include "messenger/Unit9.h"
#include "platform/classlib/graphics.h"

namespace messenger {

namespace {

// The send window (client 221 x 231): the contact's strip, the text with the remaining-characters
// figure beside its label, the service below it, the two link-style buttons and the two buttons.
void LayOutSendWindow(TForm2* f) {
    f->Panel1->SetHeight(25);
    f->Label3->SetBounds(8, 33, 80, 16);
    f->Edit1->SetBounds(170, 30, 43, 21);
    f->Memo1->SetBounds(8, 53, 205, 95);
    f->Label7->SetBounds(8, 157, 44, 16);
    f->ComboBox2->SetBounds(52, 153, 161, 24);
    f->Label2->SetBounds(8, 231 - 16, 60, 14);
    f->SpeedButton3->SetBounds(8, 181, 100, 20);
    f->SpeedButton4->SetBounds(113, 181, 100, 20);
    f->SpeedButton1->SetBounds(8, 204, 100, 24);
    f->SpeedButton2->SetBounds(113, 204, 100, 24);
}

// The SuperOnline login window: the note between its bevels, then label and field rows, and the
// two buttons at the bottom right.
void LayOutLoginWindow(TForm3* f) {
    f->SetClientWidth(304);
    f->SetClientHeight(226);
    f->Bevel1->SetBounds(8, 8, 288, 2);
    f->Label5->SetBounds(12, 14, 284, 16);
    f->Label6->SetBounds(12, 31, 284, 16);
    f->Bevel2->SetBounds(8, 51, 288, 2);
    f->Label1->SetBounds(12, 66, 84, 16);
    f->ComboBox1->SetBounds(114, 62, 178, 24);
    f->Label2->SetBounds(12, 96, 84, 16);
    f->ComboBox2->SetBounds(114, 92, 62, 24);
    f->Edit1->SetBounds(182, 92, 110, 24);
    f->Label3->SetBounds(12, 126, 84, 16);
    f->Edit2->SetBounds(114, 122, 178, 24);
    f->Label4->SetBounds(12, 156, 84, 16);
    f->Edit3->SetBounds(114, 152, 178, 24);
    f->Edit4->SetBounds(114, 182, 60, 24);
    f->Button1->SetBounds(134, 191, 75, 25);
    f->Button2->SetBounds(217, 191, 75, 25);
}

// The settings window: the two panels share the upper part; on the page panel the proxy page and
// the other page stand side by side, each titled at its top with its name.
void LayOutSettingsWindow(TForm9* f) {
    f->SetClientWidth(440);
    f->SetClientHeight(258);
    f->Panel1->SetBounds(0, 0, 440, 216);
    f->Panel2->SetBounds(0, 0, 440, 216);
    f->TabSheet1->SetBounds(8, 8, 208, 200);
    f->CheckBox3->SetBounds(8, 20, 192, 20);
    f->Label1->SetBounds(8, 49, 80, 16);
    f->Edit3->SetBounds(90, 45, 110, 22);
    f->Label2->SetBounds(8, 75, 80, 16);
    f->Edit4->SetBounds(90, 71, 50, 22);
    f->CheckBox4->SetBounds(8, 118, 192, 20);
    f->Label3->SetBounds(8, 147, 80, 16);
    f->Edit5->SetBounds(90, 143, 110, 22);
    f->Label4->SetBounds(8, 173, 80, 16);
    f->Edit6->SetBounds(90, 169, 110, 22);
    f->TabSheet2->SetBounds(224, 8, 208, 200);
    f->GroupBox1->SetBounds(6, 20, 196, 78);
    f->Edit1->SetBounds(10, 22, 176, 22);
    f->Label5->SetBounds(10, 50, 176, 16);
    f->GroupBox2->SetBounds(6, 116, 196, 78);
    f->Edit2->SetBounds(10, 22, 176, 22);
    f->CheckBox1->SetBounds(10, 50, 176, 20);
    f->BitBtn1->SetBounds(268, 224, 80, 26);
    f->BitBtn2->SetBounds(352, 224, 80, 26);
}

// The wait window (152 x 39): its text on the first line, the growing bar and the cancel button
// on the second.
void LayOutWaitWindow(TForm18* f) {
    f->Label1->SetBounds(4, 2, 144, 14);
    f->Edit1->SetBounds(4, 19, 104, 17);
    f->Button1->SetBounds(112, 18, 36, 19);
}

// The announcements' and the history's text colour: blue 128, green 64, red 0.
constexpr TColor kTextBlue = static_cast<TColor>(8404992);

void SetFont(TControl* c, const char* name, int height, TFontStyles style, TColor color = clWindowText) {
    TFont* f = c->Font();
    if (name) f->SetName(name);
    if (height) f->SetHeight(height);
    f->SetStyle(style);
    if (color != clWindowText) f->SetColor(color);
}

}  // namespace

void SetWindowFonts() {
    SetFont(Form4->Edit1, "Verdana", 0, 0);
    SetFont(Form4->Label2, nullptr, 0, fsBold);
    SetFont(Form4->Label4, nullptr, 0, fsBold);
    SetFont(Form5->Label2, nullptr, 0, fsBold);
    SetFont(Form5->Label3, nullptr, 0, fsBold);
    SetFont(Form7->Memo1, nullptr, 0, fsBold, kTextBlue);
    SetFont(Form7->Memo2, nullptr, 0, fsBold, kTextBlue);
    SetFont(Form8->Label1, "Verdana", -12, 0);
    SetFont(Form10->Label1, "Verdana", -27, fsUnderline);
    SetFont(Form15->ListBox1, "Verdana", -13, 0, kTextBlue);
    SetFont(Form18->Label1, "Verdana", 0, 0, clWhite);
    SetFont(Form18->Edit1, nullptr, 0, fsBold, static_cast<TColor>(0x804000));  // RGB (0, 64, 128)
}

void LayOutWindows() {
    LayOutSendWindow(Form2);
    LayOutLoginWindow(Form3);
    LayOutSettingsWindow(Form9);
    LayOutWaitWindow(Form18);
    SetWindowFonts();
}

}  // namespace messenger

// Forms and standard controls on the desktop, used as a person would: with the pointer and the
// keyboard through the X server, and read back from the models and the screen.
#include <gtk/gtk.h>

#include "display.h"
#include "platform/classlib/application.h"
#include "platform/classlib/dialogs.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/menus.h"
#include "platform/classlib/stdctrls.h"
#include "platform/classlib/timer.h"
#include "platform/codepage/cp1254.h"
#include "platform/desktop/desktop.h"
#include "platform/win/winuser.h"

namespace desktoptest {
namespace {

class FormsTest : public DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        form = MakeForm("Mesaj Gönder", 100, 80, 320, 200);
        edit = new TEdit(form);
        edit->SetName("Edit1");
        edit->SetParent(form);
        edit->SetBounds(10, 10, 200, 26);
        button = new TButton(form);
        button->SetName("Button1");
        button->SetParent(form);
        button->SetCaption("&Gönder"_w);
        button->SetBounds(220, 10, 90, 28);
        button->OnClick = [this](TObject*) { ++clicks; };
        list = new TListBox(form);
        list->SetName("ListBox1");
        list->SetParent(form);
        list->SetBounds(10, 50, 200, 100);
        list->Items()->Add("Ahmet"_w);
        list->Items()->Add("Şükrü"_w);
        list->Items()->Add("İlkay"_w);
        list->OnClick = [this](TObject*) { lastListClick = list->ItemIndex(); };
        check = new TCheckBox(form);
        check->SetName("CheckBox1");
        check->SetParent(form);
        check->SetCaption("Kaydet"_w);
        check->SetBounds(220, 60, 90, 22);
        label = new TLabel(form);
        label->SetParent(form);
        label->SetCaption("Alıcı:"_w);
        label->SetBounds(10, 160, 100, 20);
    }

    GtkWidget* Widget(TControl* c) { return static_cast<GtkWidget*>(desktop::ControlWidget(c)); }
    GtkWindow* Window() { return static_cast<GtkWindow*>(desktop::FormWindow(form)); }

    // Shows the form and waits until the server shows it.
    void ShowAndWait() {
        form->Show();
        ASSERT_TRUE(PumpUntil([&] {
            GtkWindow* w = Window();
            return w && gtk_widget_get_mapped(GTK_WIDGET(w)) && gtk_widget_get_mapped(Widget(list));
        }));
        PumpFor(150);
    }

    // Moves the pointer to the middle of a control's widget (plus dx, dy) and clicks.
    bool ClickAt(TControl* c, int dx = -1, int dy = -1, int button = 1) {
        GtkWidget* w = Widget(c);
        int x, y;
        WidgetOrigin(w, x, y);
        if (dx < 0) dx = gtk_widget_get_allocated_width(w) / 2;
        if (dy < 0) dy = gtk_widget_get_allocated_height(w) / 2;
        return XDo("mousemove " + std::to_string(x + dx) + " " + std::to_string(y + dy) + " click " + std::to_string(button));
    }

    TForm* form = nullptr;
    TEdit* edit = nullptr;
    TButton* button = nullptr;
    TListBox* list = nullptr;
    TCheckBox* check = nullptr;
    TLabel* label = nullptr;
    int clicks = 0;
    int lastListClick = -2;
};

TEST_F(FormsTest, TheFormIsAWindowWithItsCaptionSizeAndControls) {
    ShowAndWait();
    GtkWindow* w = Window();
    EXPECT_STREQ(gtk_window_get_title(w), "Mesaj Gönder");
    EXPECT_FALSE(gtk_window_get_resizable(w));  // bsSingle
    int width = 0, height = 0;
    gtk_window_get_size(w, &width, &height);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 200);
    // Controls sit where their bounds say, with the model's texts in UTF-8.
    int fx, fy, bx, by;
    WidgetOrigin(GTK_WIDGET(gtk_bin_get_child(GTK_BIN(w))), fx, fy);
    WidgetOrigin(Widget(button), bx, by);
    EXPECT_EQ(bx - fx, 220);
    EXPECT_EQ(by - fy, 10);
    EXPECT_EQ(gtk_widget_get_allocated_width(Widget(button)), 90);
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(Widget(button))), "_Gönder");
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(Widget(label))), "Alıcı:");
    EXPECT_TRUE(Screenshot(ShotDir() + "/form.png"));
    // Hiding the form hides its window.
    form->Hide();
    EXPECT_TRUE(PumpUntil([&] { return !gtk_widget_get_visible(GTK_WIDGET(w)); }));
}

TEST_F(FormsTest, APersonsClicksReachButtonsListsAndCheckBoxes) {
    ShowAndWait();
    ASSERT_TRUE(ClickAt(button));
    EXPECT_TRUE(PumpUntil([&] { return clicks == 1; }));
    // The second row of the list: chosen by the person, so OnClick runs with it.
    GtkWidget* tree = gtk_bin_get_child(GTK_BIN(Widget(list)));
    GdkRectangle cell;
    GtkTreePath* path = gtk_tree_path_new_from_indices(1, -1);
    gtk_tree_view_get_cell_area(GTK_TREE_VIEW(tree), path, nullptr, &cell);
    gtk_tree_path_free(path);
    ASSERT_TRUE(ClickAt(list, 30, cell.y + cell.height / 2 + 2));
    EXPECT_TRUE(PumpUntil([&] { return lastListClick == 1; }));
    EXPECT_EQ(list->ItemIndex(), 1);
    ASSERT_TRUE(ClickAt(check, 8));
    EXPECT_TRUE(PumpUntil([&] { return check->Checked(); }));
    EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(Widget(check))));
    // A change by code shows on the widget.
    check->SetChecked(false);
    EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(Widget(check))));
    list->Items()->Add("Zeynep");
    EXPECT_TRUE(PumpUntil([&] {
        return gtk_tree_model_iter_n_children(gtk_tree_view_get_model(GTK_TREE_VIEW(tree)), nullptr) == 4;
    }));
}

TEST_F(FormsTest, TurkishTypingGoesThroughTheModelsKeyHandling) {
    edit->MaxLength = 6;
    std::string keys;
    edit->OnKeyPress = [&](TObject*, char& k) {
        keys += k;
        if (k == '*') k = 0;  // swallowed
    };
    ShowAndWait();
    ASSERT_TRUE(ClickAt(edit));
    PumpFor(100);
    ASSERT_TRUE(XDo("type --delay 30 'Ağ*ışçöü'"));
    EXPECT_TRUE(PumpUntil([&] { return edit->Text().size() >= 6; }))
        << cp1254::ToUtf8(edit->Text());
    EXPECT_EQ(edit->Text(), "Ağışçö"_w);               // the star swallowed, MaxLength kept
    EXPECT_EQ(keys.substr(0, 3), "Ağ*"_w);
    EXPECT_TRUE(PumpUntil([&] { return std::string(gtk_entry_get_text(GTK_ENTRY(Widget(edit)))) == "Ağışçö"; }));
    // Backspace removes the character before the caret through the model.
    ASSERT_TRUE(XDo("key BackSpace"));
    EXPECT_TRUE(PumpUntil([&] { return edit->Text() == "Ağışç"_w; }));
    // Enter in the edit runs the form's Default button.
    button->Default = true;
    ASSERT_TRUE(XDo("key Return"));
    EXPECT_TRUE(PumpUntil([&] { return clicks == 1; }));
}

TEST_F(FormsTest, TheCloseBoxAsksTheForm) {
    bool asked = false;
    form->OnCloseQuery = [&](TObject*, bool& can) {
        asked = true;
        can = false;
    };
    ShowAndWait();
    GdkEvent* e = gdk_event_new(GDK_DELETE);
    e->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(Window()))));
    gtk_main_do_event(e);
    gdk_event_free(e);
    EXPECT_TRUE(PumpUntil([&] { return asked; }));
    EXPECT_TRUE(form->Visible());
    EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(Window())));
}

// Presses a key on the server once a dialog is on screen, from the loop's own timer.
struct KeyWhenShown {
    std::string keys;
    static gboolean Tick(gpointer p) {
        auto* self = static_cast<KeyWhenShown*>(p);
        GList* tops = gtk_window_list_toplevels();
        bool shown = false;
        for (GList* l = tops; l; l = l->next)
            if (GTK_IS_DIALOG(l->data) && gtk_widget_get_mapped(GTK_WIDGET(l->data)) &&
                gtk_window_is_active(GTK_WINDOW(l->data)))
                shown = true;
        g_list_free(tops);
        if (!shown) return G_SOURCE_CONTINUE;
        gchar* argv[] = {const_cast<gchar*>("xdotool"), const_cast<gchar*>("key"), const_cast<gchar*>("--delay"),
                         const_cast<gchar*>("50"), const_cast<gchar*>(self->keys.c_str()), nullptr};
        g_spawn_async(nullptr, argv, nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr, nullptr);
        return G_SOURCE_REMOVE;
    }
};

TEST_F(FormsTest, AMessageBoxAnswersWithThePersonsButtonWhileTimersGoOn) {
    ShowAndWait();
    int ticks = 0;
    TTimer timer(nullptr);
    timer.SetInterval(20);
    timer.OnTimer = [&](TObject*) { ++ticks; };
    timer.SetEnabled(true);
    KeyWhenShown press{"Return"};
    g_timeout_add(50, KeyWhenShown::Tick, &press);
    // Enter takes the default button, the second one here.
    int r = Application->MessageBox("Çıkmak istiyor musunuz?"_w, "Çıkış"_w, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    EXPECT_EQ(r, IDNO);
    EXPECT_GT(ticks, 0);  // the queue was served while the box was open
    KeyWhenShown yes{"alt+y"};
    g_timeout_add(50, KeyWhenShown::Tick, &yes);
    r = Application->MessageBox("Tekrar?"_w, "Çıkış"_w, MB_YESNO | MB_DEFBUTTON2);
    EXPECT_EQ(r, IDYES);
}

// Escape closes a Yes/No box with its default answer, and the box is gone from the screen and from
// the toolkit (a dialog destroyed twice makes GLib complain, which fails the test).
TEST_F(FormsTest, EscapeClosesAYesNoBoxWithItsDefaultAnswer) {
    ShowAndWait();
    for (UINT def : {MB_DEFBUTTON2, MB_DEFBUTTON1}) {
        KeyWhenShown escape{"Escape"};
        g_timeout_add(50, KeyWhenShown::Tick, &escape);
        const int r = Application->MessageBox("Gerçekten çıkmak istiyormusunuz?"_w, "Çıkış"_w, MB_YESNO | MB_ICONQUESTION | def);
        EXPECT_EQ(r, def == MB_DEFBUTTON2 ? IDNO : IDYES);
        PumpFor(100);
        GList* tops = gtk_window_list_toplevels();
        int boxes = 0;
        for (GList* l = tops; l; l = l->next)
            if (GTK_IS_MESSAGE_DIALOG(l->data)) ++boxes;
        g_list_free(tops);
        EXPECT_EQ(boxes, 0);
    }
}

TEST_F(FormsTest, TheMenuBarOpensSubmenusAndChoosesItems) {
    auto* menu = new TMainMenu(form);
    auto* file = new TMenuItem(form);
    file->Caption = "&Dosya"_w;
    auto* quit = new TMenuItem(form);
    quit->Caption = "Çı&kış"_w;
    auto* never = new TMenuItem(form);
    never->Caption = "Kapalı"_w;
    never->Enabled = false;
    menu->Items()->Add(file);
    file->Add(never);
    file->Add(quit);
    int opened = 0, chosen = 0;
    file->OnClick = [&](TObject*) { ++opened; };
    quit->OnClick = [&](TObject*) { ++chosen; };
    form->Menu = menu;
    ShowAndWait();
    // The client area keeps its size below the bar.
    GtkWidget* box = gtk_bin_get_child(GTK_BIN(Window()));
    GList* parts = gtk_container_get_children(GTK_CONTAINER(box));
    ASSERT_EQ(g_list_length(parts), 2u);
    GtkWidget* bar = GTK_WIDGET(g_list_nth_data(parts, 0));
    GtkWidget* client = GTK_WIDGET(g_list_nth_data(parts, 1));
    g_list_free(parts);
    ASSERT_TRUE(GTK_IS_MENU_BAR(bar));
    EXPECT_EQ(gtk_widget_get_allocated_height(client), 200);
    int x, y;
    WidgetOrigin(bar, x, y);
    ASSERT_TRUE(XDo("mousemove " + std::to_string(x + 20) + " " + std::to_string(y + 8) + " click 1"));
    EXPECT_TRUE(PumpUntil([&] { return opened == 1; }));
    // The submenu holds the two items; the disabled one is insensitive.
    GList* items = gtk_container_get_children(GTK_CONTAINER(bar));
    GtkWidget* sub = gtk_menu_item_get_submenu(GTK_MENU_ITEM(items->data));
    g_list_free(items);
    ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(sub); }));
    GList* subs = gtk_container_get_children(GTK_CONTAINER(sub));
    ASSERT_EQ(g_list_length(subs), 2u);
    EXPECT_FALSE(gtk_widget_get_sensitive(GTK_WIDGET(subs->data)));
    GtkWidget* quitWidget = GTK_WIDGET(subs->next->data);
    g_list_free(subs);
    EXPECT_STREQ(gtk_menu_item_get_label(GTK_MENU_ITEM(quitWidget)), "Çı_kış");
    PumpFor(100);
    int qx, qy;
    WidgetOrigin(quitWidget, qx, qy);
    ASSERT_TRUE(XDo("mousemove " + std::to_string(qx + 15) + " " + std::to_string(qy + 5) + " click 1"));
    EXPECT_TRUE(PumpUntil([&] { return chosen == 1; }));
}

}  // namespace
}  // namespace desktoptest

// A list box that takes the keyboard focus with nothing chosen keeps nothing chosen: only a person's
// click or arrow key chooses an item.
#include <gtk/gtk.h>

#include "display.h"
#include "platform/classlib/application.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"
#include "platform/codepage/cp1254.h"
#include "platform/desktop/desktop.h"

namespace desktoptest {
namespace {

class ListFocusTest : public DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        form = MakeForm("", 80, 80, 240, 200);
        list = new TListBox(form);
        list->SetParent(form);
        list->SetBounds(10, 10, 200, 120);
        for (const char* name : {"Ayşe", "Çağrı", "İlkay"}) list->Items()->Add(cp1254::FromUtf8(name));
        list->OnClick = [this](TObject*) { ++clicks; };
        edit = new TEdit(form);
        edit->SetParent(form);
        edit->SetBounds(10, 140, 200, 26);
    }
    GtkWidget* Tree() { return gtk_bin_get_child(GTK_BIN(static_cast<GtkWidget*>(desktop::ControlWidget(list)))); }
    int Selected() {
        GtkTreeModel* model = nullptr;
        GtkTreeIter it;
        if (!gtk_tree_selection_get_selected(gtk_tree_view_get_selection(GTK_TREE_VIEW(Tree())), &model, &it)) return -1;
        GtkTreePath* path = gtk_tree_model_get_path(model, &it);
        const int i = gtk_tree_path_get_indices(path)[0];
        gtk_tree_path_free(path);
        return i;
    }
    TForm* form = nullptr;
    TListBox* list = nullptr;
    TEdit* edit = nullptr;
    int clicks = 0;
};

TEST_F(ListFocusTest, FocusChoosesNothingAndAKeyOrClickStillChooses) {
    form->SetActiveControl(list);
    form->Show();
    auto* window = static_cast<GtkWidget*>(desktop::FormWindow(form));
    ASSERT_TRUE(PumpUntil([&] { return window && gtk_widget_get_mapped(window) && gtk_widget_has_focus(Tree()); }));
    PumpFor(300);
    EXPECT_EQ(list->ItemIndex(), -1);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(Selected(), -1);
    // The focus goes away and comes back: still nothing.
    edit->SetFocus();
    gtk_widget_grab_focus(static_cast<GtkWidget*>(desktop::ControlWidget(edit)));
    PumpFor(100);
    list->SetFocus();
    gtk_widget_grab_focus(Tree());
    PumpFor(200);
    EXPECT_EQ(list->ItemIndex(), -1);
    EXPECT_EQ(Selected(), -1);
    // A person's arrow key chooses.
    ASSERT_TRUE(XDo("key Down"));
    ASSERT_TRUE(PumpUntil([&] { return list->ItemIndex() >= 0; }));
    EXPECT_EQ(Selected(), list->ItemIndex());
    EXPECT_GE(clicks, 1);
}

}  // namespace
}  // namespace desktoptest

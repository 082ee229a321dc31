// A list box on the desktop: a tree view of one text column in a scrolled window, showing the
// model's rows and choice; a person's choice goes to the model, the focus alone chooses nothing.
#include <string>
#include <vector>

#include "platform/classlib/stdctrls.h"
#include "platform/desktop/internal.h"
#include "platform/desktop/peer.h"

namespace desktop::detail {

namespace {

// Shows the model's choice in a list's tree view.
void ShowListChoice(TPeer* p) {
    auto* lb = dynamic_cast<TCustomListBox*>(p->C);
    if (!lb || !p->Inner) return;
    ++p->Syncing;
    GtkTreeSelection* sel = gtk_tree_view_get_selection(GTK_TREE_VIEW(p->Inner));
    if (lb->ItemIndex() >= 0) {
        GtkTreePath* path = gtk_tree_path_new_from_indices(lb->ItemIndex(), -1);
        gtk_tree_selection_select_path(sel, path);
        gtk_tree_path_free(path);
    } else {
        gtk_tree_selection_unselect_all(sel);
    }
    --p->Syncing;
}

// A tree view that takes the focus puts its cursor on a row and chooses it; a list box given the
// focus chooses nothing, so the model's choice is shown again.
void OnListGrabFocus(GtkWidget*, gpointer data) { ++static_cast<TPeer*>(data)->Focusing; }
void OnListGrabbedFocus(GtkWidget*, gpointer data) {
    auto* p = static_cast<TPeer*>(data);
    if (!g_peers.count(p)) return;
    --p->Focusing;
    ShowListChoice(p);
}

void OnListSelection(GtkTreeSelection* sel, gpointer data) {
    auto* p = static_cast<TPeer*>(data);
    if (!g_peers.count(p) || p->Syncing || p->Focusing) return;
    GtkTreeModel* model = nullptr;
    GtkTreeIter it;
    if (!gtk_tree_selection_get_selected(sel, &model, &it)) return;
    GtkTreePath* path = gtk_tree_model_get_path(model, &it);
    int index = gtk_tree_path_get_indices(path)[0];
    gtk_tree_path_free(path);
    TControl* c = p->C;
    if (index == c->UserItemIndex()) return;
    Guard(c, [&] { c->UserSelect(index); });
    if (g_peers.count(p)) p->TextChanged();
}

}  // namespace

GtkWidget* TPeer::BuildListBox() {
    K = Kind::ListBox;
    GtkWidget* w = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(w), GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(w), GTK_SHADOW_IN);
    GtkListStore* store = gtk_list_store_new(1, G_TYPE_STRING);
    Inner = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
    g_object_unref(store);
    gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(Inner), FALSE);
    gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(Inner), -1, "", gtk_cell_renderer_text_new(), "text", 0,
                                                nullptr);
    gtk_container_add(GTK_CONTAINER(w), Inner);
    gtk_widget_show(Inner);
    g_signal_connect(gtk_tree_view_get_selection(GTK_TREE_VIEW(Inner)), "changed", G_CALLBACK(OnListSelection), this);
    g_signal_connect(Inner, "grab-focus", G_CALLBACK(OnListGrabFocus), this);
    g_signal_connect_after(Inner, "grab-focus", G_CALLBACK(OnListGrabbedFocus), this);
    return w;
}

void TPeer::SyncListBox() {
    auto* lb = static_cast<TCustomListBox*>(C);
    GtkListStore* store = GTK_LIST_STORE(gtk_tree_view_get_model(GTK_TREE_VIEW(Inner)));
    // The rows are filled again only when the items changed: a new choice keeps the rows
    // the view has laid out (a person's second click of a double click finds them).
    std::vector<std::string> rows;
    for (int i = 0; i < lb->Items()->Count(); ++i) rows.push_back(Utf8(lb->Items()->Strings(i)));
    bool same = gtk_tree_model_iter_n_children(GTK_TREE_MODEL(store), nullptr) == static_cast<int>(rows.size());
    GtkTreeIter row;
    bool more = same && gtk_tree_model_get_iter_first(GTK_TREE_MODEL(store), &row);
    for (size_t i = 0; same && more && i < rows.size(); ++i) {
        gchar* text = nullptr;
        gtk_tree_model_get(GTK_TREE_MODEL(store), &row, 0, &text, -1);
        same = text && rows[i] == text;
        g_free(text);
        more = gtk_tree_model_iter_next(GTK_TREE_MODEL(store), &row);
    }
    if (!same) {
        gtk_list_store_clear(store);
        for (const std::string& r : rows) {
            GtkTreeIter it;
            gtk_list_store_insert_with_values(store, &it, -1, 0, r.c_str(), -1);
        }
    }
    GtkTreeSelection* sel = gtk_tree_view_get_selection(GTK_TREE_VIEW(Inner));
    if (lb->ItemIndex() >= 0) {
        GtkTreePath* path = gtk_tree_path_new_from_indices(lb->ItemIndex(), -1);
        gtk_tree_selection_select_path(sel, path);
        gtk_tree_view_scroll_to_cell(GTK_TREE_VIEW(Inner), path, nullptr, FALSE, 0, 0);
        gtk_tree_path_free(path);
    } else {
        gtk_tree_selection_unselect_all(sel);
    }
}

}  // namespace desktop::detail

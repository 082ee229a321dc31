// The desktop started under LANG=tr_TR.UTF-8: the system's own words (a message box's buttons, a
// file dialog's title and buttons, the question before a save replaces a file) are the toolkit's
// Turkish ones, and its English ones in the C locale; the programs' own case rules and numbers stay the C library's plain ones.
#include <gtk/gtk.h>

#include <cctype>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "display.h"
#include "platform/classlib/application.h"
#include "platform/classlib/dialogs.h"
#include "platform/win/winuser.h"

namespace desktoptest {
namespace {

class TurkishDesktopTest : public DesktopTest {
protected:
    void SetUp() override {
        // The person's desktop speaks Turkish: the environment the toolkit takes its locale from
        // when it starts (this test's process is its own).
        setenv("LANG", "tr_TR.UTF-8", 1);
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LC_CTYPE", "LANGUAGE"}) unsetenv(name);
        DesktopTest::SetUp();
    }
    void TearDown() override {
        std::setlocale(LC_MESSAGES, "tr_TR.UTF-8");
        DesktopTest::TearDown();
    }
};

// What a person reads on the dialog on screen (a message box or a file dialog): its title and the
// labels of the buttons giving the responses asked for; then the dialog is answered.
struct DialogReader {
    std::vector<int> responses;
    int answer = 0;
    std::string title;
    std::map<int, std::string> labels;
    bool read = false;
    static gboolean Tick(gpointer p) {
        auto* self = static_cast<DialogReader*>(p);
        GtkDialog* dialog = ShownBox();
        if (!dialog) ShownChooser(&dialog);
        if (!dialog) return G_SOURCE_CONTINUE;
        if (const char* t = gtk_window_get_title(GTK_WINDOW(dialog))) self->title = t;
        for (int r : self->responses)
            if (GtkWidget* b = gtk_dialog_get_widget_for_response(dialog, r); b && GTK_IS_BUTTON(b))
                self->labels[r] = gtk_button_get_label(GTK_BUTTON(b)) ? gtk_button_get_label(GTK_BUTTON(b)) : "";
        self->read = true;
        gtk_dialog_response(dialog, self->answer);
        return G_SOURCE_REMOVE;
    }
};

struct Words {
    const char* yes;
    const char* no;
    const char* ok;
    const char* cancel;
    const char* open;
    const char* save;
    const char* openTitle;
    const char* saveTitle;
    const char* replace;  // the question before a save over liste.ini
};

TEST_F(TurkishDesktopTest, TheSystemsWordsAreTheDesktopsLanguage) {
    ASSERT_STREQ(std::setlocale(LC_MESSAGES, nullptr), "tr_TR.UTF-8")
        << "the locale tr_TR.UTF-8 is not generated on this machine (scripts/setup generates it)";
    // The programs' own texts keep the plain rules under the Turkish desktop.
    EXPECT_EQ(std::toupper('i'), 'I');
    EXPECT_EQ(std::tolower('I'), 'i');
    char number[16];
    std::snprintf(number, sizeof number, "%.1f", 1.5);
    EXPECT_STREQ(number, "1.5");

    const struct {
        const char* locale;
        Words words;
    } cases[] = {
        {"tr_TR.UTF-8", {"_Evet", "_Hayır", "_Tamam", "_İptal Et", "_Aç", "_Kaydet", "Aç", "Farklı Kaydet",
                          "\"liste.ini\" adında bir dosya zaten var.  Var olan dosya ile değiştirmek ister misiniz?"}},
        {"C", {"_Yes", "_No", "_OK", "_Cancel", "_Open", "_Save", "Open", "Save As",
                "A file named “liste.ini” already exists.  Do you want to replace it?"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale);
        ASSERT_TRUE(std::setlocale(LC_MESSAGES, c.locale));
        const Words& w = c.words;
        const struct {
            UINT flags;
            std::map<int, std::string> labels;
        } boxes[] = {
            {MB_YESNO | MB_ICONQUESTION, {{IDYES, w.yes}, {IDNO, w.no}}},
            {MB_OKCANCEL, {{IDOK, w.ok}, {IDCANCEL, w.cancel}}},
            {MB_OK, {{IDOK, w.ok}}},
        };
        for (const auto& box : boxes) {
            DialogReader reader;
            for (const auto& [id, label] : box.labels) reader.responses.push_back(id);
            reader.answer = reader.responses.back();
            g_timeout_add(25, DialogReader::Tick, &reader);
            const int answer = Application->MessageBox("Kaydedilsin mi?", "Tolvar", box.flags);
            ASSERT_TRUE(reader.read);
            EXPECT_EQ(answer, reader.answer);
            EXPECT_EQ(reader.title, "Tolvar");
            EXPECT_EQ(reader.labels, box.labels);
        }
        for (bool save : {false, true}) {
            SCOPED_TRACE(save ? "save dialog" : "open dialog");
            std::unique_ptr<TOpenDialog> dialog(save ? new TSaveDialog(nullptr) : new TOpenDialog(nullptr));
            DialogReader reader;
            reader.responses = {GTK_RESPONSE_ACCEPT, GTK_RESPONSE_CANCEL};
            reader.answer = GTK_RESPONSE_CANCEL;
            g_timeout_add(25, DialogReader::Tick, &reader);
            EXPECT_FALSE(dialog->Execute());
            ASSERT_TRUE(reader.read);
            EXPECT_EQ(reader.title, save ? w.saveTitle : w.openTitle);
            const std::map<int, std::string> labels{{GTK_RESPONSE_ACCEPT, save ? w.save : w.open},
                                                    {GTK_RESPONSE_CANCEL, w.cancel}};
            EXPECT_EQ(reader.labels, labels);
        }
        // A save over a file that is there asks first, in the toolkit's words; No keeps the dialog.
        SCOPED_TRACE("replace question");
        const std::string existing = state.Path("liste.ini");
        testsupport::WriteAll(existing, "[Ayarlar]\r\n");
        TSaveDialog dialog(nullptr);
        dialog.Options |= ofOverwritePrompt;
        dialog.InitialDir = state.Dir();
        dialog.FileName = "liste.ini";
        ChooserHand hand;
        hand.want = existing;
        g_timeout_add(25, ChooserHand::Tick, &hand);
        EXPECT_FALSE(dialog.Execute()) << "No to the question leaves the dialog, then cancelled";
        EXPECT_EQ(hand.fileSeen, existing);
        EXPECT_EQ(hand.boxTitle, w.saveTitle);
        EXPECT_EQ(hand.boxText, w.replace);
        EXPECT_EQ(testsupport::ReadAll(existing), "[Ayarlar]\r\n");
    }
}

}  // namespace
}  // namespace desktoptest

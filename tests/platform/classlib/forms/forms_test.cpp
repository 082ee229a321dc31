// Application and form lifecycle: creation order, showing, closing, the message loop, exception
// trap and Halt.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/classlib/application.h"
#include "platform/classlib/cp1254.h"
#include "platform/classlib/dialogs.h"
#include "platform/classlib/headless.h"
#include "platform/classlib/stdctrls.h"

namespace {

std::vector<std::string> g_log;

class TLogForm : public TForm {
public:
    explicit TLogForm(TComponent* owner) : TForm(owner) {
        SetName("Form" + std::to_string(++Count));
        std::string n = Name();
        OnCreate = [n](TObject*) { g_log.push_back(n + ".create"); };
        OnShow = [n](TObject*) { g_log.push_back(n + ".show"); };
        OnHide = [n](TObject*) { g_log.push_back(n + ".hide"); };
        OnDestroy = [n](TObject*) { g_log.push_back(n + ".destroy"); };
    }
    static inline int Count = 0;
};

class FormsTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_log.clear();
        TLogForm::Count = 0;
    }
    headless::TSession session;
    headless::THeadlessBackend& hl = headless::Headless();
};

// A form that checks, in its OnCreate, that its global reference already points at it.
class TPeekForm : public TLogForm {
public:
    explicit TPeekForm(TComponent* owner) : TLogForm(owner) {
        OnCreate = [this](TObject*) {
            SawReference = (Global == this);
            g_log.push_back(Name() + ".create");
        };
    }
    static inline TPeekForm* Global = nullptr;
    bool SawReference = false;
};

TEST_F(FormsTest, CreateFormRunsOnCreateInOrderWithReferenceSetAndFirstIsMain) {
    TLogForm* a = nullptr;
    TPeekForm::Global = nullptr;
    Application->CreateForm(a);
    Application->CreateForm(TPeekForm::Global);
    EXPECT_TRUE(TPeekForm::Global->SawReference);
    EXPECT_EQ(Application->MainForm(), a);
    EXPECT_EQ(Application->FormCount(), 2);
    EXPECT_EQ((std::vector<std::string>{"Form1.create", "Form2.create"}), g_log);
    // Nothing is shown before Run or an explicit show.
    EXPECT_FALSE(a->Visible());
    EXPECT_TRUE(hl.WindowEvents().empty());
}

TEST_F(FormsTest, VisibleSetInConstructorShowsOnlyAfterOnCreate) {
    struct TAutoShow : TLogForm {
        explicit TAutoShow(TComponent* o) : TLogForm(o) { SetVisible(true); }
    };
    TAutoShow* f = nullptr;
    Application->CreateForm(f);
    EXPECT_EQ((std::vector<std::string>{"Form1.create", "Form1.show"}), g_log);
    ASSERT_EQ(hl.WindowEvents().size(), 1u);
    EXPECT_TRUE(hl.WindowEvents()[0].Shown);
    EXPECT_TRUE(IsWindowVisible(f->Handle()));
}

TEST_F(FormsTest, OnShowRunsOnlyWhenTheFormBecomesVisible) {
    TLogForm* f = nullptr;
    Application->CreateForm(f);
    g_log.clear();
    f->Show();
    f->Show();               // already visible: nothing
    f->SetVisible(true);     // likewise
    f->Hide();
    f->Hide();
    f->Show();
    EXPECT_EQ((std::vector<std::string>{"Form1.show", "Form1.hide", "Form1.show"}), g_log);
    ASSERT_EQ(hl.WindowEvents().size(), 3u);
    EXPECT_TRUE(hl.WindowEvents()[0].Shown);
    EXPECT_FALSE(hl.WindowEvents()[1].Shown);
    EXPECT_EQ(hl.WindowEvents()[2].Form, "Form1");
}

TEST_F(FormsTest, CloseFollowsTheCloseAction) {
    struct Case {
        TCloseAction action;
        bool visibleAfter;
        bool freedAfterPump;
        TWindowState state;
    };
    const Case cases[] = {
        {caNone, true, false, wsNormal},
        {caHide, false, false, wsNormal},
        {caMinimize, true, false, wsMinimized},
        {caFree, false, true, wsNormal},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.action));
        TLogForm* main = nullptr;
        TLogForm* f = nullptr;
        Application->CreateForm(main);
        Application->CreateForm(f);
        f->OnClose = [&](TObject*, TCloseAction& a) {
            EXPECT_EQ(a, caHide);  // the default
            a = c.action;
        };
        f->Show();
        g_log.clear();
        headless::CloseBox(f);  // pumps afterwards
        bool freed = std::find(g_log.begin(), g_log.end(), "Form2.destroy") != g_log.end();
        EXPECT_EQ(freed, c.freedAfterPump);
        if (!freed) {
            EXPECT_EQ(f->Visible(), c.visibleAfter);
            EXPECT_EQ(f->WindowState(), c.state);
        } else {
            EXPECT_EQ(Application->FormCount(), 1);
            EXPECT_EQ(g_log.front(), "Form2.hide");
        }
        EXPECT_FALSE(Application->Terminated());
        Application->Reset();
        TLogForm::Count = 0;
    }
}

TEST_F(FormsTest, CloseQueryCanRefuse) {
    TLogForm* f = nullptr;
    Application->CreateForm(f);
    f->Show();
    bool closeRan = false;
    f->OnCloseQuery = [](TObject*, bool& can) { can = false; };
    f->OnClose = [&](TObject*, TCloseAction&) { closeRan = true; };
    f->Close();
    EXPECT_TRUE(f->Visible());
    EXPECT_FALSE(closeRan);
    EXPECT_FALSE(Application->Terminated());
}

TEST_F(FormsTest, ClosingTheMainFormEndsRunUnlessTheActionIsNone) {
    TLogForm* main = nullptr;
    Application->CreateForm(main);
    int closes = 0;
    main->OnClose = [&](TObject*, TCloseAction& a) {
        if (++closes == 1) {
            a = caNone;  // stays open; ask again through the loop
            PostMessageA(main->Handle(), WM_CLOSE, 0, 0);
        }
    };
    // Run shows the main form; the posted close reaches it through the loop.
    PostMessageA(main->Handle(), WM_CLOSE, 0, 0);
    Application->Run();
    EXPECT_EQ(closes, 2);
    EXPECT_TRUE(Application->Terminated());
    EXPECT_EQ(g_log.front(), "Form1.create");
    EXPECT_EQ(g_log[1], "Form1.show");
}

TEST_F(FormsTest, HandleExceptionShowsTheErrorBoxAndTheLoopGoesOn) {
    Application->Title = "Tolvar";
    TLogForm* f = nullptr;
    Application->CreateForm(f);
    auto* b = new TButton(f);
    b->SetName("Button1");
    b->SetParent(f);
    int clicks = 0;
    b->OnClick = [&](TObject*) {
        if (++clicks == 1) throw EListError("List index out of bounds (-1)");
        if (clicks == 2) Abort();
    };
    f->Show();
    headless::Click("Form1.Button1");
    headless::Click("Form1.Button1");  // EAbort: silent
    headless::Click("Form1.Button1");
    EXPECT_EQ(clicks, 3);
    ASSERT_EQ(hl.Boxes().size(), 1u);
    const auto& box = hl.Boxes()[0];
    EXPECT_EQ(box.Caption, "Tolvar");
    EXPECT_EQ(box.Text, "List index out of bounds (-1)");
    EXPECT_EQ(box.Buttons, std::vector<int>{IDOK});
    EXPECT_EQ(box.Icon, "error");
}

TEST_F(FormsTest, PostedMessagesRunInsideTheTrapAndProcessMessagesDrainsReposts) {
    TLogForm* f = nullptr;
    Application->CreateForm(f);
    int seen = 0;
    TWndMethod old = f->WindowProc;
    f->WindowProc = [&, old](TMessage& m) {
        if (m.Msg == WM_USER + 1) {
            // Each message posts the next one during the same pass.
            if (++seen < 5) PostMessageA(f->Handle(), WM_USER + 1, 0, 0);
            return;
        }
        if (m.Msg == WM_USER + 2) throw Exception("from a posted message");
        old(m);
    };
    PostMessageA(f->Handle(), WM_USER + 1, 0, 0);
    PostMessageA(f->Handle(), WM_USER + 2, 0, 0);
    Application->ProcessMessages();
    EXPECT_EQ(seen, 5);
    ASSERT_EQ(hl.Boxes().size(), 1u);
    EXPECT_EQ(hl.Boxes()[0].Text, "from a posted message");
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(FormsTest, HaltEndsTheScriptedActionAndNothingAfterItRuns) {
    TLogForm* main = nullptr;
    Application->CreateForm(main);
    bool afterHalt = false;
    main->OnClose = [&](TObject*, TCloseAction& a) {
        a = caNone;
        if (Application->MessageBox("Gerçekten çıkmak istiyormusunuz?"_w, "Çıkış"_w,
                                    MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDNO)
            return;
        Halt(7);
        afterHalt = true;
    };
    main->Show();
    hl.QueueBoxAnswer(IDNO);
    headless::CloseBox(main);
    EXPECT_FALSE(headless::Halted());
    EXPECT_TRUE(main->Visible());
    hl.QueueBoxAnswer(IDYES);
    headless::CloseBox(main);
    EXPECT_TRUE(headless::Halted());
    EXPECT_EQ(headless::ExitCode(), 7);
    EXPECT_FALSE(afterHalt);
    EXPECT_FALSE(Application->Terminated());
    EXPECT_THROW(headless::CloseBox(main), headless::EScriptError);
    EXPECT_EQ(hl.UnansweredCount(), 0);
}

TEST_F(FormsTest, DisabledOrHiddenFormsTakeNoScriptedInput) {
    TLogForm* f = nullptr;
    Application->CreateForm(f);
    auto* b = new TButton(f);
    b->SetName("Button1");
    b->SetParent(f);
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    EXPECT_THROW(headless::Click("Form1.Button1"), headless::EScriptError);  // not shown
    f->Show();
    f->SetEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(f->Handle()));
    EXPECT_THROW(headless::Click("Form1.Button1"), headless::EScriptError);
    EXPECT_THROW(headless::CloseBox(f), headless::EScriptError);
    EXPECT_THROW(headless::MouseDown(f, 1, 1), headless::EScriptError);
    f->SetEnabled(true);
    b->SetEnabled(false);
    EXPECT_THROW(headless::Click(b), headless::EScriptError);
    EXPECT_THROW(headless::Click("Form1.Nothing"), headless::EScriptError);
    EXPECT_THROW(headless::Click("Form9.Button1"), headless::EScriptError);
    b->SetEnabled(true);
    headless::Click(b);
    EXPECT_EQ(clicks, 1);
}

TEST_F(FormsTest, MinimiseRunsApplicationEventsAndRestoreUndoesIt) {
    TLogForm* main = nullptr;
    Application->CreateForm(main);
    auto* events = new TApplicationEvents(main);
    int minimised = 0, restored = 0;
    events->OnMinimize = [&](TObject*) {
        ++minimised;
        main->Hide();  // to the tray
    };
    events->OnRestore = [&](TObject*) { ++restored; };
    main->Show();
    headless::Minimize();
    EXPECT_EQ(minimised, 1);
    EXPECT_TRUE(Application->Minimized());
    EXPECT_FALSE(main->Visible());
    EXPECT_THROW(headless::Minimize(), headless::EScriptError);  // the window is hidden now
    headless::Restore();
    EXPECT_EQ(restored, 1);
    EXPECT_FALSE(Application->Minimized());
    EXPECT_THROW(headless::Restore(), headless::EScriptError);
}

TEST_F(FormsTest, ShowModalRunsUntilModalResultAndReenablesTheOthers) {
    TLogForm* main = nullptr;
    TLogForm* dlg = nullptr;
    Application->CreateForm(main);
    Application->CreateForm(dlg);
    auto* ok = new TButton(dlg);
    ok->SetName("OK");
    ok->SetParent(dlg);
    ok->ModalResult = mrOk;
    main->Show();
    hl.QueueModalAction([&](TCustomForm* f) {
        EXPECT_EQ(f, dlg);
        EXPECT_FALSE(main->Enabled());
        headless::Click("Form2.OK");
    });
    EXPECT_EQ(dlg->ShowModal(), mrOk);
    EXPECT_FALSE(dlg->Visible());
    EXPECT_TRUE(main->Enabled());
    // Nobody answers: cancelled, counted, no hang.
    EXPECT_EQ(dlg->ShowModal(), mrCancel);
    EXPECT_EQ(hl.UnansweredCount(), 1);
    EXPECT_THROW(main->ShowModal(), EInvalidOperation);  // already visible
}

}  // namespace

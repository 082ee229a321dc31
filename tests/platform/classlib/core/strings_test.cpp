#include "platform/classlib/strings.h"

#include <gtest/gtest.h>

#include "platform/classlib/cp1254.h"
#include "tests/support/tempstate.h"

namespace {

std::vector<std::string> Lines(const TStrings& s) {
    std::vector<std::string> out;
    for (int i = 0; i < s.Count(); ++i) out.push_back(s.Get(i));
    return out;
}
using V = std::vector<std::string>;

TEST(TStringList, KeepsInsertionOrderAndObjects) {
    TStringList l;
    TObject a, b;
    EXPECT_EQ(l.Add("one"), 0);
    EXPECT_EQ(l.AddObject("three", &b), 1);
    l.Insert(1, "two");
    l.Insert(3, "four");
    EXPECT_EQ(Lines(l), (V{"one", "two", "three", "four"}));
    EXPECT_EQ(l.GetObject(2), &b);
    l.PutObject(0, &a);
    l.Move(0, 3);
    EXPECT_EQ(Lines(l), (V{"two", "three", "four", "one"}));
    EXPECT_EQ(l.GetObject(3), &a);
    l.Exchange(0, 1);
    EXPECT_EQ(Lines(l), (V{"three", "two", "four", "one"}));
    EXPECT_EQ(l.GetObject(0), &b);
    l.Delete(0);
    EXPECT_EQ(Lines(l), (V{"two", "four", "one"}));
}

TEST(TStringList, BadIndexesRaiseWithTheExactText) {
    TStringList l;
    l.Add("a");
    l.Add("b");
    struct Case {
        const char* what;
        std::function<void()> op;
        int index;
    } cases[] = {
        {"Delete(2)", [&] { l.Delete(2); }, 2},
        {"Delete(-1)", [&] { l.Delete(-1); }, -1},
        {"Insert(3)", [&] { l.Insert(3, "x"); }, 3},
        {"Insert(-1)", [&] { l.Insert(-1, "x"); }, -1},
        {"Get(2)", [&] { l.Get(2); }, 2},
        {"Put(5)", [&] { l.Put(5, "x"); }, 5},
        {"GetObject(2)", [&] { l.GetObject(2); }, 2},
    };
    for (auto& c : cases) {
        try {
            c.op();
            ADD_FAILURE() << c.what << " did not raise";
        } catch (const EListError& e) {
            EXPECT_EQ(e.Message, "List index out of bounds (" + std::to_string(c.index) + ")") << c.what;
        }
    }
    EXPECT_EQ(Lines(l), (V{"a", "b"}));
}

TEST(TStringList, TextJoinsWithCrLfAndSplitsAtAnyLineEnd) {
    TStringList l;
    l.Add("a");
    l.Add("");
    l.Add("b");
    EXPECT_EQ(l.Text(), "a\r\n\r\nb\r\n");
    struct Case {
        const char* text;
        V lines;
    } cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\n\rb", {"a", "", "b"}},  // LF then CR is two line ends
        {"\r\n", {""}},
        {"", {}},
        {"x\n\n", {"x", ""}},
    };
    for (auto& c : cases) {
        l.SetText(c.text);
        EXPECT_EQ(Lines(l), c.lines) << '"' << c.text << '"';
    }
    l.SetText("a\nb");
    TStringList copy;
    copy.SetText(l.Text());
    EXPECT_EQ(Lines(copy), (V{"a", "b"}));
}

TEST(TStringList, SortedListsAndDuplicates) {
    TStringList l;
    for (const char* s : {"pear", "Apple", "fig"}) l.Add(s);
    l.SetSorted(true);
    EXPECT_EQ(Lines(l), (V{"Apple", "fig", "pear"}));
    EXPECT_EQ(l.Add("banana"), 1);
    EXPECT_EQ(l.Add("APPLE"), 0) << "dupIgnore returns the existing index";
    EXPECT_EQ(l.Count(), 4);
    int at = -1;
    EXPECT_TRUE(l.Find("PEAR", at));
    EXPECT_EQ(at, 3);
    EXPECT_FALSE(l.Find("cherry", at));
    EXPECT_EQ(at, 2) << "where it would go";
    EXPECT_THROW(l.Insert(0, "x"), EListError);
    EXPECT_THROW(l.Put(0, "x"), EListError);

    l.Duplicates = TDuplicates::dupError;
    try {
        l.Add("fig");
        ADD_FAILURE() << "duplicate accepted";
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message, "String list does not allow duplicates");
    }
    l.Duplicates = TDuplicates::dupAccept;
    l.Add("Fig");
    EXPECT_EQ(l.Count(), 5);
    EXPECT_EQ(l.IndexOf("fig"), 2);
    EXPECT_EQ(l.IndexOf("FIG"), 2);

    TStringList turkish;
    turkish.SetSorted(true);
    turkish.Add("şeker"_w);
    EXPECT_EQ(turkish.Add("ŞEKER"_w), 0);
    EXPECT_EQ(turkish.Count(), 1);
}

TEST(TStringList, MoveThatIsRefusedLosesNothing) {
    TStringList l;
    for (const char* s : {"a", "b", "c"}) l.Add(s);
    l.SetSorted(true);
    EXPECT_THROW(l.Move(0, 2), EListError);
    EXPECT_EQ(Lines(l), (V{"a", "b", "c"}));
    l.SetSorted(false);
    EXPECT_THROW(l.Move(0, 3), EListError);
    EXPECT_THROW(l.Move(3, 0), EListError);
    EXPECT_EQ(Lines(l), (V{"a", "b", "c"}));
    l.Move(2, 0);
    EXPECT_EQ(Lines(l), (V{"c", "a", "b"}));
    l.Move(1, 1);
    EXPECT_EQ(Lines(l), (V{"c", "a", "b"}));
}

TEST(TStringList, IndexOfIgnoresCaseIncludingTurkishLetters) {
    TStringList l;
    for (auto s : {"Alpha"_w, "ÇİÇEK"_w, "Ğöl"_w}) l.Add(s);
    EXPECT_EQ(l.IndexOf("alpha"), 0);
    EXPECT_EQ(l.IndexOf("çiçek"_w), 1);
    EXPECT_EQ(l.IndexOf("ğÖL"_w), 2);
    EXPECT_EQ(l.IndexOf("gol"), -1);
    EXPECT_EQ(l.IndexOf(""), -1);
}

TEST(TStringList, NameValuePairs) {
    TStringList l;
    l.SetText("Host=example\r\nport=80\r\nnoequals\r\nEmpty=\r\nkey=a=b\r\n");
    EXPECT_EQ(l.Values("HOST"), "example");
    EXPECT_EQ(l.Values("Port"), "80");
    EXPECT_EQ(l.Values("key"), "a=b");
    EXPECT_EQ(l.Values("Empty"), "");
    EXPECT_EQ(l.Values("missing"), "");
    EXPECT_EQ(l.Values("noequals"), "");
    EXPECT_EQ(l.Names(1), "port");
    EXPECT_EQ(l.Names(2), "");
    EXPECT_EQ(l.IndexOfName("PORT"), 1);

    l.SetValue("port", "8080");
    EXPECT_EQ(l.Get(1), "port=8080");
    l.SetValue("new", "1");
    EXPECT_EQ(l.Get(l.Count() - 1), "new=1");
    l.SetValue("Host", "");  // an empty value removes the line
    EXPECT_EQ(l.IndexOfName("host"), -1);
    EXPECT_EQ(l.Count(), 5);
}

TEST(TStringList, CommaTextQuotesWhatNeedsIt) {
    TStringList l;
    for (const char* s : {"plain", "two words", "", "say \"hi\"", "a,b"}) l.Add(s);
    EXPECT_EQ(l.CommaText(), "plain,\"two words\",\"\",\"say \"\"hi\"\"\",\"a,b\"");
    TStringList back;
    back.SetCommaText(l.CommaText());
    EXPECT_EQ(Lines(back), Lines(l));
    back.SetCommaText("a b, c");
    EXPECT_EQ(Lines(back), (V{"a", "b", "c"}));
}

TEST(TStringList, ChangeEventsAndUpdates) {
    TStringList l;
    int changing = 0, changed = 0;
    l.OnChanging = [&](TObject*) { ++changing; };
    l.OnChange = [&](TObject*) { ++changed; };
    l.Add("a");
    EXPECT_EQ(changing, 1);
    EXPECT_EQ(changed, 1);
    l.SetText("x\ny\nz");  // one change for the whole update
    EXPECT_EQ(changed, 2);
    EXPECT_EQ(l.Count(), 3);
}

TEST(TStringList, FilesRoundTripAndMissingFileRaises) {
    testsupport::TempState state;
    TStringList l;
    l.Add("Merhaba"_w);
    l.Add("Çıkış"_w);
    std::string path = state.Path("list.txt");
    l.SaveToFile(path);
    EXPECT_EQ(testsupport::ReadAll(path), "Merhaba\r\n"_w + "Çıkış"_w + "\r\n");
    TStringList back;
    back.LoadFromFile(path);
    EXPECT_EQ(Lines(back), Lines(l));
    try {
        back.LoadFromFile(state.Path("missing.txt"));
        ADD_FAILURE() << "no error";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message, "Cannot open file " + state.Path("missing.txt"));
    }
    EXPECT_EQ(Lines(back), Lines(l)) << "a failed load keeps the lines";
}

TEST(TStringList, AssignCopiesLinesAndObjects) {
    TStringList a, b;
    TObject o;
    a.AddObject("x", &o);
    a.Add("y");
    b.Add("old");
    b.Assign(&a);
    EXPECT_EQ(Lines(b), (V{"x", "y"}));
    EXPECT_EQ(b.GetObject(0), &o);
    b.Assign(&b);
    EXPECT_EQ(b.Count(), 2);
    TComponent notAList(nullptr);
    EXPECT_THROW(b.Assign(&notAList), EConvertError);
}

}  // namespace

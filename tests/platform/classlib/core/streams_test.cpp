#include "platform/classlib/streams.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "tests/support/tempstate.h"

namespace {

TEST(TStream, ShortReadBufferRaisesStreamReadError) {
    TStringStream s("abc");
    char buf[8];
    try {
        s.ReadBuffer(buf, 4);
        ADD_FAILURE() << "no error";
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message, "Stream read error");
    }
    s.SetPosition(0);
    s.ReadBuffer(buf, 3);
    EXPECT_EQ(std::string(buf, 3), "abc");
    s.ReadBuffer(buf, 0);  // nothing to read is fine at the end
    EXPECT_THROW(s.ReadBuffer(buf, 1), EReadError);
}

TEST(TMemoryStream, GrowsAndSeeks) {
    TMemoryStream m;
    EXPECT_EQ(m.Size(), 0);
    m.WriteString("hello");
    EXPECT_EQ(m.Position(), 5);
    EXPECT_EQ(m.Size(), 5);
    EXPECT_EQ(m.Seek(-2, soFromEnd), 3);
    m.WriteString("p!!");  // overwrites and grows
    EXPECT_EQ(m.Data(), "help!!");
    EXPECT_EQ(m.Seek(-1, soFromCurrent), 5);
    EXPECT_EQ(m.Seek(-100, soFromCurrent), 0) << "not before the start";
    m.SetPosition(10);  // past the end: reads nothing, a write fills the gap with zeros
    char c;
    EXPECT_EQ(m.Read(&c, 1), 0);
    m.WriteString("x");
    EXPECT_EQ(m.Size(), 11);
    EXPECT_EQ(m.Data(), std::string("help!!\0\0\0\0x", 11));

    std::string big(200000, 'z');
    m.SetPosition(0);
    m.WriteString(big);
    EXPECT_EQ(m.Size(), 200000);
    m.SetSize(3);
    EXPECT_EQ(m.Position(), 3);
    EXPECT_EQ(m.Data(), "zzz");
    m.Clear();
    EXPECT_EQ(m.Size(), 0);
    EXPECT_EQ(m.Position(), 0);
}

TEST(TMemoryStream, NegativeSizeEmptiesTheStreamSafely) {
    TMemoryStream m;
    m.WriteString("data");
    m.SetSize(-5);
    char buf[4];
    EXPECT_EQ(m.Read(buf, 4), 0) << "read before the data";
    EXPECT_EQ(m.Size(), 0);
    EXPECT_EQ(m.Position(), 0);
    m.WriteString("ok");
    EXPECT_EQ(m.Data(), "ok");
}

TEST(TMemoryStream, CopyFromAndStreamsOfStreams) {
    TStringStream src("0123456789");
    TMemoryStream dst;
    src.SetPosition(7);
    EXPECT_EQ(dst.CopyFrom(&src, 0), 10) << "0 copies the whole source";
    EXPECT_EQ(dst.Data(), "0123456789");
    src.SetPosition(2);
    TMemoryStream part;
    EXPECT_EQ(part.CopyFrom(&src, 3), 3);
    EXPECT_EQ(part.Data(), "234");
    EXPECT_THROW(part.CopyFrom(&src, 100), EReadError);
    part.LoadFromStream(&dst);
    EXPECT_EQ(part.Data(), "0123456789");
    EXPECT_EQ(part.Position(), 0);
    TStringStream out;
    part.SaveToStream(&out);
    EXPECT_EQ(out.DataString(), "0123456789");
}

TEST(TFileStream, CreateWriteReopenRead) {
    testsupport::TempState state;
    std::string path = state.Path("data.bin");
    {
        TFileStream f(path, fmCreate);
        f.WriteString(std::string("ab\0cd", 5));
        EXPECT_EQ(f.Size(), 5);
        EXPECT_EQ(f.FileName(), path);
    }
    {
        TFileStream f(path, fmOpenReadWrite);
        EXPECT_EQ(f.Size(), 5);
        f.Seek(0, soFromEnd);
        f.WriteString("ef");
        f.SetPosition(1);
        EXPECT_EQ(f.ReadAll(), std::string("b\0cdef", 6));
        char buf[2];
        EXPECT_THROW(f.ReadBuffer(buf, 1), EReadError);
        f.SetSize(2);
    }
    TMemoryStream m;
    m.LoadFromFile(path);
    EXPECT_EQ(m.Data(), "ab");
    {
        TFileStream f(path, fmCreate);  // truncates
    }
    EXPECT_EQ(testsupport::ReadAll(path), "");
    m.SaveToFile(path);
    EXPECT_EQ(testsupport::ReadAll(path), "ab");
}

TEST(TFileStream, OpenAndCreateErrorsNameTheFile) {
    testsupport::TempState state;
    std::string missing = state.Path("missing.bin");
    std::string noDir = state.Path("no/such/dir/file.bin");
    mkdir(state.Path("folder").c_str(), 0755);
    struct Case {
        std::string name;
        unsigned mode;
        bool create;
    } cases[] = {
        {missing, fmOpenRead, false},
        {missing, fmOpenReadWrite | fmShareDenyNone, false},
        {missing, fmOpenWrite, false},
        {noDir, fmCreate, true},
        {state.Path("folder"), fmCreate, true},
        {state.Path("folder"), fmOpenRead, false},  // a folder is not a file
        {state.Path("folder"), fmOpenRead | fmShareDenyWrite, false},
    };
    for (auto& c : cases) {
        try {
            TFileStream f(c.name, c.mode);
            ADD_FAILURE() << c.name << " mode " << c.mode << " opened";
        } catch (const EFCreateError& e) {
            EXPECT_TRUE(c.create) << c.name;
            EXPECT_EQ(e.Message, "Cannot create file " + c.name);
        } catch (const EFOpenError& e) {
            EXPECT_FALSE(c.create) << c.name;
            EXPECT_EQ(e.Message, "Cannot open file " + c.name);
        }
    }
    EXPECT_FALSE(FileExists(missing)) << "opening does not create";
    EXPECT_THROW(TMemoryStream().LoadFromFile(missing), EFOpenError);
}

}  // namespace

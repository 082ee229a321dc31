// The files a person's session leaves, read by outside tools: the registry hive by a REGEDIT4
// reader of its own written in Python, tolvar17.ini by Python's configparser with the cp1254 codec.
// Both print what they read as UTF-8 lines, which must be exactly what the person left.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>

#include "messenger/Unit1.h"
#include "messenger/Unit13.h"
#include "messenger/Unit14.h"
#include "messenger/Unit15.h"
#include "messenger/Unit17.h"
#include "messenger/Unit4.h"
#include "session.h"

using headless::Headless;
using namespace session;

namespace {

// A REGEDIT4 reader: [key] lines, "name"= or @= values with "text" (\\ and \" escapes),
// dword:XXXXXXXX, hex:.. and hex(N):.. data (continued over lines ending in a backslash). Prints
// one line per key ("key PATH") and per value ("PATH | NAME | TYPE | DATA"), names and texts decoded
// from cp1254, dwords in decimal.
const char kHiveReader[] = R"PY(
import sys

def unquote(s, i):
    assert s[i] == ord('"'), s
    i += 1
    out = bytearray()
    while s[i] != ord('"'):
        if s[i] == ord('\\'):
            i += 1
        out.append(s[i])
        i += 1
    return bytes(out), i + 1

def text(b):
    return b.decode('cp1254')

raw = open(sys.argv[1], 'rb').read()
lines = []
for line in raw.split(b'\r\n'):
    if lines and lines[-1].endswith(b'\\') and b'=hex' in lines[-1]:
        lines[-1] = lines[-1][:-1] + line.strip()
    else:
        lines.append(line)
assert lines[0] == b'REGEDIT4', lines[0]
key = None
for line in lines[1:]:
    if not line:
        continue
    if line.startswith(b'[') and line.endswith(b']'):
        key = text(line[1:-1])
        print('key', key)
        continue
    if line.startswith(b'@'):
        name, i = b'', 1
    else:
        name, i = unquote(line, 0)
    assert line[i:i + 1] == b'=', line
    data = line[i + 1:]
    if data.startswith(b'"'):
        value, end = unquote(data, 0)
        assert end == len(data), line
        kind, shown = 'sz', text(value)
    elif data.startswith(b'dword:'):
        kind, shown = 'dword', str(int(data[6:], 16))
    elif data.startswith(b'hex('):
        code, rest = data[4:].split(b'):', 1)
        value = bytes(int(x, 16) for x in rest.split(b',') if x)
        if int(code, 16) == 1:
            assert value.endswith(b'\0')
            kind, shown = 'sz', text(value[:-1]).replace('\r', '\\r').replace('\n', '\\n')
        else:
            kind, shown = 'hex(%d)' % int(code, 16), value.hex()
    else:
        raise SystemExit('unknown data: %r' % line)
    print('%s | %s | %s | %s' % (key, text(name), kind, shown))
)PY";

// Every section and key of an ini file as configparser reads it with the cp1254 codec, in file order.
const char kIniReader[] = R"PY(
import configparser, sys
cp = configparser.ConfigParser(interpolation=None, strict=True, delimiters=('=',), comment_prefixes=())
cp.optionxform = str
with open(sys.argv[1], encoding='cp1254', newline='') as f:
    cp.read_file(f)
for section in cp.sections():
    for key, value in cp.items(section):
        print('[%s] %s = %s' % (section, key, value))
)PY";

// Runs a Python script on a file; its standard output, one string per line.
Strings RunPython(const testsupport::TempState& state, const char* script, const std::string& file) {
    const std::string path = state.Path("reader.py");
    testsupport::WriteAll(path, script);
    const std::string command = "python3 '" + path + "' '" + file + "' 2>&1";
    Strings out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return {"popen failed"};
    std::string all;
    std::array<char, 4096> buf{};
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) all.append(buf.data(), n);
    const int status = pclose(p);
    size_t start = 0;
    for (size_t i; (i = all.find('\n', start)) != std::string::npos; start = i + 1) out.push_back(all.substr(start, i - start));
    if (start < all.size()) out.push_back(all.substr(start));
    if (status != 0) out.push_back("exit status " + std::to_string(status));
    return out;
}

class StoredFiles : public TolvarSession {};

}  // namespace

TEST_F(StoredFiles, TheHiveReadsAsThePersonLeftIt) {
    const std::string ayse = "Ayşe"_w, isil = "Işıl Çağ"_w;
    const std::string password = "gi\"z\\li Ğ"_w;
    Start();
    headless::Click("Form1.KullancAyarlar1");
    headless::Click("Form13.RadioButton2");
    for (const auto& [name, pass] : std::vector<std::pair<std::string, std::string>>{{ayse, password}, {isil, "2"}}) {
        headless::Click("Form13.Button1");
        headless::Type("Form14.Edit1", name);
        headless::Type("Form14.Edit2", pass);
        headless::Click("Form14.BitBtn1");
    }
    headless::Click("Form13.BitBtn1");

    headless::Click("Form1.Kullanc1");
    headless::Select("Form17.ComboBox1", Form17->ComboBox1->Items()->IndexOf(ayse));
    headless::Type("Form17.Edit1", password);
    headless::Click("Form17.BitBtn1");
    ASSERT_EQ(Form1->Label1->Caption(), ayse);
    for (const auto& [name, subscriber] :
         std::vector<std::pair<std::string, std::string>>{{"Ali \"Baba\"", "1111111"}, {"C:\\Yol\\Öğe"_w, "2222222"}}) {
        headless::Click("Form1.CEPEKLE1");
        headless::Type("Form4.Edit1", name);
        headless::Type("Form4.Edit5", subscriber);
        headless::Click("Form4.SpeedButton2");
    }
    // What the send window adds after two sends.
    Form15->ListBox1->Items()->Add("Merhaba \"dünya\" \\ sonu"_w);
    Form15->ListBox1->Items()->Add("iki\r\nsatır"_w);
    Headless().QueueBoxAnswer(IDYES);
    headless::Click("Form1.GemiiAKAPAT1");  // history off: a dword of 0
    ExitWithYes();

    const std::string users = "HKEY_CURRENT_USER\\Software\\Marendo\\Tolvar\\Kullanıcılar";
    const Strings read = RunPython(state_, kHiveReader, reg::HiveFilePath(HKEY_CURRENT_USER));
    const Strings expected = {
        "key HKEY_CURRENT_USER",
        "key HKEY_CURRENT_USER\\Software",
        "key HKEY_CURRENT_USER\\Software\\Marendo",
        "key HKEY_CURRENT_USER\\Software\\Marendo\\Tolvar",
        "HKEY_CURRENT_USER\\Software\\Marendo\\Tolvar | 1kisi | dword | 0",
        "HKEY_CURRENT_USER\\Software\\Marendo\\Tolvar | GecmisAktif | dword | 0",
        "key " + users,
        "key " + users + "\\Ayşe",
        users + "\\Ayşe | Sifre | sz | gi\"z\\li Ğ",
        "key " + users + "\\Ayşe\\Gecmis",
        users + "\\Ayşe\\Gecmis | gecmis0 | sz | Merhaba \"dünya\" \\ sonu",
        users + "\\Ayşe\\Gecmis | gecmis1 | sz | iki\\r\\nsatır",
        "key " + users + "\\Ayşe\\Liste",
        users + "\\Ayşe\\Liste | Ali \"Baba\" | sz | 905321111111",
        users + "\\Ayşe\\Liste | C:\\Yol\\Öğe | sz | 905322222222",
        "key " + users + "\\Işıl Çağ",
        users + "\\Işıl Çağ | Sifre | sz | 2",
    };
    EXPECT_EQ(read, expected);
}

TEST_F(StoredFiles, TheDefaultUsersIniReadsAsThePersonLeftIt) {
    fixtures::SeedMainIni(fixtures::CrLf({"[Superonline]", "Tel=5351234567", "Sifre=%gizli%", "[Otomatik]",
                                          "İsim=Oto"_w}));
    Start();
    for (const auto& [name, subscriber] : std::vector<std::pair<std::string, std::string>>{
             {"Şule Ünlü"_w, "1112233"}, {"%Yüzde% = eşit"_w, "4445566"}}) {
        headless::Click("Form1.CEPEKLE1");
        headless::Type("Form4.Edit1", name);
        headless::Type("Form4.Edit5", subscriber);
        headless::Click("Form4.SpeedButton2");
    }
    Form15->ListBox1->Items()->Add("Günaydın; nasılsın?"_w);
    Form15->ListBox1->Items()->Add("iki\r\nsatır"_w);
    ExitWithYes();

    const Strings read = RunPython(state_, kIniReader, fixtures::MainIniPath());
    const Strings expected = {
        "[Superonline] Tel = 5351234567", "[Superonline] Sifre = %gizli%",
        "[Otomatik] İsim = Oto",
        "[Ayarlar] Toplam = 2",
        "[Mesaj] Toplam = 2", "[Mesaj] Mesaj0 = Günaydın; nasılsın?", "[Mesaj] Mesaj1 = iki satır",
        "[1] isim = Şule Ünlü", "[1] numara = 905321112233",
        "[2] isim = %Yüzde% = eşit", "[2] numara = 905324445566",
    };
    EXPECT_EQ(read, expected);
}

#include "platform/classlib/strings.h"

#include <algorithm>

#include "platform/win/statedir.h"

void TStrings::Error(const char* fmt, int index) const { throw EListError(Format(fmt, {index})); }

int TStrings::Add(const std::string& s) {
    int n = Count();
    Insert(n, s);
    return n;
}

int TStrings::AddObject(const std::string& s, TObject* obj) {
    int i = Add(s);
    PutObject(i, obj);
    return i;
}

int TStrings::IndexOf(const std::string& s) const {
    for (int i = 0; i < Count(); ++i)
        if (AnsiCompareText(Get(i), s) == 0) return i;
    return -1;
}

int TStrings::IndexOfName(const std::string& name) const {
    for (int i = 0; i < Count(); ++i) {
        auto s = Get(i);
        auto p = s.find('=');
        if (p != std::string::npos && AnsiCompareText(s.substr(0, p), name) == 0) return i;
    }
    return -1;
}

void TStrings::Move(int from, int to) {
    if (from == to) return;
    std::string s = Get(from);
    TObject* o = GetObject(from);
    if (to < 0 || to >= Count()) Error(sysconst::ListIndexError, to);
    // Insert the copy before removing the original: a list that refuses the insertion (a sorted
    // one) then keeps the line.
    int at = to > from ? to + 1 : to;
    Insert(at, s);
    PutObject(at, o);
    Delete(to > from ? from : from + 1);
}

void TStrings::Exchange(int a, int b) {
    std::string sa = Get(a), sb = Get(b);
    TObject *oa = GetObject(a), *ob = GetObject(b);
    Put(a, sb);
    PutObject(a, ob);
    Put(b, sa);
    PutObject(b, oa);
}

std::string TStrings::Names(int index) const {
    auto s = Get(index);
    auto p = s.find('=');
    return p == std::string::npos ? "" : s.substr(0, p);
}

std::string TStrings::Values(const std::string& name) const {
    int i = IndexOfName(name);
    if (i < 0) return "";
    auto s = Get(i);
    return s.substr(s.find('=') + 1);
}

void TStrings::SetValue(const std::string& name, const std::string& value) {
    int i = IndexOfName(name);
    if (value.empty()) {
        if (i >= 0) Delete(i);
        return;
    }
    if (i < 0)
        Add(name + "=" + value);
    else
        Put(i, name + "=" + value);
}

std::string TStrings::Text() const {
    std::string r;
    for (int i = 0; i < Count(); ++i) {
        r += Get(i);
        r += "\r\n";
    }
    return r;
}

void TStrings::SetText(const std::string& text) {
    BeginUpdate();
    Clear();
    size_t i = 0;
    while (i < text.size()) {
        size_t j = i;
        while (j < text.size() && text[j] != '\r' && text[j] != '\n') ++j;
        Add(text.substr(i, j - i));
        if (j < text.size() && text[j] == '\r') ++j;
        if (j < text.size() && text[j] == '\n') ++j;
        i = j;
    }
    EndUpdate();
}

std::string TStrings::CommaText() const {
    std::string r;
    for (int i = 0; i < Count(); ++i) {
        if (i) r += ',';
        auto s = Get(i);
        bool quote = s.empty() || s.find_first_of(" ,\"") != std::string::npos;
        if (quote) {
            r += '"';
            for (char c : s) {
                if (c == '"') r += '"';
                r += c;
            }
            r += '"';
        } else {
            r += s;
        }
    }
    return r;
}

void TStrings::SetCommaText(const std::string& text) {
    BeginUpdate();
    Clear();
    size_t i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i;
    };
    skipBlanks();
    while (i < text.size()) {
        std::string item;
        if (text[i] == '"') {
            ++i;
            while (i < text.size()) {
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
        } else {
            while (i < text.size() && text[i] != ',' && static_cast<unsigned char>(text[i]) > ' ') item += text[i++];
        }
        Add(item);
        skipBlanks();
        if (i < text.size() && text[i] == ',') {
            ++i;
            skipBlanks();
        }
    }
    EndUpdate();
}

void TStrings::AddStrings(const TStrings* other) {
    BeginUpdate();
    for (int i = 0; i < other->Count(); ++i) AddObject(other->Get(i), other->GetObject(i));
    EndUpdate();
}

void TStrings::Assign(TPersistent* Source) {
    if (auto* src = dynamic_cast<TStrings*>(Source)) {
        if (src == this) return;
        BeginUpdate();
        Clear();
        AddStrings(src);
        EndUpdate();
        return;
    }
    TPersistent::Assign(Source);
}

void TStrings::BeginUpdate() {
    if (FUpdateCount == 0) SetUpdateState(true);
    ++FUpdateCount;
}

void TStrings::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0) SetUpdateState(false);
}

void TStrings::LoadFromFile(const std::string& fileName) {
    std::string bytes;
    if (!win::ReadFile(win::LocalPath(fileName), bytes)) throw EFOpenError(Format(sysconst::FOpenError, {fileName}));
    SetText(bytes);
}

void TStrings::SaveToFile(const std::string& fileName) const {
    if (!win::WriteFileAtomic(win::LocalPath(fileName), Text(), 0644))
        throw EFCreateError(Format(sysconst::FCreateError, {fileName}));
}

// ---- TStringList ----

std::string TStringList::Get(int index) const {
    if (index < 0 || index >= Count()) Error(sysconst::ListIndexError, index);
    return FItems[static_cast<size_t>(index)].s;
}

void TStringList::Put(int index, const std::string& s) {
    if (FSorted) throw EListError(sysconst::SortedListError);
    if (index < 0 || index >= Count()) Error(sysconst::ListIndexError, index);
    Changing();
    FItems[static_cast<size_t>(index)].s = s;
    Changed();
}

TObject* TStringList::GetObject(int index) const {
    if (index < 0 || index >= Count()) Error(sysconst::ListIndexError, index);
    return FItems[static_cast<size_t>(index)].obj;
}

void TStringList::PutObject(int index, TObject* obj) {
    if (index < 0 || index >= Count()) Error(sysconst::ListIndexError, index);
    Changing();
    FItems[static_cast<size_t>(index)].obj = obj;
    Changed();
}

void TStringList::Insert(int index, const std::string& s) {
    if (FSorted) throw EListError(sysconst::SortedListError);
    if (index < 0 || index > Count()) Error(sysconst::ListIndexError, index);
    Changing();
    FItems.insert(FItems.begin() + index, Item{s, nullptr});
    Changed();
}

void TStringList::Delete(int index) {
    if (index < 0 || index >= Count()) Error(sysconst::ListIndexError, index);
    Changing();
    FItems.erase(FItems.begin() + index);
    Changed();
}

void TStringList::Clear() {
    if (FItems.empty()) return;
    Changing();
    FItems.clear();
    Changed();
}

int TStringList::Add(const std::string& s) {
    if (!FSorted) {
        int n = Count();
        Changing();
        FItems.push_back(Item{s, nullptr});
        Changed();
        return n;
    }
    int at;
    if (Find(s, at)) {
        if (Duplicates == TDuplicates::dupIgnore) return at;
        if (Duplicates == TDuplicates::dupError) throw EListError(sysconst::DuplicateString);
    }
    Changing();
    FItems.insert(FItems.begin() + at, Item{s, nullptr});
    Changed();
    return at;
}

int TStringList::IndexOf(const std::string& s) const {
    if (!FSorted) return TStrings::IndexOf(s);
    int at;
    return Find(s, at) ? at : -1;
}

bool TStringList::Find(const std::string& s, int& index) const {
    int lo = 0, hi = Count() - 1;
    bool found = false;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        int c = AnsiCompareText(FItems[static_cast<size_t>(mid)].s, s);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                if (Duplicates != TDuplicates::dupAccept) lo = mid;
            }
        }
    }
    index = lo;
    return found;
}

void TStringList::Sort() {
    Changing();
    std::stable_sort(FItems.begin(), FItems.end(),
                     [](const Item& a, const Item& b) { return AnsiCompareText(a.s, b.s) < 0; });
    Changed();
}

void TStringList::SetSorted(bool v) {
    if (v == FSorted) return;
    if (v) Sort();
    FSorted = v;
}

void TStringList::SetUpdateState(bool updating) {
    if (updating)
        Changing();
    else
        Changed();
}

void TStringList::Changing() {
    if (!Updating() && OnChanging) OnChanging(this);
}

void TStringList::Changed() {
    if (!Updating() && OnChange) OnChange(this);
}

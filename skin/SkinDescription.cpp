#include "skin/SkinDescription.h"

#include <algorithm>

#include "platform/classlib/sysutils.h"

namespace {

bool IsBlankOrControl(char c) {
    auto u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
}

// Reads a quoted string starting at value[pos] == '"': up to the next lone quote, "" standing for
// one quote. Without a closing quote the rest of the value is taken.
std::string ExtractQuoted(const std::string& value, std::size_t& pos) {
    std::string out;
    ++pos;  // the opening quote
    while (pos < value.size()) {
        char c = value[pos];
        if (c == '"') {
            if (pos + 1 < value.size() && value[pos + 1] == '"') {
                out += '"';
                pos += 2;
                continue;
            }
            ++pos;  // the closing quote
            return out;
        }
        out += c;
        ++pos;
    }
    return out;
}

}  // namespace

void SplitSkinValue(TStringList* List, const std::string& Value, char Separator) {
    List->Clear();
    // A NUL ends the value, as it ends a C string.
    const std::string value = Value.substr(0, Value.find('\0'));
    std::size_t pos = 0;
    while (pos < value.size() && IsBlankOrControl(value[pos])) ++pos;
    while (pos < value.size()) {
        std::string item;
        if (value[pos] == '"') {
            item = ExtractQuoted(value, pos);
        } else {
            std::size_t start = pos;
            while (pos < value.size() && value[pos] != Separator &&
                   static_cast<unsigned char>(value[pos]) >= 32)
                ++pos;
            item = value.substr(start, pos - start);
        }
        List->Add(item);
        while (pos < value.size() && IsBlankOrControl(value[pos])) ++pos;
        if (pos < value.size() && value[pos] == Separator) {
            ++pos;
            while (pos < value.size() && IsBlankOrControl(value[pos])) ++pos;
        }
    }
}

std::string GetSkinFileExt(const std::string& FileName) {
    std::size_t cut = FileName.find_last_of("\\/:");
    std::string name = cut == std::string::npos ? FileName : FileName.substr(cut + 1);
    std::size_t dot = name.find('.');
    if (dot == std::string::npos) return " ";
    return UpperCase(name.substr(dot + 1, 3));
}

void ParseHotAreaLine(const std::string& line, int version, int index, HotAreaInfoRec& rec,
                      TStringList& groupNames, TStringList& groupSelections) {
    TStringList items;
    SplitSkinValue(&items, line, ',');
    rec.IsSwitch = false;
    rec.Pressed = false;
    rec.Group.clear();
    rec.Hint.clear();
    rec.ID = items.Get(0);
    rec.X = StrToInt(items.Get(1));
    rec.Y = StrToInt(items.Get(2));
    rec.Width = StrToInt(items.Get(3));
    rec.Height = StrToInt(items.Get(4));
    // The index of the state item; an unknown version has none and fails on the list's index
    // check, as a line with too few items does.
    int s = -1;
    if (version == skin::kVersion140) s = 5;
    if (version == skin::kVersion150) s = 6;
    if (s < 0) items.Get(-1);
    if (version == skin::kVersion150) rec.Hint = items.Get(5);
    const int count = items.Count();
    if (count > s) {
        rec.IsSwitch = true;
        rec.State = items.Get(s) != "FALSE";
    }
    if (count == s + 2) {
        std::string group = items.Get(s + 1);
        int g = groupNames.IndexOf(group);
        if (g < 0) {
            g = groupNames.Add(group);
            groupSelections.Add("-1");
        }
        rec.Group = group;
        if (rec.State) groupSelections.Put(g, IntToStr(index));
    }
}

DisplayLineValues ParseDisplayLine(const std::string& line) {
    TStringList items;
    SplitSkinValue(&items, line, ',');
    DisplayLineValues v;
    v.ID = items.Get(0);
    v.FontName = items.Get(1);
    v.Bold = items.Get(2) == "TRUE";
    v.Italic = items.Get(3) == "TRUE";
    v.Size = StrToInt(items.Get(4));
    v.Color = StrToInt(items.Get(5));
    v.X = StrToInt(items.Get(6));
    v.Y = StrToInt(items.Get(7));
    if (items.Count() > 8) {
        v.HasStyle = true;
        v.Style = items.Get(8);
    }
    if (items.Count() == 10) v.Text = items.Get(9);
    return v;
}

TrackBarLineValues ParseTrackBarLine(const std::string& line) {
    TStringList items;
    SplitSkinValue(&items, line, ',');
    TrackBarLineValues v;
    v.ID = items.Get(0);
    v.ThumbName = items.Get(1);
    v.DragThumbName = items.Get(2);
    v.X = StrToInt(items.Get(3));
    v.Y = StrToInt(items.Get(4));
    v.Length = StrToInt(items.Get(5));
    v.Horizontal = items.Get(6) != "V";
    if (items.Count() >= 8)
        v.Position = std::clamp(StrToInt(items.Get(7)), skin::kTrackBarMin, skin::kTrackBarMax);
    if (items.Count() > 8) v.Hint = items.Get(8);
    return v;
}

int TrackBarOffset(const TrackBarInfoRec& bar, int position) {
    return static_cast<int>(static_cast<long long>(bar.Travel()) * position / 100);
}

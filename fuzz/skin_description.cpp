// Fuzzes the reading of a skin description's values: the splitting of a value into items and the
// hot-area, display and track-bar lines. The first byte chooses what reads the rest (and, for the
// split, the separator). A bad number or too few items raise EConvertError or EListError; any
// other exception or a crash is a fault.
#include <cstdint>
#include <string>

#include "platform/classlib/sysutils.h"
#include "skin/SkinDescription.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

void Split(const std::string& value, char separator) {
    TStringList items;
    SplitSkinValue(&items, value, separator);
    // Each item is a part of the value (a quoted item loses its quotes), so together they can
    // never be longer than it.
    size_t total = 0;
    for (int i = 0; i < items.Count(); ++i) total += items.Get(i).size();
    Check(total <= value.size());
    TStringList again;
    SplitSkinValue(&again, value, separator);
    Check(again.Count() == items.Count());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int what = data[0] % 6;
    const char separator = static_cast<char>(data[1]);
    const std::string line(reinterpret_cast<const char*>(data + 2), size - 2);
    try {
        switch (what) {
            case 0: Split(line, separator); break;
            case 1:
            case 2: {
                HotAreaInfoRec rec;
                TStringList names, selections;
                const int version = what == 1 ? skin::kVersion140 : skin::kVersion150;
                ParseHotAreaLine(line, version, 3, rec, names, selections);
                ParseHotAreaLine(line, version, 4, rec, names, selections);
                Check(names.Count() == selections.Count() && names.Count() <= 1);
                Check(rec.Group.empty() || names.IndexOf(rec.Group) == 0);
                break;
            }
            case 3: {
                DisplayLineValues v = ParseDisplayLine(line);
                Check(v.HasStyle || v.Style.empty());
                break;
            }
            case 4: {
                TrackBarLineValues v = ParseTrackBarLine(line);
                Check(v.Position >= skin::kTrackBarMin && v.Position <= skin::kTrackBarMax);
                TrackBarInfoRec bar;
                bar.Length = v.Length;
                bar.ThumbWidth = static_cast<int32_t>(data[1]);
                bar.Horizontal = v.Horizontal;
                const int offset = TrackBarOffset(bar, v.Position);
                Check(offset >= 0 && offset <= bar.Travel());
                break;
            }
            case 5: {
                const std::string ext = GetSkinFileExt(line);
                Check(ext.size() <= 3 && ext.find_first_of("\\/:") == std::string::npos);
                break;
            }
        }
    } catch (const EConvertError&) {
    } catch (const EListError&) {
    }
    return 0;
}

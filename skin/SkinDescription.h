// The skin description: value syntax and the three kinds of element lines of a skin's ini file
// (hot areas, display items, track bars), the element records TSkinForm keeps, and the picture
// name rules. Everything here is pure text handling; TSkinForm (SkinForm.h) does the loading,
// drawing and the mouse.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/classlib/graphics.h"
#include "platform/classlib/strings.h"

namespace skin {

// Known description versions ([Version] Ver=...). Version 150 adds a hint item to hot-area lines.
constexpr int kVersion140 = 140;
constexpr int kVersion150 = 150;

// Defaults of the element lines when their key is missing.
inline constexpr const char* kDefaultHotAreaLine = "NOT_DEFINED, 0, 0, 0, 0";
inline constexpr const char* kDefaultDisplayLine = "NOT_DEFINED, Arial, FALSE, FALSE, 0, $000000, 0, 0";
inline constexpr const char* kDefaultTrackBarLine = "NOT_DEFINED, NOT_DEFINED, NOT_DEFINED, 0, 0, 0, H";

// Track-bar positions run from 0 to 100.
constexpr int kTrackBarMin = 0;
constexpr int kTrackBarMax = 100;

}  // namespace skin

// One hot area (a button, a switch, a member of a radio group).
struct HotAreaInfoRec {
    std::string ID;
    std::int32_t X = 0, Y = 0, Width = 0, Height = 0;
    bool IsSwitch = false;
    bool State = false;    // a switch that is on
    std::string Group;     // radio group name, empty when none
    std::string Hint;
    bool Pressed = false;  // held down by the mouse button
};

// One display item (text drawn in a font, or with the digit or letter glyphs).
struct DisplayInfoRec {
    std::string ID;
    std::int32_t X = 0, Y = 0;
    std::unique_ptr<TFont> Font;  // nullptr until the line is read
    std::string Style;      // "Number", "Text", anything else: font text
    std::string Text;
};

// One track bar (a slider with a thumb picture).
struct TrackBarInfoRec {
    std::string ID;
    std::unique_ptr<TBitmap> Thumb;      // nullptr until the line is read
    std::unique_ptr<TBitmap> DragThumb;
    std::int32_t X = 0, Y = 0, Length = 0;
    bool Horizontal = true;
    std::uint8_t Position = 0;     // 0..100
    std::int32_t ThumbOffset = 0;  // from the track's start to the thumb's start
    std::int32_t ThumbWidth = 0, ThumbHeight = 0;
    std::string Hint;
    std::uint8_t Min = 0, Max = 100;

    // The thumb's size along the track.
    int Extent() const { return Horizontal ? ThumbWidth : ThumbHeight; }
    // Room the thumb can travel: Length minus the extent, never below 0.
    int Travel() const { return Length > Extent() ? Length - Extent() : 0; }
};

// The items of a display line, before they are turned into a font.
struct DisplayLineValues {
    std::string ID;
    std::string FontName;
    bool Bold = false, Italic = false;
    int Size = 0;
    std::int32_t Color = 0;  // blue in the high byte
    std::int32_t X = 0, Y = 0;
    bool HasStyle = false;   // the line named a style (more than 8 items)
    std::string Style;
    std::string Text;        // the 10th item when the line has exactly 10; else empty
};

// The items of a track-bar line, before the pictures are loaded.
struct TrackBarLineValues {
    std::string ID;
    std::string ThumbName, DragThumbName;  // as written (no folder)
    std::int32_t X = 0, Y = 0, Length = 0;
    bool Horizontal = true;
    int Position = 0;  // clamped to 0..100
    std::string Hint;
};

// Splits one description value into items (the list is cleared first). Leading control
// characters and blanks are skipped; an item starting with a double quote runs to the next lone
// double quote ("" inside stands for one); any other item runs up to the separator or the first
// control character, blanks included. Every item is added, also an empty one; a separator at the
// very end adds no empty item.
void SplitSkinValue(TStringList* List, const std::string& Value, char Separator);

// The extension used to choose a picture loader: the up to three characters after the first "."
// of the file-name part, upper-cased; " " when the name has no ".".
std::string GetSkinFileExt(const std::string& FileName);

// Applies a hot-area line to element `index` of the hot-area array. The switch flag, pressed flag,
// group and hint are reset first; a line without a state item keeps the element's state. A group
// not yet in `groupNames` is appended with "-1" in `groupSelections`; an element that is on
// becomes its group's selection. Raises EConvertError for a bad number and EListError for a line
// with too few items (or an unknown version).
void ParseHotAreaLine(const std::string& line, int version, int index, HotAreaInfoRec& rec,
                      TStringList& groupNames, TStringList& groupSelections);

// Parses a display line (at least 8 items). Raises as above.
DisplayLineValues ParseDisplayLine(const std::string& line);

// Parses a track-bar line (at least 7 items). Raises as above. Positions outside 0..100 are
// clamped.
TrackBarLineValues ParseTrackBarLine(const std::string& line);

// The thumb offset of a position: Travel() * position / 100 (0 for a bar without travel).
int TrackBarOffset(const TrackBarInfoRec& bar, int position);

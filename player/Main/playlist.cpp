// TPlayList: the playlist's position arithmetic.
#include "player/Main.h"

TPlayList::TPlayList() = default;

void TPlayList::Assign(TPersistent* Source) {
    TStringList::Assign(Source);
    Index = 0;
    Current = Count() > 0 ? Get(0) : std::string();
}

// The place is compared before it steps, so a stored place at either end of the int range wraps
// like any other place outside the list.
void TPlayList::Next() {
    Index = Index >= 0 && Index < Count() ? Index + 1 : 1;
    Current = Count() > 0 ? Get(Index - 1) : std::string();
}

void TPlayList::Prev() {
    Index = Index > 1 && Index - 1 <= Count() ? Index - 1 : Count();
    Current = Count() > 0 ? Get(Index - 1) : std::string();
}

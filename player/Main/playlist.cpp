// TPlayList: the playlist's position arithmetic.
#include "player/Main.h"

TPlayList::TPlayList() = default;

void TPlayList::Assign(TPersistent* Source) {
    TStringList::Assign(Source);
    Index = 0;
    Current = Count() > 0 ? Get(0) : std::string();
}

void TPlayList::Next() {
    ++Index;
    if (Index < 1 || Index > Count()) Index = 1;
    Current = Count() > 0 ? Get(Index - 1) : std::string();
}

void TPlayList::Prev() {
    --Index;
    if (Index < 1 || Index > Count()) Index = Count();
    Current = Count() > 0 ? Get(Index - 1) : std::string();
}

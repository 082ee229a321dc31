// The image list: copies of icons by index.
#include "platform/classlib/imagelist.h"

#include "platform/classlib/graphics.h"
#include "platform/classlib/lists.h"
#include "platform/classlib/sysutils.h"

TImageList::TImageList(TComponent* AOwner) : TComponent(AOwner) {}

TImageList::~TImageList() = default;

int TImageList::AddIcon(TIcon* icon) {
    auto copy = std::make_unique<TIcon>();
    copy->Assign(icon);
    FIcons.push_back(std::move(copy));
    return Count() - 1;
}

void TImageList::Delete(int index) {
    if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", {index}));
    FIcons.erase(FIcons.begin() + index);
}

void TImageList::Clear() { FIcons.clear(); }

void TImageList::GetIcon(int index, TIcon* icon) const {
    if (index < 0 || index >= Count()) {
        icon->Assign(nullptr);
        return;
    }
    icon->Assign(FIcons[static_cast<size_t>(index)].get());
}

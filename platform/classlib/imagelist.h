// TImageList: a list of small pictures that components show one of by index (a notification-area
// icon, a menu). The pictures are kept as icons, each a copy of the one added.
#pragma once

#include <memory>
#include <vector>

#include "platform/classlib/components.h"

class TIcon;

class TImageList : public TComponent {
public:
    explicit TImageList(TComponent* AOwner);
    ~TImageList() override;
    const char* ClassName() const override { return "TImageList"; }

    int Width = 16;
    int Height = 16;
    int Count() const { return static_cast<int>(FIcons.size()); }
    // Adds a copy of `icon` and returns its index.
    int AddIcon(TIcon* icon);
    // Removes image `index`; an index out of range raises EListError "List index out of bounds (%d)".
    void Delete(int index);
    void Clear();
    // Copies image `index` into `icon`; an index out of range leaves `icon` empty.
    void GetIcon(int index, TIcon* icon) const;

private:
    std::vector<std::unique_ptr<TIcon>> FIcons;
};

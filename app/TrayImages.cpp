#include "app/TrayImages.h"

#include "app/Dpi.h"
#include "app/resource.h"

bool TTrayImages::Load()
{
    int size = SmallIconSizeForDpi(taskbarDpi_());
    if (list_ && Size() == size) return false;
    list_.reset(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 3, 0));
    for (int id : {IDI_TRAY_NORMAL, IDI_TRAY_MUTED, IDI_TRAY_MIC_MUTED})
        ImageList_AddIcon(list_.get(), LoadSmallIcon(id, size).get());
    return true;
}

int TTrayImages::Size() const
{
    int width = 0, height = 0;
    ImageList_GetIconSize(list_.get(), &width, &height);
    return width;
}

Icon TTrayImages::Main(bool muted) const { return Image(muted ? 1 : 0); }

Icon TTrayImages::Microphones() const { return Image(2); }

Icon TTrayImages::Image(int index) const
{
    return Icon(list_ ? ImageList_GetIcon(list_.get(), index, ILD_NORMAL) : nullptr);
}

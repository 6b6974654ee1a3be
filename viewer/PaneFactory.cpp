#include "PaneFactory.h"

#include "FonavidView.h"

platform::View* CreateStandardPane(int row) {
    if (row < 0 || row > 2) return nullptr;
    return CFonavidView::CreateObject();
}

#include "PaneFactory.h"

#include "FonavidView.h"
#include "KFGTransformerView.h"

platform::View* CreateStandardPane(int row) {
    switch (row) {
        case 0:
            return new CKFGTransformerView();
        case 1:
        case 2:
            // Stand-in until the sonogram pane joins the program.
            return CFonavidView::CreateObject();
        default:
            return nullptr;
    }
}

#include "PaneFactory.h"

#include "KFGTransformerView.h"
#include "KSonogramView.h"

platform::View* CreateStandardPane(int row) {
    switch (row) {
        case 0:
            return new CKFGTransformerView();
        case 1:
        case 2:
            return new CKSonogramView();
        default:
            return nullptr;
    }
}

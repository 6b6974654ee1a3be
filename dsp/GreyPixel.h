// Grey pixels of the panes' images (0x00RRGGBB): grey g in every channel is
// g · kGreyUnit. The sonogram and the FGT share it.
#pragma once

#include <cstdint>

constexpr uint32_t kGreyUnit = 0x010101u;

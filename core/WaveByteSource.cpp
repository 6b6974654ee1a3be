#include "WaveByteSource.h"

WaveByteSource::~WaveByteSource() = default;

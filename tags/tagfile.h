#pragma once
// What every tag writer reports. A writer either leaves the file as it was or
// writes it completely; ok is false (and error says why) in the first case.

#include "platform/atomicfile.h"

using TagWriteResult = AtomicWriteResult;

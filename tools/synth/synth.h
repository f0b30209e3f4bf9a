#pragma once
// The synthetic data generator in one include: sea state and linear wave
// theory (waves.h), results records (results.h), bursts, sectors and master
// file pairs (generator.h).
#include "tools/synth/generator.h"
#include "tools/synth/random.h"
#include "tools/synth/results.h"
#include "tools/synth/waves.h"

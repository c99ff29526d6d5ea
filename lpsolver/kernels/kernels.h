// The factorisation kernels: rotations, reflections, guarded arithmetic and utilities.
#pragma once

#include "lpsolver/kernels/reflections.h"
#include "lpsolver/kernels/rotations.h"
#include "lpsolver/kernels/safe_arith.h"
#include "lpsolver/kernels/utilities.h"

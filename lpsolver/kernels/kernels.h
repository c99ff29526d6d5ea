// The factorisation kernels: rotations, reflections, guarded arithmetic and utilities.
#pragma once

#include "kernels/reflections.h"
#include "kernels/rotations.h"
#include "kernels/safe_arith.h"
#include "kernels/utilities.h"

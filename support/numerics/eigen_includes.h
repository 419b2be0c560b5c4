// The Eigen headers the numerics layer uses, included in one place.
//
// GCC 12 reports -Wmaybe-uninitialized inside its own AVX-512 intrinsics
// (the deliberately undefined source of _mm256_undefined_pd) when Eigen's
// packet reductions are inlined; the warning is a known false positive of
// that compiler, so it is silenced for the intrinsics and Eigen only.
#pragma once

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif
#include <Eigen/Cholesky>
#include <Eigen/Core>
#include <Eigen/Eigenvalues>
#include <Eigen/LU>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

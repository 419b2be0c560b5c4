// The dense kernels of the large passes over the data: products of blocks
// of centred rows, and a data matrix's rows times a small coefficient
// matrix. Each is compiled several times, for the baseline x86-64
// instruction set and for the AVX2 + FMA and AVX-512 levels, and the best one
// the processor supports is chosen when first needed, so a portable build
// loses no speed on a recent processor.
#pragma once

#include <cstddef>

namespace nml::support::detail {

using Index = std::ptrdiff_t;

struct BlockKernels {
  /// out (k x k, column-major) gets z' z in its lower triangle (the upper
  /// triangle is left as zeros) for a rows x k column-major block z with
  /// leading dimension ld.
  void (*selfProduct)(const double* z, Index ld, Index rows, Index k, double* out);
  /// out (ka x kb) = za' zb for rows x ka and rows x kb blocks.
  void (*crossProduct)(const double* za, Index lda, const double* zb, Index ldb, Index rows, Index ka, Index kb,
                       double* out);
  /// out (rows x n, leading dimension ldo) = a b for a rows x p block a
  /// (leading dimension lda) and a p x n matrix b.
  void (*product)(const double* a, Index lda, Index rows, Index p, const double* b, Index n, double* out, Index ldo);
  /// "baseline", "avx2" or "avx512".
  const char* name;
};

/// The kernels for this processor (the NML_KERNELS environment variable,
/// "baseline" or "avx2", can ask for a lower level, for comparisons).
const BlockKernels& Kernels();

namespace kernels_baseline {
extern const BlockKernels kKernels;
}
namespace kernels_avx2 {
extern const BlockKernels kKernels;
}
namespace kernels_avx512 {
extern const BlockKernels kKernels;
}

}  // namespace nml::support::detail

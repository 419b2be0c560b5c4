// The block kernels for AVX2 + FMA processors (this file is compiled with
// -march=x86-64-v3; see CMakeLists.txt).
#if defined(__x86_64__) && defined(__AVX2__) && defined(__FMA__)
#define Eigen NmlEigenAvx2
#define NML_KERNEL_NAMESPACE kernels_avx2
#define NML_KERNEL_NAME "avx2"
#include "support/numerics/block_kernels_impl.inc"
#else
#include "support/numerics/block_kernels.h"
namespace nml::support::detail::kernels_avx2 {
// Not built for this target: the dispatcher never picks an empty entry.
const BlockKernels kKernels{nullptr, nullptr, nullptr, "avx2"};
}  // namespace nml::support::detail::kernels_avx2
#endif

// The block kernels for AVX-512 processors (this file is compiled with
// -march=x86-64-v4; see CMakeLists.txt).
#if defined(__x86_64__) && defined(__AVX512F__)
#define Eigen NmlEigenAvx512
#define NML_KERNEL_NAMESPACE kernels_avx512
#define NML_KERNEL_NAME "avx512"
#include "support/numerics/block_kernels_impl.inc"
#else
#include "support/numerics/block_kernels.h"
namespace nml::support::detail::kernels_avx512 {
// Not built for this target: the dispatcher never picks an empty entry.
const BlockKernels kKernels{nullptr, nullptr, nullptr, "avx512"};
}  // namespace nml::support::detail::kernels_avx512
#endif

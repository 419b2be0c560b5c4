// The block kernels at the instruction-set level the program is built for.
#define NML_KERNEL_NAMESPACE kernels_baseline
#define NML_KERNEL_NAME "baseline"
#include "support/numerics/block_kernels_impl.inc"

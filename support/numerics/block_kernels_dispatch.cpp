#include <cstdlib>
#include <cstring>

#include "support/numerics/block_kernels.h"

namespace nml::support::detail {

namespace {

bool Supports(const char* level) {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  __builtin_cpu_init();
  if (std::strcmp(level, "avx2") == 0) return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  if (std::strcmp(level, "avx512") == 0)
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
           __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#endif
  (void)level;
  return false;
}

const BlockKernels& Choose() {
  const char* wanted = std::getenv("NML_KERNELS");
  const bool capped = wanted && *wanted;
  const bool allowAvx512 = !capped || std::strcmp(wanted, "avx512") == 0;
  const bool allowAvx2 = allowAvx512 || std::strcmp(wanted, "avx2") == 0;
  if (allowAvx512 && kernels_avx512::kKernels.selfProduct && Supports("avx512")) return kernels_avx512::kKernels;
  if (allowAvx2 && kernels_avx2::kKernels.selfProduct && Supports("avx2")) return kernels_avx2::kKernels;
  return kernels_baseline::kKernels;
}

}  // namespace

const BlockKernels& Kernels() {
  static const BlockKernels& chosen = Choose();
  return chosen;
}

}  // namespace nml::support::detail

// Threads for the large passes over the data (cross-products, scores,
// compressing a workbook's parts). Work is cut into tasks whose
// boundaries depend only on the problem's size, never on the number of
// threads, and every reduction adds the tasks' results in task order, so the
// digits of a result are the same whatever the thread count.
#pragma once

#include <cstddef>
#include <functional>

namespace nml {

/// Threads the large passes may use: the processor count, capped by the
/// NML_THREADS environment variable (a whole number of at least 1, read at
/// the first call) and by SetThreadLimit.
unsigned ThreadCount();

/// Caps the thread count from now on; 0 lifts the cap. For callers that want
/// one thread, and for tests comparing thread counts.
void SetThreadLimit(unsigned limit);

/// Calls body(task) once for every task in [0, tasks), on up to ThreadCount()
/// threads (the calling one included), each thread claiming the next task in
/// turn. The first exception a task throws is rethrown here once all
/// threads have stopped; tasks not yet started are then skipped.
void ParallelFor(std::size_t tasks, const std::function<void(std::size_t)>& body);

}  // namespace nml

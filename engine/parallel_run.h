// The files of a run made on several threads and finished one by one in input order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/conversion_worker.h"
#include "engine/convert_file.h"

namespace qm::detail {

/// Finishes one made file on the run's job, which holds its InputPath and InputSubfolder:
/// names, checks and places it, prints its lines ("Processing:" too unless already shown) and
/// its failure line, and counts it. True when it was written.
bool FinishFile(WorkerContext& ctx, ProducedFile& made, const std::string& folderFailure,
                bool processingShown);

/// Publishes the file in progress (FilesStarted, CurrentFile) under the context's lock.
void PublishStarted(WorkerContext& ctx, int32_t started, const std::string& path);

/// Converts the entries from slot on, one after the other on the calling thread; started is
/// the number of files published before. Returns the number of files converted.
int32_t RunInTurn(WorkerContext& ctx, size_t slot, int32_t started);

/// Converts every entry with `threads` threads making files and the calling thread finishing
/// them in input order (see RunConversionWorker). Returns the number of files converted.
int32_t RunInParallel(WorkerContext& ctx, int32_t threads);

} // namespace qm::detail

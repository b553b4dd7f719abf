// Many files at once: a pool of worker processes, a progress bar on a
// terminal, what each file's work printed shown in the order of the files,
// and a summary line. A file that cannot be done is refused with its reason
// and the others go on.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

enum class BatchOutcome : char { kWritten = 'W', kDamaged = 'D', kRefused = 'R' };

struct BatchFile {
    std::string input;
    std::string output;
    std::string refusal;  // known before any work: the file is refused so
};

struct BatchResult {
    BatchOutcome outcome = BatchOutcome::kRefused;
    std::string reason = "the worker working on it stopped";  // until a worker reports
    std::string out, err;  // what the work printed on standard output and error
};

// The files of inputs written into folder under their own names; a second
// input of a name, and standard input, are refused.
std::vector<BatchFile> FilesInto(const std::vector<std::string>& inputs, const std::string& folder);

// Hands every file without a refusal to work in one of `jobs` worker
// processes (0: one per processor) and returns the results in the order of
// files. A worker that dies costs only the file it held. Exceptions thrown
// by work refuse the file with their text.
std::vector<BatchResult> RunBatch(const std::vector<BatchFile>& files, int jobs,
                                  const std::function<BatchResult(const BatchFile&)>& work);

// Prints, file by file, what the work printed, then "written from a damaged
// file" (when there is a reason) or "refused" lines on standard error, then
// the summary line on summary. Returns 1 when a file was refused, else 3
// when one was written from a damaged file, else 0.
int ReportBatch(const std::vector<BatchFile>& files, const std::vector<BatchResult>& results,
                std::FILE* summary);

// Compression in a worker process. Ghostscript and the PDF libraries run on whatever a user drops
// on the window; a file that crashes them, loops, or eats memory must cost that file only. The
// worker hosts the session, reports its progress and result over its channel, and is ended when
// it dies, stops making progress, or reaches its memory ceiling.
#pragma once

#include <string>

#include "engine/compress_job.h"

// The worker program, beside the running executable.
std::wstring WorkerProgramPath();

// How long a worker may go without any sign of progress (a new page, a message, or more bytes
// written) before it is ended: the base allowance plus a little per megabyte of source, so a
// large scan may dwell longer on one page than a small file that is stuck.
int AllowedQuietSeconds(int stallSeconds, std::uint64_t sourceBytes);

// Runs the job in a worker, relaying its progress to window under the job's row. Limits come
// from the settings store. The caller removes the job's output when this is not a success.
CompressResult RunJobInWorker(const CompressJob& job, const CompressOptions& options, HWND window);

// Ends every running worker and removes their unfinished outputs and scratch files; jobs asked
// for afterwards fail at once. Called when the program ends with compressions still running.
void EndRunningCompressions();

// The worker program's side: reads one job from the parent, runs it under the memory ceiling
// it names and reports back; beforeRun, when given, sees the job first (the tests' fault
// switches). Returns the process's exit status.
int ServeCompressRequest(void (*beforeRun)(const CompressJob&));

// bench/bench_support.h: what both benchmarks need: the clock, a scratch directory, the
// seven entry files of a 256 MiB installer, and best-of-rounds bookkeeping.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "engine/payload.h"

// Entry sizes of the benchmark installer: 256 MiB in all.
extern const size_t BenchEntrySizes[PayloadEntryCount];

double Now();

// A fresh directory under $TMPDIR (or /tmp); the benchmark stops when none can be made.
std::string MakeWorkDirectory(const char* name);

// Runs a shell command; the benchmark stops when it fails.
void RunShell(const std::string& command);

// Runs the shell command clear (which removes the last output), writes what earlier runs
// left in the page cache, then times the program (found on PATH) as a whole process,
// started as a shell starts it; the benchmark stops when anything fails. Every contender
// starts alike: nothing of earlier runs still to be written, so that no run pays for
// another's write-back, and none syncs its own output.
// quiet: its standard error goes nowhere, for notes it gives on every run.
double TimeProcess(const std::string& clear, const std::vector<std::string>& args, bool quiet = false);

// The benchmark's entry files, of pseudo-random bytes so that nothing along the way can
// take a shortcut: directory/<entry name> for each entry of the table, of the sizes given
// (BenchEntrySizes by default).
void WriteEntryFiles(const std::string& directory, const size_t* sizes = BenchEntrySizes);

// Stops the benchmark unless every entry file in `copy` equals the one in `original`.
void ExpectSameEntries(const std::string& original, const std::string& copy);

struct Best {
    double time = 1e9;
    void Take(double t) { time = t < time ? t : time; }
};

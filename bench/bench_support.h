// bench/bench_support.h: what both benchmarks need: the clock, a scratch directory, the
// seven entry files of a 256 MiB installer, and best-of-rounds bookkeeping.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "engine/payload.h"

// Entry sizes of the benchmark installer: 256 MiB in all.
extern const size_t BenchEntrySizes[PayloadEntryCount];

double Now();

// A fresh directory under $TMPDIR (or /tmp); the benchmark stops when none can be made.
std::string MakeWorkDirectory(const char* name);

// Runs a shell command; the benchmark stops when it fails.
void RunShell(const std::string& command);

// The benchmark's entry files, of pseudo-random bytes so that nothing along the way can
// take a shortcut: directory/<entry name> for each entry of the table.
void WriteEntryFiles(const std::string& directory);

// Stops the benchmark unless every entry file in `copy` equals the one in `original`.
void ExpectSameEntries(const std::string& original, const std::string& copy);

struct Best {
    double time = 1e9;
    void Take(double t) { time = t < time ? t : time; }
};

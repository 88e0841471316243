// Threads for the builder's parallel work, over std::thread where the
// compiler has it and over the Win32 threads of the MinGW trees, whose
// default thread model lacks it. Workers share nothing but what the caller
// hands them; the caller joins them before it reads their results.
#pragma once

// The number of processors the system offers; at least 1.
unsigned ProcessorCount();

struct WorkerGroup;

// Starts count threads, each running work(context). A thread that cannot be
// started is left out: the caller takes part in the work itself, so the work
// gets done with fewer threads. Never null.
WorkerGroup* StartWorkers(unsigned count, void (*work)(void* context), void* context);

// Waits for every thread of the group and releases it.
void JoinWorkers(WorkerGroup* group);

#ifndef QUAVREX_JOB_FILE_SERVICES_TEMPORARIES_H_
#define QUAVREX_JOB_FILE_SERVICES_TEMPORARIES_H_

#include <string>

// The temporary files an output is written to before it takes the target's place. Their names
// are ".quavrex-<pid>-<n>.tmp", short enough for any folder, and their writer holds a lock on
// each for as long as it lives. A writer killed between naming its temporary and renaming it
// leaves it behind; a later write into that folder sweeps it away.

// A name for a new temporary file of this process.
std::string TemporaryName();

// The process id a temporary file's name holds; 0 when `name` is no temporary's name.
int TemporaryNameProcess(const std::string& name);

// Locks the temporary file `fd` for as long as it is open, which tells a sweep that its writer
// lives. A file system without locks leaves it unlocked; the writer's process id still guards
// it then.
void LockTemporary(int fd);

// Removes the temporaries that writers which died left in `folder` (a descriptor of it). Only
// names of the form above are looked at, and one is removed only when it is a regular file of
// this user with no other name, the process its name holds is gone and no one holds its lock:
// a process id given to a new process keeps the file until that one ends, a writer whose
// process cannot be seen (in another pid namespace) keeps it through its lock. A folder is
// swept at most once a second, so that a batch of many files into one folder stays linear
// (listing 100,000 names takes some tens of milliseconds).
// Failures only leave files where they are.
void SweepStaleTemporaries(int folder);

#endif  // QUAVREX_JOB_FILE_SERVICES_TEMPORARIES_H_

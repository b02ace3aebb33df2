#pragma once
// The per-process shared memory block "<process id>VXM_Share_Mem": four bytes holding the
// address of the process's DefaultSetting, where other code in the process finds the program's
// framework services.

namespace Kordo {

class DefaultSetting;

// The published settings object; null before the block is made and after it is released.
extern DefaultSetting* gDefaultSetting;

// Makes the block and the settings object and publishes the object's address there; has the
// release run at exit. Runs once, during static initialisation. Failures are printed to
// standard output only, leaving no settings object.
void CreateSharedMemoryBlock();

// Frees the settings object (not the services it made), then unmaps and closes the block.
void ReleaseSharedMemoryBlock();

} // namespace Kordo

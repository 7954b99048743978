// What the end-to-end tests look at after a run: the processes the test
// process still has as children (workers, LibreOffice), zombies aside.
#pragma once

namespace morvane::testing {

int childProcesses();

}  // namespace morvane::testing

#include "support/KilledSave.h"

#include <sys/wait.h>
#include <unistd.h>

#include "core/AtomicFileSet.h"

namespace GAME::test {

namespace {

constexpr int kKilledStatus = 3;
int gKillAfter = -1;  // the child's step (the hook takes no state)

}  // namespace

KilledSaveEnd SaveKilledAfterStep(int step, const std::function<bool()>& save) {
    const pid_t child = ::fork();
    if (child < 0) return KilledSaveEnd::Failed;
    if (child == 0) {
        gKillAfter = step;
        AtomicFileSet::SetStepHook([](int done) {
            if (done == gKillAfter) ::_exit(kKilledStatus);
        });
        ::_exit(save() ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return KilledSaveEnd::Failed;
    switch (WEXITSTATUS(status)) {
        case kKilledStatus: return KilledSaveEnd::Killed;
        case 0: return KilledSaveEnd::Saved;
        default: return KilledSaveEnd::Failed;
    }
}

}  // namespace GAME::test

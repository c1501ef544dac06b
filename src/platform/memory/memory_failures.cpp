// Failures injected into the in-memory machine's file-system calls, and the
// record of those calls.
#include "platform/memory/memory_machine.h"

namespace memory_platform {

// Counts the call and tells whether an injected failure hits it.
bool Injected(Operation operation, const std::string& path, unsigned* error) {
    State().requests[operation].push_back(path);
    auto& injections = State().injections;
    // Every count-based injection of the operation counts this call, whichever fires.
    bool fails = false;
    for (auto it = injections.begin(); it != injections.end();) {
        if (it->operation == operation && it->path.empty() && --it->countdown <= 0) {
            if (!fails && error) *error = it->error;
            fails = true;
            it = injections.erase(it);
        } else {
            ++it;
        }
    }
    for (const Injection& injection : injections) {
        if (fails) break;
        if (injection.operation == operation && !injection.path.empty() &&
            LowerAscii(injection.path) == LowerAscii(path)) {
            if (error) *error = injection.error;
            fails = true;
        }
    }
    return fails;
}

void FailOperation(Operation op, const std::string& path, unsigned error) {
    State().injections.push_back(Injection{op, path, 0, error});
}

void FailNthOperation(Operation op, int n, unsigned error) {
    State().injections.push_back(Injection{op, "", n, error});
}

int OperationCount(Operation op) { return (int)State().requests[op].size(); }

const std::vector<std::string>& RequestedPaths(Operation op) { return State().requests[op]; }

}  // namespace memory_platform

#pragma once

#include <utility>

// Runs an action when the scope ends, however it ends: clean-up that no early return or
// exception may skip.
template <typename Action>
class TFinally {
public:
    explicit TFinally(Action AAction) : FAction(std::move(AAction)) {}
    ~TFinally() { FAction(); }
    TFinally(const TFinally&) = delete;
    TFinally& operator=(const TFinally&) = delete;

private:
    Action FAction;
};

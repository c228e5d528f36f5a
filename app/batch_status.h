#pragma once

#include <cstdint>

// The batch status flags the application module keeps.
enum TBatchStatusTypes : std::uint8_t {
    bsIsFirstProjectBatchFrameUpdate,
    bsCoreActive,
    bsWrapperActive,
    bsDoneSuccess,
    bsUserShutDownApp,
    bsIsInterrupted,
    bsWasInterrupted,
    bsSubUserInterrupted,
    bsSubPluginInterrupted,
    bsAdviseStopProject,
    bsAdviseStopMain,
    bsDisallowAllChangesGUI,
    bsEngineCalledOnTerminate
};

// A set of TBatchStatusTypes.
class TBatchStatusSet {
public:
    bool Has(TBatchStatusTypes AType) const { return (FBits & Bit(AType)) != 0; }
    void Include(TBatchStatusTypes AType) { FBits |= Bit(AType); }
    void Exclude(TBatchStatusTypes AType) { FBits &= ~Bit(AType); }
    bool operator==(const TBatchStatusSet&) const = default;

private:
    static std::uint32_t Bit(TBatchStatusTypes AType) { return 1u << AType; }
    std::uint32_t FBits = 0;
};

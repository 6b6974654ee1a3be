// The four level commands of the sonogram and FGT panes: the upper or lower
// level of the visualisation up or down by 10 dB. A level that would pass the
// other one pushes it along, so that the upper level always stays above the
// lower one (by 1 dB after such a push).
#pragma once

class LevelSteps {
public:
    static constexpr double kStepDb = 10.0;

    // Applies the level command `commandId` to the pane's levels; false, with
    // the levels untouched, for any other command.
    static bool Apply(int commandId, double& upper, double& lower);
};

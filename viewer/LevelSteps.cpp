#include "LevelSteps.h"

#include "ResourceIds.h"

bool LevelSteps::Apply(int commandId, double& upper, double& lower) {
    switch (commandId) {
        case res::ID_UPPER_LEVEL_RAISE:
            upper += kStepDb;
            return true;
        case res::ID_UPPER_LEVEL_LOWER:
            upper -= kStepDb;
            if (upper < lower) lower = upper - 1.0;
            return true;
        case res::ID_LOWER_LEVEL_RAISE:
            lower += kStepDb;
            if (lower > upper) upper = lower + 1.0;
            return true;
        case res::ID_LOWER_LEVEL_LOWER:
            lower -= kStepDb;
            return true;
        default:
            return false;
    }
}

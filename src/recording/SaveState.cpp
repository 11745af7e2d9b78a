#include "SaveState.h"

SaveState &saveState()
{
    static SaveState state;
    return state;
}
